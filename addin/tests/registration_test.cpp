// Self-registration of qvn.dll through the system's registration tool and through the
// exports: exactly the class, ProgID and type-library keys, removed again without a trace,
// and the IDE's own interface keys never created or changed.
#include "addin/tests/test_support.h"

#include "testsupport/registry_image.h"

#include <qvn.h>

#include <algorithm>
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
const std::wstring kPlatform = sizeof(void*) == 8 ? L"win64" : L"win32";

// Where this build's class and interface keys live in the image of the whole registry: a
// 32-bit program on 64-bit Windows registers into the 32-bit view, below Wow6432Node.
std::wstring OwnViewClasses() {
    BOOL wow64 = FALSE;
    IsWow64Process(GetCurrentProcess(), &wow64);
    return wow64 ? L"HKLM\\Software\\Classes\\Wow6432Node\\" : L"HKLM\\Software\\Classes\\";
}

bool StartsWithNoCase(const std::string& text, const std::wstring& prefix) {
    const std::string p = Utf8(prefix);
    return text.size() >= p.size() && _strnicmp(text.c_str(), p.c_str(), p.size()) == 0;
}

std::wstring IdeInterfaceKey(int i) {
    return L"Interface\\" + GuidText(kIdeInterfaces[i]);
}

// Everything below the IDE's interface keys, values included, as one comparable map.
std::map<std::wstring, std::optional<std::wstring>> IdeKeys() {
    std::map<std::wstring, std::optional<std::wstring>> seen;
    for (int i = 0; i < static_cast<int>(std::size(kIdeInterfaces)); ++i) {
        for (const auto& key : KeyTree(HKEY_CLASSES_ROOT, IdeInterfaceKey(i))) {
            seen[key] = ReadString(HKEY_CLASSES_ROOT, key);
        }
        seen[IdeInterfaceKey(i) + L"|present"] =
            KeyExists(HKEY_CLASSES_ROOT, IdeInterfaceKey(i)) ? L"yes" : L"no";
    }
    return seen;
}

// In both views: a test that failed half-way may have left either build's keys behind.
void RemoveOurKeys() {
    for (REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
        for (const auto& path :
             {std::wstring(L"Quorvane.Connect"), kClassKey, kLibraryKey, kInterfaceKey}) {
            win32util::DeleteTree(HKEY_CLASSES_ROOT, path, view);
        }
    }
}

class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override { RemoveOurKeys(); }
    void TearDown() override { RemoveOurKeys(); }
};

class RegistrationTest : public RegistryTest, public ::testing::WithParamInterface<Registrar> {};

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
        {kLibraryKey + L"\\1.0\\409\\" + kPlatform, nullptr, DllPath()},
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

TEST_P(RegistrationTest, WritesOnlyItsOwnKeysInEveryViewAndUndoesThemCompletely) {
    const auto before = ::qvn::testing::ReadRegistry();
    ASSERT_EQ(GetParam().call(false), S_OK);
    const auto registered = ::qvn::testing::RegistryChanges(before, ::qvn::testing::ReadRegistry());
    const std::wstring ours[] = {
        L"+ HKLM\\Software\\Classes\\Quorvane.Connect",
        L"+ HKLM\\Software\\Classes\\TypeLib\\" + kLibid,
        L"+ " + OwnViewClasses() + kClassKey,
        L"+ " + OwnViewClasses() + kInterfaceKey,
    };
    for (const auto& change : registered) {
        bool isOurs = false;
        for (const auto& prefix : ours) {
            isOurs |= StartsWithNoCase(change, prefix);
        }
        EXPECT_TRUE(isOurs) << "not ours: " << change;
    }
    EXPECT_GE(registered.size(), 10u) << "the registration wrote less than its keys";

    ASSERT_EQ(GetParam().call(true), S_OK);
    EXPECT_EQ(::qvn::testing::RegistryChanges(before, ::qvn::testing::ReadRegistry()),
              std::vector<std::string>{});
}

// The other build's qvn.dll, from the build tree beside this one, and the registration tool
// of its bitness.
struct OtherBuild {
    std::wstring dll;
    std::wstring regsvr32;
};

std::optional<OtherBuild> FindOtherBuild() {
    BOOL wow64 = FALSE;
    IsWow64Process(GetCurrentProcess(), &wow64);
    if (sizeof(void*) == 4 && !wow64) {
        return std::nullopt; // 32-bit Windows has no 64-bit view to register into
    }
    const std::wstring dll = QVN_OTHER_BUILD_DLL;
    if (GetFileAttributesW(dll.c_str()) == INVALID_FILE_ATTRIBUTES) {
        return std::nullopt;
    }
    wchar_t windows[MAX_PATH] = {};
    GetWindowsDirectoryW(windows, MAX_PATH);
    // From a 64-bit program the 32-bit tool is in SysWOW64; from a 32-bit program the 64-bit
    // tool is reached through Sysnative.
    const wchar_t* folder = sizeof(void*) == 8 ? L"\\SysWOW64" : L"\\Sysnative";
    return OtherBuild{dll, std::wstring(windows) + folder + L"\\regsvr32.exe"};
}

