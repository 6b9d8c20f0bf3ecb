// The shared Win32 helpers: text conversion, the system's error text, COM object lifetime,
// the reading of late-bound arguments, the result macros, owned handles and the registry.
#include "win32util/com_object.h"
#include "win32util/registry.h"
#include "win32util/result_macros.h"
#include "win32util/system_message.h"
#include "win32util/text.h"
#include "win32util/unique_handles.h"
#include "win32util/variant.h"

#include <algorithm>
#include <new>
#include <system_error>

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

TEST(Win32UtilText, GuidTextAndModulePath) {
    EXPECT_EQ(GuidText(IID_IDispatch), L"{00020400-0000-0000-C000-000000000046}");
    const std::wstring self = ModulePath(nullptr);
    ASSERT_GT(self.size(), 4u);
    EXPECT_EQ(self.substr(self.size() - 4), L".exe");
    EXPECT_NE(GetFileAttributesW(self.c_str()), INVALID_FILE_ATTRIBUTES) << Utf8(self);
}

// Each kind of exception a COM method may catch, and the HRESULT its caller gets.
TEST(Win32UtilResult, CaughtExceptionsBecomeTheirHResult) {
    struct Case {
        void (*raise)();
        HRESULT expected;
    };
    const Case cases[] = {
        {[] { throw ResultException(E_ACCESSDENIED); }, E_ACCESSDENIED},
        {[] { throw ResultException(DISP_E_EXCEPTION, L"callee's text"); }, DISP_E_EXCEPTION},
        {[] { throw std::bad_alloc(); }, E_OUTOFMEMORY},
        {[] { throw std::system_error(ERROR_FILE_NOT_FOUND, std::system_category()); },
         HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)},
        {[] { throw std::runtime_error("anything else"); }, E_UNEXPECTED},
        {[] { throw 7; }, E_UNEXPECTED},
    };
    for (const Case& c : cases) {
        const auto method = [&c]() noexcept -> HRESULT {
            try {
                c.raise();
                return S_OK;
            }
            CATCH_RETURN()
        };
        EXPECT_EQ(method(), c.expected);
    }
}

HRESULT PassOn(HRESULT first, bool refuse, int* reached) {
    RETURN_IF_FAILED(first);
    RETURN_HR_IF(E_INVALIDARG, refuse);
    RETURN_HR_IF_NULL(E_POINTER, reached);
    ++*reached;
    return S_FALSE;
}

TEST(Win32UtilResult, EarlyReturnsAndThrowsCarryTheCode) {
    int reached = 0;
    EXPECT_EQ(PassOn(E_FAIL, false, &reached), E_FAIL);
    EXPECT_EQ(PassOn(S_FALSE, true, &reached), E_INVALIDARG) << "success codes go on";
    EXPECT_EQ(PassOn(S_OK, false, nullptr), E_POINTER);
    EXPECT_EQ(reached, 0);
    EXPECT_EQ(PassOn(S_OK, false, &reached), S_FALSE);
    EXPECT_EQ(reached, 1);

    try {
        THROW_IF_FAILED(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
        ADD_FAILURE() << "no throw";
    } catch (const ResultException& e) {
        EXPECT_EQ(e.GetErrorCode(), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
        EXPECT_EQ(e.Description(), SystemMessage(ERROR_FILE_NOT_FOUND));
        EXPECT_EQ(std::string(e.what()), Utf8(e.Description()));
    }
    try {
        SetLastError(ERROR_ACCESS_DENIED);
        THROW_LAST_ERROR_IF(true);
        ADD_FAILURE() << "no throw";
    } catch (const ResultException& e) {
        EXPECT_EQ(e.GetErrorCode(), E_ACCESSDENIED);
    }
    EXPECT_NO_THROW(THROW_IF_FAILED(S_FALSE));
    EXPECT_EQ(ResultException(0x2FFFFFFF).Description(), L"Unexpected failure 0x2FFFFFFF.");

    // A failure deliberately survived goes no further.
    bool after = false;
    try {
        throw std::runtime_error("survived");
    }
    CATCH_LOG()
    after = true;
    EXPECT_TRUE(after);
}

TEST(Win32UtilHandles, OwnedHandleClosesOnceAndReleaseHandsItOn) {
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(event, nullptr);
    HANDLE copy = nullptr;
    ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), event, GetCurrentProcess(), &copy, 0, FALSE,
                                DUPLICATE_SAME_ACCESS));
    {
        unique_handle owner(copy);
        unique_handle moved(std::move(owner));
        EXPECT_FALSE(owner);
        EXPECT_EQ(moved.get(), copy);
    }
    DWORD flags = 0;
    EXPECT_FALSE(GetHandleInformation(copy, &flags)) << "closed with its last owner";
    {
        unique_handle owner(event);
        EXPECT_EQ(owner.release(), event);
    }
    EXPECT_TRUE(GetHandleInformation(event, &flags)) << "released, not closed";
    CloseHandle(event);

    int cleanups = 0;
    {
        auto cleanup = scope_exit([&cleanups] { ++cleanups; });
    }
    {
        auto cleanup = scope_exit([&cleanups] { ++cleanups; });
        cleanup.release();
    }
    EXPECT_EQ(cleanups, 1);
}

