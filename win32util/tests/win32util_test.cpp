// The shared Win32 helpers: text conversion, the system's error text, COM object lifetime
// and the reading of late-bound arguments.
#include "win32util/com_object.h"
#include "win32util/system_message.h"
#include "win32util/text.h"
#include "win32util/variant.h"

#include <gtest/gtest.h>

namespace qvn::win32util {
namespace {

using Microsoft::WRL::ComPtr;

TEST(Win32UtilText, Utf8AndUtf16RoundTrip) {
    struct Case {
        std::string utf8;
        std::wstring utf16;
    };
    const Case cases[] = {
        {"", L""},
        {"Save changes?", L"Save changes?"},
        {"Gr\xC3\xBC\xC3\x9F"
         "e",
         L"Gr\u00FC\u00DFe"},
        {"\xE2\x82\xAC 5", L"\u20AC 5"},
        {"\xF0\x9F\x98\x80", L"\xD83D\xDE00"}, // outside the BMP: a surrogate pair
        {std::string("a\0b", 3), std::wstring(L"a\0b", 3)},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Wide(c.utf8), c.utf16) << c.utf8;
        EXPECT_EQ(Utf8(c.utf16), c.utf8) << c.utf8;
    }
    // Bytes that are not UTF-8 are replaced, not dropped and not refused.
    EXPECT_EQ(Wide("a\xFF"
                   "b"),
              L"a\uFFFDb");
    EXPECT_EQ(Ansi("plain"), "plain");
}

TEST(Win32UtilSystemMessage, TextWithoutTrailingBreakAndModuleOfCode) {
    const std::wstring text = SystemMessage(ERROR_FILE_NOT_FOUND);
    ASSERT_FALSE(text.empty());
    EXPECT_NE(text.back(), L'\n');
    EXPECT_NE(text.back(), L' ');
    EXPECT_EQ(SystemMessage(0x2FFFFFFF), L"") << "no text for a code the system does not know";
    EXPECT_EQ(ModuleOfAddress(reinterpret_cast<const void*>(&SystemMessage)),
              GetModuleHandleW(nullptr));
}

class Probe final : public ComObject<IDispatch> {
public:
    explicit Probe(bool* destroyed) : destroyed_(destroyed) {}
    ~Probe() override { *destroyed_ = true; }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) noexcept override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) noexcept override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID,
                                            DISPID*) noexcept override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                     UINT*) noexcept override {
        return E_NOTIMPL;
    }

private:
    bool* destroyed_;
};

TEST(Win32UtilComObject, IdentityCountsAndOneDestruction) {
    const long before = ObjectReferences();
    bool destroyed = false;
    {
        ComPtr<IDispatch> probe = Adopt<IDispatch>(new Probe(&destroyed));
        EXPECT_EQ(ObjectReferences(), before + 1);
        ComPtr<IUnknown> unknown;
        ASSERT_EQ(probe.As(&unknown), S_OK);
        EXPECT_EQ(static_cast<IUnknown*>(probe.Get()), unknown.Get());
        void* none = reinterpret_cast<void*>(1);
        EXPECT_EQ(probe->QueryInterface(IID_IClassFactory, &none), E_NOINTERFACE);
        EXPECT_EQ(none, nullptr) << "a refused interface leaves the out pointer null";
        EXPECT_EQ(probe->QueryInterface(IID_IDispatch, nullptr), E_POINTER);
        unknown.Reset();
        EXPECT_FALSE(destroyed);
    }
    EXPECT_TRUE(destroyed) << "the adopted first reference is the only one";
    EXPECT_EQ(ObjectReferences(), before);
}

TEST(Win32UtilDispArgs, ArgumentsInCallerOrderByValueOrReference) {
    // DISPPARAMS holds the arguments last first: the caller wrote (7, "x", Nothing, <absent>).
    long byRef = 0;
    VARIANT args[4];
    for (VARIANT& v : args) {
        VariantInit(&v);
    }
    args[0].vt = VT_ERROR;
    args[0].scode = DISP_E_PARAMNOTFOUND;
    args[1].vt = VT_DISPATCH;
    args[1].pdispVal = nullptr;
    args[2].vt = VT_I4 | VT_BYREF;
    args[2].plVal = &byRef;
    args[3].vt = VT_BSTR;
    args[3].bstrVal = SysAllocString(L"7");
    DISPPARAMS params{args, nullptr, 4, 0};
    DispArgs call(&params);

    UINT argErr = 99;
    long number = 0;
    EXPECT_EQ(call.Long(0, &number, &argErr), S_OK);
    EXPECT_EQ(number, 7) << "a text converts as the language converts it";
    EXPECT_EQ(call.SetLongOut(1, 42, &argErr), S_OK);
    EXPECT_EQ(byRef, 42);
    IDispatch* object = reinterpret_cast<IDispatch*>(1);
    EXPECT_EQ(call.Dispatch(2, &object, &argErr), S_OK);
    EXPECT_EQ(object, nullptr) << "Nothing";
    EXPECT_FALSE(call.Has(3)) << "a missing optional argument";
    EXPECT_EQ(call.Long(3, &number, &argErr), DISP_E_PARAMNOTOPTIONAL);

    EXPECT_EQ(call.Dispatch(0, &object, &argErr), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(argErr, 3u) << "a bad argument is reported at its DISPPARAMS position";
    VariantClear(&args[3]);
}

} // namespace
} // namespace qvn::win32util