long RegisterOther(const OtherBuild& other, bool unregister) {
    return RunProgram(L"\"" + other.regsvr32 + L"\" /s " + (unregister ? L"/u " : L"") + L"\"" +
                      other.dll + L"\"");
}

// Through the exports only: the registration tool's path is covered above.
class BothBuildsTest : public RegistryTest {};

TEST_F(BothBuildsTest, OneRemovedLeavesTheOthersRegistrationAsItWas) {
    auto call = [](bool unregister) { return ThroughExports(unregister); };
    const auto other = FindOtherBuild();
    if (!other) {
        GTEST_SKIP() << "the other build's qvn.dll (" << Utf8(QVN_OTHER_BUILD_DLL)
                     << ") is not built, or this Windows has one registry view";
    }
    const auto fresh = ::qvn::testing::ReadRegistry();
    ASSERT_EQ(RegisterOther(*other, false), 0);
    const auto otherAlone = ::qvn::testing::ReadRegistry();
    ASSERT_NE(::qvn::testing::RegistryChanges(fresh, otherAlone), std::vector<std::string>{});

    // This build registered after the other, then before it: removing it leaves the other's
    // registration exactly as the other made it, the shared keys included.
    ASSERT_EQ(call(false), S_OK);
    ASSERT_EQ(call(true), S_OK);
    EXPECT_EQ(::qvn::testing::RegistryChanges(otherAlone, ::qvn::testing::ReadRegistry()),
              std::vector<std::string>{})
        << "registered after the other build";
    ASSERT_EQ(RegisterOther(*other, true), 0);

    ASSERT_EQ(call(false), S_OK);
    ASSERT_EQ(RegisterOther(*other, false), 0);
    ASSERT_EQ(call(true), S_OK);
    EXPECT_EQ(::qvn::testing::RegistryChanges(otherAlone, ::qvn::testing::ReadRegistry()),
              std::vector<std::string>{})
        << "registered before the other build";
    CLSID clsid{};
    EXPECT_EQ(CLSIDFromProgID(L"Quorvane.Connect", &clsid), S_OK) << "the ProgID went too soon";

    ASSERT_EQ(RegisterOther(*other, true), 0);
    EXPECT_EQ(::qvn::testing::RegistryChanges(fresh, ::qvn::testing::ReadRegistry()),
              std::vector<std::string>{});

    // And the other way round: with the other build gone, this one is still created by its
    // ProgID, as its host does.
    ASSERT_EQ(call(false), S_OK);
    ASSERT_EQ(RegisterOther(*other, false), 0);
    ASSERT_EQ(RegisterOther(*other, true), 0);
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    {
        ComPtr<IUnknown> object;
        EXPECT_EQ(CLSIDFromProgID(L"Quorvane.Connect", &clsid), S_OK);
        EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                   reinterpret_cast<void**>(object.GetAddressOf())),
                  S_OK);
    }
    CoFreeUnusedLibraries();
    CoUninitialize();
    ASSERT_EQ(call(true), S_OK);
}

// --- Per user: regsvr32 /n /i:user and DllInstall --------------------------------------------

HRESULT UserThroughRegsvr32(bool unregister) {
    return RunProgram(std::wstring(L"regsvr32.exe /s ") + (unregister ? L"/u " : L"") +
                      L"/n /i:user \"" + DllPath() + L"\"") == 0
               ? S_OK
               : E_FAIL;
}

HRESULT CallDllInstall(bool install, const wchar_t* commandLine) {
    HMODULE dll = LoadLibraryW(DllPath().c_str());
    if (dll == nullptr) {
        return HRESULT_FROM_WIN32(GetLastError());
    }
    using Install = HRESULT(STDAPICALLTYPE*)(BOOL, LPCWSTR);
    auto entry =
        reinterpret_cast<Install>(reinterpret_cast<void*>(GetProcAddress(dll, "DllInstall")));
    HRESULT hr = entry != nullptr ? entry(install ? TRUE : FALSE, commandLine) : E_NOINTERFACE;
    FreeLibrary(dll);
    return hr;
}

HRESULT UserThroughExports(bool unregister) {
    return CallDllInstall(!unregister, L"User");
}

const std::wstring kVbaAddIns = L"Software\\Microsoft\\VBA\\VBE\\6.0\\Addins";
std::wstring VbaList(bool sixtyFourBit) {
    return kVbaAddIns + (sixtyFourBit ? L"64" : L"");
}
std::wstring OwnVbaList() {
    return VbaList(sizeof(void*) == 8);
}

