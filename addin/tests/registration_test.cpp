// Self-registration of qvn.dll through the system's registration tool and through the
// exports: exactly the class, ProgID and type-library keys, removed again without a trace,
// and the IDE's own interface keys never created or changed.
#include "test_support.h"

#include <qvn.h>

#include <functional>
#include <map>

namespace qvn::addin::testing {
namespace {

using RegistrarFn = std::function<HRESULT(bool unregister)>;

HRESULT ThroughRegsvr32(bool unregister) {
    std::wstring command = L"regsvr32.exe /s ";
    if (unregister) {
        command += L"/u ";
    }
    command += L"\"" + DllPath() + L"\"";
    long code = RunProgram(command);
    return code == 0 ? S_OK : E_FAIL;
}

HRESULT ThroughExports(bool unregister) {
    HMODULE dll = LoadLibraryW(DllPath().c_str());
    if (dll == nullptr) {
        return HRESULT_FROM_WIN32(GetLastError());
    }
    using EntryPoint = HRESULT(STDAPICALLTYPE*)();
    auto entry = reinterpret_cast<EntryPoint>(reinterpret_cast<void*>(
        GetProcAddress(dll, unregister ? "DllUnregisterServer" : "DllRegisterServer")));
    HRESULT hr = entry != nullptr ? entry() : E_NOINTERFACE;
    FreeLibrary(dll);
    return hr;
}

struct Registrar {
    const char* name;
    RegistrarFn call;
};

void PrintTo(const Registrar& registrar, std::ostream* out) {
    *out << registrar.name;
}

const std::wstring kClsid = L"{3D51C0A6-7E92-11D2-9F14-2A8E6B07D3C1}";
const std::wstring kLibid = L"{3D51C0A9-7E92-11D2-9F14-2A8E6B07D3C1}";
const std::wstring kIid = L"{3D51C0A5-7E92-11D2-9F14-2A8E6B07D3C1}";
const std::wstring kClassKey = L"CLSID\\" + kClsid;
const std::wstring kLibraryKey = L"TypeLib\\" + kLibid;
const std::wstring kInterfaceKey = L"Interface\\" + kIid;

std::wstring IdeInterfaceKey(int i) {
    return L"Interface\\" + GuidText(kIdeInterfaces[i]);
}

// Everything below the IDE's interface keys, values included, as one comparable map.
std::map<std::wstring, std::optional<std::wstring>> IdeKeys() {
    std::map<std::wstring, std::optional<std::wstring>> seen;
    for (int i = 0; i < 4; ++i) {
        for (const auto& key : KeyTree(HKEY_CLASSES_ROOT, IdeInterfaceKey(i))) {
            seen[key] = ReadString(HKEY_CLASSES_ROOT, key);
        }
        seen[IdeInterfaceKey(i) + L"|present"] =
            KeyExists(HKEY_CLASSES_ROOT, IdeInterfaceKey(i)) ? L"yes" : L"no";
    }
    return seen;
}

void RemoveOurKeys() {
    DeleteTree(HKEY_CLASSES_ROOT, L"Quorvane.Connect");
    DeleteTree(HKEY_CLASSES_ROOT, kClassKey);
    DeleteTree(HKEY_CLASSES_ROOT, kLibraryKey);
    DeleteTree(HKEY_CLASSES_ROOT, kInterfaceKey);
}

class RegistrationTest : public ::testing::TestWithParam<Registrar> {
protected:
    void SetUp() override { RemoveOurKeys(); }
    void TearDown() override { RemoveOurKeys(); }
};

TEST_P(RegistrationTest, WritesExactlyTheClassProgIdAndLibraryKeys) {
    const auto ideBefore = IdeKeys();
    ASSERT_EQ(GetParam().call(false), S_OK);

    struct Expected {
        std::wstring key;
        const wchar_t* value;
        std::wstring data;
    };
    const Expected expected[] = {
        {L"Quorvane.Connect", nullptr, L"Quorvane.Connect"},
        {L"Quorvane.Connect\\CLSID", nullptr, kClsid},
        {kClassKey, nullptr, L"Quorvane.Connect"},
        {kClassKey + L"\\InprocServer32", nullptr, DllPath()},
        {kClassKey + L"\\InprocServer32", L"ThreadingModel", L"Apartment"},
        {kClassKey + L"\\ProgID", nullptr, L"Quorvane.Connect"},
        {kClassKey + L"\\TypeLib", nullptr, kLibid},
        {kClassKey + L"\\VERSION", nullptr, L"1.0"},
        {kLibraryKey + L"\\1.0", nullptr, L"Quorvane"},
        {kLibraryKey + L"\\1.0\\409\\win64", nullptr, DllPath()},
        {kInterfaceKey, nullptr, L"_Connect"},
        {kInterfaceKey + L"\\TypeLib", nullptr, kLibid},
    };
    for (const auto& e : expected) {
        auto value = ReadString(HKEY_CLASSES_ROOT, e.key, e.value);
        ASSERT_TRUE(value.has_value()) << Utf8(e.key);
        // Paths may differ in case only (the system may record a normalised path).
        EXPECT_EQ(CompareStringOrdinal(value->c_str(), -1, e.data.c_str(), -1, TRUE), CSTR_EQUAL)
            << Utf8(e.key) << " = " << Utf8(*value);
    }

    EXPECT_EQ(KeyTree(HKEY_CLASSES_ROOT, L"Quorvane.Connect"),
              (std::vector<std::wstring>{L"Quorvane.Connect", L"Quorvane.Connect\\CLSID"}));
    EXPECT_EQ(KeyTree(HKEY_CLASSES_ROOT, kClassKey),
              (std::vector<std::wstring>{kClassKey, kClassKey + L"\\InprocServer32",
                                         kClassKey + L"\\ProgID", kClassKey + L"\\TypeLib",
                                         kClassKey + L"\\VERSION"}));
    // The library is registered under its own locale only.
    for (const auto& key : KeyTree(HKEY_CLASSES_ROOT, kLibraryKey + L"\\1.0")) {
        EXPECT_EQ(key.find(L"\\0\\"), std::wstring::npos) << Utf8(key);
    }

    EXPECT_EQ(IdeKeys(), ideBefore) << "the IDE's interface keys changed";

    ASSERT_EQ(GetParam().call(true), S_OK);
    for (const auto& key :
         {std::wstring(L"Quorvane.Connect"), kClassKey, kLibraryKey, kInterfaceKey}) {
        EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, key)) << Utf8(key) << " left behind";
    }
    EXPECT_EQ(IdeKeys(), ideBefore) << "unregistration touched the IDE's interface keys";
}