// A scratch key below HKEY_CURRENT_USER, gone before and after each test.
class Win32UtilRegistry : public ::testing::Test {
protected:
    const std::wstring root_ = L"Software\\QuorvaneWin32UtilTest";
    void SetUp() override { ASSERT_EQ(DeleteTree(HKEY_CURRENT_USER, root_), S_OK); }
    void TearDown() override { EXPECT_EQ(DeleteTree(HKEY_CURRENT_USER, root_), S_OK); }
};

TEST_F(Win32UtilRegistry, ValuesRoundTripAndAbsenceIsAnAnswer) {
    const std::wstring key = root_ + L"\\a\\b";
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, key));
    EXPECT_FALSE(KeyIsEmpty(HKEY_CURRENT_USER, key)) << "an absent key is not an empty one";
    EXPECT_EQ(ReadString(HKEY_CURRENT_USER, key, L"x"), std::nullopt);
    EXPECT_EQ(ReadDword(HKEY_CURRENT_USER, key, L"n"), std::nullopt);
    EXPECT_TRUE(Subkeys(HKEY_CURRENT_USER, key).empty());

    const std::wstring values[] = {L"", L"C:\\Program Files\\qvn.dll",
                                   std::wstring(3 * MAX_PATH, L'p') + L"\u00E9"};
    for (const std::wstring& value : values) {
        ASSERT_EQ(WriteString(HKEY_CURRENT_USER, key, nullptr, value), S_OK);
        EXPECT_EQ(ReadString(HKEY_CURRENT_USER, key), value) << "length " << value.size();
    }
    ASSERT_EQ(WriteDword(HKEY_CURRENT_USER, key, L"n", 3), S_OK);
    EXPECT_EQ(ReadDword(HKEY_CURRENT_USER, key, L"n"), 3u);
    EXPECT_EQ(ReadString(HKEY_CURRENT_USER, key, L"n"), std::nullopt) << "a number is no text";
    EXPECT_EQ(ReadDword(HKEY_CURRENT_USER, key, nullptr), std::nullopt) << "a text no number";
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, root_ + L"\\a")) << "made with the key below it";
    EXPECT_FALSE(KeyIsEmpty(HKEY_CURRENT_USER, key));
}

TEST_F(Win32UtilRegistry, SubkeysAndDeletionOfATree) {
    for (const wchar_t* name : {L"first", L"second", L"a name longer than most"}) {
        ASSERT_EQ(WriteString(HKEY_CURRENT_USER, root_ + L"\\" + name + L"\\deep", L"v", L"1"),
                  S_OK);
    }
    std::vector<std::wstring> names = Subkeys(HKEY_CURRENT_USER, root_);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::wstring>{L"a name longer than most", L"first", L"second"}));
    unique_hkey empty;
    ASSERT_EQ(CreateKey(HKEY_CURRENT_USER, root_ + L"\\empty", KEY_READ, empty), S_OK);
    EXPECT_TRUE(KeyIsEmpty(HKEY_CURRENT_USER, root_ + L"\\empty"));

    EXPECT_EQ(DeleteTree(HKEY_CURRENT_USER, root_ + L"\\first"), S_OK);
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, root_ + L"\\first"));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, root_ + L"\\second\\deep"));
    EXPECT_EQ(DeleteTree(HKEY_CURRENT_USER, root_ + L"\\first"), S_OK) << "already gone";
    EXPECT_FALSE(OpenKey(HKEY_CURRENT_USER, root_ + L"\\first"));
}

TEST_F(Win32UtilRegistry, EachViewIsAddressedByItself) {
    // Class keys exist once per view on 64-bit Windows: a key written in the 32-bit view is
    // not in the 64-bit one.
    BOOL wow64 = FALSE;
    if (sizeof(void*) == 4 && !(IsWow64Process(GetCurrentProcess(), &wow64) && wow64)) {
        GTEST_SKIP() << "32-bit Windows has one view";
    }
    const std::wstring key = L"CLSID\\{0D5A3C1E-7B2F-4E61-9A40-5C3B2E1F0A99}";
    ASSERT_EQ(WriteString(HKEY_CLASSES_ROOT, key, nullptr, L"32", KEY_WOW64_32KEY), S_OK);
    EXPECT_EQ(ReadString(HKEY_CLASSES_ROOT, key, nullptr, KEY_WOW64_32KEY), L"32");
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, key, KEY_WOW64_64KEY));
    EXPECT_EQ(DeleteTree(HKEY_CLASSES_ROOT, key, KEY_WOW64_64KEY), S_OK) << "nothing there";
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, key, KEY_WOW64_32KEY));
    EXPECT_EQ(DeleteTree(HKEY_CLASSES_ROOT, key, KEY_WOW64_32KEY), S_OK);
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, key, KEY_WOW64_32KEY));
}

} // namespace
} // namespace qvn::win32util