// The VBA editor keeps its add-in lists whether or not anything is listed: the tests start
// with both lists present (and another add-in listed) and put back what they found.
class UserRegistryTest : public ::testing::Test {
protected:
    void SetUp() override {
        RemoveUserKeys();
        for (bool sixtyFour : {false, true}) {
            if (!KeyExists(HKEY_CURRENT_USER, VbaList(sixtyFour))) {
                created_.push_back(VbaList(sixtyFour));
                RegSetKeyValueW(HKEY_CURRENT_USER, VbaList(sixtyFour).c_str(), nullptr, REG_NONE,
                                nullptr, 0);
            }
        }
        const std::wstring neighbour = OwnVbaList() + L"\\Other.Addin";
        if (!KeyExists(HKEY_CURRENT_USER, neighbour)) {
            created_.push_back(neighbour);
            DWORD load = 3;
            RegSetKeyValueW(HKEY_CURRENT_USER, neighbour.c_str(), L"LoadBehavior", REG_DWORD, &load,
                            sizeof load);
        }
    }
    void TearDown() override {
        RemoveUserKeys();
        for (auto it = created_.rbegin(); it != created_.rend(); ++it) {
            DeleteTree(HKEY_CURRENT_USER, *it);
        }
    }
    static void RemoveUserKeys() {
        for (const auto& path :
             {std::wstring(L"Quorvane.Connect"), kClassKey, L"Wow6432Node\\" + kClassKey,
              kLibraryKey, kInterfaceKey, L"Wow6432Node\\" + kInterfaceKey}) {
            DeleteTree(HKEY_CURRENT_USER, L"Software\\Classes\\" + path);
        }
        for (bool sixtyFour : {false, true}) {
            DeleteTree(HKEY_CURRENT_USER, VbaList(sixtyFour) + L"\\Quorvane.Connect");
        }
        // Empty class containers, as a fresh profile has none (earlier tests may leave them).
        for (const wchar_t* container : {L"CLSID", L"Interface", L"TypeLib", L""}) {
            const std::wstring path = std::wstring(L"Software\\Classes\\") + container;
            if (KeyTree(HKEY_CURRENT_USER, path).size() == 1 &&
                !ReadString(HKEY_CURRENT_USER, path, nullptr)) {
                RegDeleteKeyW(HKEY_CURRENT_USER, path.c_str());
            }
        }
    }
    std::vector<std::wstring> created_;
};

class UserRegistrationTest : public UserRegistryTest,
                             public ::testing::WithParamInterface<Registrar> {};