TEST_P(RegistrationTest, LeavesTheIdesOwnInterfaceRegistrationAsItWas) {
    // As the IDE itself registers them: its library and its proxy.
    const std::wstring ideLibrary = L"{EF404E00-EDA6-101A-8DAF-00DD010F7EBB}";
    std::vector<std::wstring> created;
    for (int i = 0; i < 4; ++i) {
        const std::wstring key = IdeInterfaceKey(i);
        if (KeyExists(HKEY_CLASSES_ROOT, key)) {
            continue;
        }
        created.push_back(key);
        RegSetKeyValueW(HKEY_CLASSES_ROOT, key.c_str(), nullptr, REG_SZ, L"IdeOwned", 18);
        RegSetKeyValueW(HKEY_CLASSES_ROOT, (key + L"\\TypeLib").c_str(), nullptr, REG_SZ,
                        ideLibrary.c_str(),
                        static_cast<DWORD>((ideLibrary.size() + 1) * sizeof(wchar_t)));
        RegSetKeyValueW(HKEY_CLASSES_ROOT, (key + L"\\TypeLib").c_str(), L"Version", REG_SZ, L"5.0",
                        8);
    }
    const auto before = IdeKeys();

    ASSERT_EQ(GetParam().call(false), S_OK);
    EXPECT_EQ(IdeKeys(), before);
    ASSERT_EQ(GetParam().call(true), S_OK);
    EXPECT_EQ(IdeKeys(), before);

    for (const auto& key : created) {
        DeleteTree(HKEY_CLASSES_ROOT, key);
    }
}

TEST_P(RegistrationTest, ProgIdResolvesOnlyWhileRegistered) {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    ASSERT_EQ(GetParam().call(false), S_OK);
    CLSID clsid{};
    EXPECT_EQ(CLSIDFromProgID(L"Quorvane.Connect", &clsid), S_OK);
    EXPECT_EQ(clsid, CLSID_Connect);
    {
        ComPtr<IUnknown> object;
        EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                   reinterpret_cast<void**>(object.GetAddressOf())),
                  S_OK);
    }
    CoFreeUnusedLibraries();
    ASSERT_EQ(GetParam().call(true), S_OK);
    EXPECT_NE(CLSIDFromProgID(L"Quorvane.Connect", &clsid), S_OK);
    CoUninitialize();
}

INSTANTIATE_TEST_SUITE_P(Registrars, RegistrationTest,
                         ::testing::Values(Registrar{"regsvr32", ThroughRegsvr32},
                                           Registrar{"exports", ThroughExports}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace qvn::addin::testing