TEST_P(UserRegistrationTest, WritesOnlyItsOwnKeysUnderTheUserAndUndoesThemCompletely) {
    const auto before = ::qvn::testing::ReadRegistry();
    ASSERT_EQ(GetParam().call(false), S_OK);
    ASSERT_EQ(GetParam().call(false), S_OK) << "a second installation is harmless";
    const auto registered = ::qvn::testing::RegistryChanges(before, ::qvn::testing::ReadRegistry());
    const std::wstring ours[] = {
        L"+ HKCU\\Software\\Classes\\Quorvane.Connect",
        L"+ HKCU\\Software\\Classes\\TypeLib\\" + kLibid,
        L"+ HKCU\\Software\\Classes\\" + kClassKey,
        L"+ HKCU\\Software\\Classes\\Wow6432Node\\" + kClassKey,
        L"+ HKCU\\Software\\Classes\\" + kInterfaceKey,
        L"+ HKCU\\Software\\Classes\\Wow6432Node\\" + kInterfaceKey,
        L"+ HKCU\\" + OwnVbaList() + L"\\Quorvane.Connect",
    };
    // The user's class containers, where the profile had none yet.
    const std::string containers[] = {
        "+ HKCU\\Software\\Classes", "+ HKCU\\Software\\Classes\\CLSID",
        "+ HKCU\\Software\\Classes\\Interface", "+ HKCU\\Software\\Classes\\TypeLib"};
    for (const auto& change : registered) {
        bool isOurs =
            std::find(std::begin(containers), std::end(containers), change) != std::end(containers);
        for (const auto& prefix : ours) {
            isOurs |= StartsWithNoCase(change, prefix);
        }
        EXPECT_TRUE(isOurs) << "not ours: " << change;
    }

    const std::wstring classes = L"Software\\Classes\\";
    const std::wstring entry = OwnVbaList() + L"\\Quorvane.Connect";
    struct Expected {
        std::wstring key;
        const wchar_t* value;
        std::wstring data;
    };
    const Expected expected[] = {
        {classes + L"Quorvane.Connect\\CLSID", nullptr, kClsid},
        {classes + L"TypeLib\\" + kLibid + L"\\1.0", nullptr, L"Quorvane"},
        {classes + L"TypeLib\\" + kLibid + L"\\1.0\\409\\" + kPlatform, nullptr, DllPath()},
        {entry, L"FriendlyName", L"Quorvane"},
        {entry, L"Description", L"Writes message-box code and pastes it into the code pane"},
    };
    for (const auto& e : expected) {
        auto value = ReadString(HKEY_CURRENT_USER, e.key, e.value);
        ASSERT_TRUE(value.has_value()) << Utf8(e.key);
        EXPECT_EQ(CompareStringOrdinal(value->c_str(), -1, e.data.c_str(), -1, TRUE), CSTR_EQUAL)
            << Utf8(e.key) << " = " << Utf8(*value);
    }
    DWORD load = 0;
    DWORD size = sizeof load;
    EXPECT_EQ(RegGetValueW(HKEY_CURRENT_USER, entry.c_str(), L"LoadBehavior", RRF_RT_REG_DWORD,
                           nullptr, &load, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(load, 3u);
    // The class as this user's processes of this bitness see it (read from the user's own
    // classes: Wine does not merge them into HKEY_CLASSES_ROOT).
    const auto server =
        ReadString(HKEY_CURRENT_USER, classes + kClassKey + L"\\InprocServer32", nullptr);
    ASSERT_TRUE(server.has_value());
    EXPECT_EQ(CompareStringOrdinal(server->c_str(), -1, DllPath().c_str(), -1, TRUE), CSTR_EQUAL);

    ASSERT_EQ(GetParam().call(true), S_OK);
    ASSERT_EQ(GetParam().call(true), S_OK) << "a second removal is harmless";
    EXPECT_EQ(::qvn::testing::RegistryChanges(before, ::qvn::testing::ReadRegistry()),
              std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(UserRegistrars, UserRegistrationTest,
                         ::testing::Values(Registrar{"regsvr32", UserThroughRegsvr32},
                                           Registrar{"exports", UserThroughExports}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(UserRegistryTest, AnyOtherCommandLineIsRefusedAndWritesNothing) {
    const auto before = ::qvn::testing::ReadRegistry();
    for (const wchar_t* line : {L"", L"machine", L"users", L"user "}) {
        EXPECT_EQ(CallDllInstall(true, line), E_INVALIDARG) << Utf8(line);
        EXPECT_EQ(CallDllInstall(false, line), E_INVALIDARG) << Utf8(line);
    }
    EXPECT_EQ(CallDllInstall(true, nullptr), E_INVALIDARG);
    EXPECT_EQ(::qvn::testing::RegistryChanges(before, ::qvn::testing::ReadRegistry()),
              std::vector<std::string>{});
}

long RegisterOtherForUser(const OtherBuild& other, bool unregister) {
    return RunProgram(L"\"" + other.regsvr32 + L"\" /s " + (unregister ? L"/u " : L"") +
                      L"/n /i:user \"" + other.dll + L"\"");
}

TEST_F(UserRegistryTest, OneBuildRemovedLeavesTheOthersEntryProgIdAndLibrary) {
    const auto other = FindOtherBuild();
    if (!other) {
        GTEST_SKIP() << "the other build's qvn.dll is not built, or this Windows has one view";
    }
    const auto fresh = ::qvn::testing::ReadRegistry();
    const std::wstring otherPlatform = sizeof(void*) == 8 ? L"win32" : L"win64";
    const std::wstring otherEntry = VbaList(sizeof(void*) != 8) + L"\\Quorvane.Connect";
    for (bool thisFirst : {true, false}) {
        if (thisFirst) {
            ASSERT_EQ(UserThroughExports(false), S_OK);
        }
        ASSERT_EQ(RegisterOtherForUser(*other, false), 0);
        if (!thisFirst) {
            ASSERT_EQ(UserThroughExports(false), S_OK);
        }
        ASSERT_EQ(UserThroughExports(true), S_OK);
        EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, otherEntry));
        EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, OwnVbaList() + L"\\Quorvane.Connect"));
        EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, L"Software\\Classes\\Quorvane.Connect"));
        EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, L"Software\\Classes\\TypeLib\\" + kLibid +
                                                     L"\\1.0\\409\\" + otherPlatform));
        EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, L"Software\\Classes\\TypeLib\\" + kLibid +
                                                      L"\\1.0\\409\\" + kPlatform));
        ASSERT_EQ(RegisterOtherForUser(*other, true), 0);
        EXPECT_EQ(::qvn::testing::RegistryChanges(fresh, ::qvn::testing::ReadRegistry()),
                  std::vector<std::string>{})
            << (thisFirst ? "this build registered first" : "the other build registered first");
    }
}

INSTANTIATE_TEST_SUITE_P(Registrars, RegistrationTest,
                         ::testing::Values(Registrar{"regsvr32", ThroughRegsvr32},
                                           Registrar{"exports", ThroughExports}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace qvn::addin::testing
