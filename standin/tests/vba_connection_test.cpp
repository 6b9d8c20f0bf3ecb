// Add-ins as the stand-in VBA editor loads them: the list in HKCU by bitness, connection
// through IDTExtensibility2 in the editor's order, and the class found for the user.
#include "ide/names.h"
#include "testsupport/com_stubs.h"
#include "win32util/com_object.h"
#include "win32util/text.h"

#include "standin/addin_class.h"
#include "standin/stand_in_ide.h"
#include "standin/tests/late_bound.h"

#include <extensibility2.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace qvn::standin {
namespace {

std::vector<std::wstring> gCalls;
int gAlive = 0;

// True when `custom` is what the editor passes: a valid, empty array of Variants by reference.
bool IsEmptyVariantArray(SAFEARRAY** custom) {
    VARTYPE type = VT_EMPTY;
    return custom != nullptr && *custom != nullptr && SafeArrayGetDim(*custom) == 1 &&
           SUCCEEDED(SafeArrayGetVartype(*custom, &type)) && type == VT_VARIANT &&
           (*custom)->rgsabound[0].cElements == 0;
}

// Records each IDTExtensibility2 call as "<name> <call> [mode]", with " bad-custom" when the
// array is not the editor's.
class RecordingAddIn final
    : public win32util::ComObject<::qvn::testing::WithoutTypeInfo<IDTExtensibility2>> {
public:
    explicit RecordingAddIn(std::wstring name) : name_(std::move(name)) { ++gAlive; }
    ~RecordingAddIn() override { --gAlive; }
    RecordingAddIn(const RecordingAddIn&) = delete;
    RecordingAddIn& operator=(const RecordingAddIn&) = delete;

    HRESULT STDMETHODCALLTYPE OnConnection(IDispatch* application, ext_ConnectMode mode, IDispatch*,
                                           SAFEARRAY** custom) override {
        Record(L"OnConnection " + std::to_wstring(mode), custom);
        // Takes what an add-in takes, so that the host's counts show it is given back.
        application_ = application;
        bars_ = testing::Get(application, L"CommandBars").Object();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnDisconnection(ext_DisconnectMode mode,
                                              SAFEARRAY** custom) override {
        Record(L"OnDisconnection " + std::to_wstring(mode), custom);
        bars_.Reset();
        application_.Reset();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnAddInsUpdate(SAFEARRAY** custom) override {
        Record(L"OnAddInsUpdate", custom);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnStartupComplete(SAFEARRAY** custom) override {
        Record(L"OnStartupComplete", custom);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnBeginShutdown(SAFEARRAY** custom) override {
        Record(L"OnBeginShutdown", custom);
        return S_OK;
    }

private:
    void Record(const std::wstring& call, SAFEARRAY** custom) {
        gCalls.push_back(name_ + L" " + call +
                         (IsEmptyVariantArray(custom) ? L"" : L" bad-custom"));
    }

    std::wstring name_;
    Microsoft::WRL::ComPtr<IDispatch> application_;
    Microsoft::WRL::ComPtr<IDispatch> bars_;
};

using RecordingFactory = testing::AddInFactory<RecordingAddIn>;
using win32util::GuidText;

void SetString(HKEY root, const std::wstring& key, const wchar_t* name, const std::wstring& value) {
    ASSERT_EQ(ERROR_SUCCESS,
              RegSetKeyValueW(root, key.c_str(), name, REG_SZ, value.c_str(),
                              static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))));
}

// A key of the user's the test writes into, put back as it was afterwards: its tree is copied
// aside first and copied back at the end.
class SavedUserKey {
public:
    explicit SavedUserKey(std::wstring path) : path_(std::move(path)) {
        HKEY key = nullptr;
        existed_ =
            RegOpenKeyExW(HKEY_CURRENT_USER, path_.c_str(), 0, KEY_READ, &key) == ERROR_SUCCESS;
        if (existed_) {
            HKEY backup = nullptr;
            RegDeleteTreeW(HKEY_CURRENT_USER, BackupPath().c_str());
            RegCreateKeyExW(HKEY_CURRENT_USER, BackupPath().c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, &backup, nullptr);
            saved_ = RegCopyTreeW(key, nullptr, backup) == ERROR_SUCCESS;
            RegCloseKey(backup);
            RegCloseKey(key);
        }
        RegDeleteTreeW(HKEY_CURRENT_USER, path_.c_str());
    }
    ~SavedUserKey() {
        RegDeleteTreeW(HKEY_CURRENT_USER, path_.c_str());
        if (existed_) {
            HKEY key = nullptr;
            HKEY backup = nullptr;
            RegCreateKeyExW(HKEY_CURRENT_USER, path_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, &key, nullptr);
            if (saved_ && RegOpenKeyExW(HKEY_CURRENT_USER, BackupPath().c_str(), 0, KEY_READ,
                                        &backup) == ERROR_SUCCESS) {
                RegCopyTreeW(backup, nullptr, key);
                RegCloseKey(backup);
            }
            RegCloseKey(key);
            RegDeleteTreeW(HKEY_CURRENT_USER, BackupPath().c_str());
        }
    }
    SavedUserKey(const SavedUserKey&) = delete;
    SavedUserKey& operator=(const SavedUserKey&) = delete;
    [[nodiscard]] bool Saved() const { return !existed_ || saved_; }

private:
    [[nodiscard]] std::wstring BackupPath() const {
        std::wstring name = path_;
        std::replace(name.begin(), name.end(), L'\\', L'_');
        return L"Software\\QvnHostTestBackup\\" + name;
    }

    std::wstring path_;
    bool existed_ = false;
    bool saved_ = false;
};

struct TestClass {
    const wchar_t* progId;
    CLSID clsid;
    RecordingFactory factory;
    DWORD cookie = 0;
};

class VbaConnectionTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
        ASSERT_TRUE(ownList_.Saved() && otherList_.Saved());
        gCalls.clear();
        for (auto* c : {&alpha_, &beta_, &gamma_}) {
            SetString(HKEY_CLASSES_ROOT, std::wstring(c->progId) + L"\\CLSID", nullptr,
                      GuidText(c->clsid));
            ASSERT_EQ(S_OK, CoRegisterClassObject(c->clsid, &c->factory, CLSCTX_INPROC_SERVER,
                                                  REGCLS_MULTIPLEUSE, &c->cookie));
        }
    }
    void TearDown() override {
        host_.reset();
        for (auto* c : {&alpha_, &beta_, &gamma_}) {
            CoRevokeClassObject(c->cookie);
            RegDeleteTreeW(HKEY_CLASSES_ROOT, c->progId);
        }
        OleUninitialize();
        EXPECT_EQ(0, gAlive) << "every add-in the host created is released";
    }
    // One entry of the editor's list, under this build's key or the other bitness's.
    void List(const wchar_t* progId, DWORD loadBehavior, const wchar_t* friendlyName,
              bool otherBitness = false) {
        std::wstring key = (otherBitness ? otherKey_ : ownKey_) + L"\\" + progId;
        SetString(HKEY_CURRENT_USER, key, names::kVbaAddInFriendlyNameW, friendlyName);
        SetString(HKEY_CURRENT_USER, key, names::kVbaAddInDescriptionW,
                  std::wstring(friendlyName) + L", for the tests");
        ASSERT_EQ(ERROR_SUCCESS,
                  RegSetKeyValueW(HKEY_CURRENT_USER, key.c_str(), names::kVbaAddInLoadBehaviorW,
                                  REG_DWORD, &loadBehavior, sizeof loadBehavior));
    }
    static std::vector<std::wstring> MenuItems(HMENU menu) {
        std::vector<std::wstring> items;
        for (int i = 0; i < GetMenuItemCount(menu); ++i) {
            wchar_t text[128] = {};
            GetMenuStringW(menu, i, text, 128, MF_BYPOSITION);
            items.emplace_back(text);
        }
        return items;
    }

    const std::wstring ownKey_ = kHost64Bit ? names::kVbaAddIns64KeyW : names::kVbaAddInsKeyW;
    const std::wstring otherKey_ = kHost64Bit ? names::kVbaAddInsKeyW : names::kVbaAddIns64KeyW;
    SavedUserKey ownList_{ownKey_};
    SavedUserKey otherList_{otherKey_};
    TestClass alpha_{L"Qvn.HostTestAlpha",
                     {0x2C1D8B21, 0x6E3F, 0x4D7C, {0x9F, 0x22, 0x7B, 0x30, 0xA1, 0x4E, 0x12, 0xA1}},
                     RecordingFactory(L"Alpha")};
    TestClass beta_{L"Qvn.HostTestBeta",
                    {0x2C1D8B21, 0x6E3F, 0x4D7C, {0x9F, 0x22, 0x7B, 0x30, 0xA1, 0x4E, 0x12, 0xB2}},
                    RecordingFactory(L"Beta")};
    TestClass gamma_{L"Qvn.HostTestGamma",
                     {0x2C1D8B21, 0x6E3F, 0x4D7C, {0x9F, 0x22, 0x7B, 0x30, 0xA1, 0x4E, 0x12, 0xC3}},
                     RecordingFactory(L"Gamma")};
    std::unique_ptr<IdeHost> host_ = std::make_unique<IdeHost>(HostFlavour::Vba);
};

TEST_F(VbaConnectionTest, TheListIsTheUsersKeyOfTheHostsBitness) {
    List(alpha_.progId, kLoadAtStartup, L"Alpha add-in");
    List(gamma_.progId, 0, L"Gamma add-in");
    List(beta_.progId, kLoadAtStartup, L"Beta add-in", true); // the other editor's
    auto entries = IdeHost::ReadVbaAddInList(IdeHost::DefaultVbaAddInsKey());
    ASSERT_EQ(2u, entries.size());
    struct Expected {
        const wchar_t* progId;
        const wchar_t* friendlyName;
        DWORD loadBehavior;
    } expected[] = {{alpha_.progId, L"Alpha add-in", kLoadAtStartup},
                    {gamma_.progId, L"Gamma add-in", 0}};
    for (std::size_t i = 0; i < entries.size(); ++i) {
        EXPECT_EQ(expected[i].progId, entries[i].progId);
        EXPECT_EQ(expected[i].friendlyName, entries[i].friendlyName);
        EXPECT_EQ(std::wstring(expected[i].friendlyName) + L", for the tests",
                  entries[i].description);
        EXPECT_EQ(expected[i].loadBehavior, entries[i].loadBehavior);
    }
    EXPECT_EQ(S_OK, host_->StartUp());
    EXPECT_EQ((std::vector<std::wstring>{L"Alpha OnConnection 1", L"Alpha OnStartupComplete"}),
              gCalls);
    EXPECT_EQ((std::vector<std::wstring>{alpha_.progId, gamma_.progId}), host_->ListedAddIns());
    EXPECT_TRUE(IdeHost::ReadVbaAddInList(L"Software\\QvnHostTestNoSuchKey").empty());
}

TEST_F(VbaConnectionTest, EditorConnectsStartsCompletesAndShutsDownInItsOrder) {
    List(alpha_.progId, kLoadAtStartup, L"Alpha add-in");
    List(beta_.progId, kLoadAtStartup, L"Beta add-in");
    List(gamma_.progId, 0, L"Gamma add-in");
    List(L"Qvn.HostTestMissing", kLoadAtStartup, L"Not registered");
    const auto before = host_->Objects();
    HWND window = host_->CreateMainWindow(SW_SHOWNOACTIVATE);
    ASSERT_NE(nullptr, window);
    EXPECT_FALSE(SUCCEEDED(host_->StartUp())) << "the unregistered add-in is reported";
    EXPECT_EQ((std::vector<std::wstring>{L"Alpha OnConnection 1", L"Beta OnConnection 1",
                                         L"Alpha OnStartupComplete", L"Beta OnStartupComplete"}),
              gCalls);
    HMENU manager = GetSubMenu(GetMenu(window), 2);
    EXPECT_EQ((std::vector<std::wstring>{L"Alpha add-in", L"Beta add-in", L"Gamma add-in",
                                         L"Not registered"}),
              MenuItems(manager));

    // The Add-In Manager connects after start-up and disconnects as the user's choice.
    gCalls.clear();
    SendMessageW(window, WM_COMMAND, MAKEWPARAM(GetMenuItemID(manager, 2), 0), 0);
    EXPECT_EQ(3u, host_->ConnectedAddIns().size());
    SendMessageW(window, WM_COMMAND, MAKEWPARAM(GetMenuItemID(manager, 2), 0), 0);
    EXPECT_EQ((std::vector<std::wstring>{L"Gamma OnConnection 0", L"Gamma OnDisconnection 1"}),
              gCalls);

    // Closing: every add-in hears OnBeginShutdown before any is disconnected.
    gCalls.clear();
    SendMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ((std::vector<std::wstring>{L"Alpha OnBeginShutdown", L"Beta OnBeginShutdown",
                                         L"Alpha OnDisconnection 0", L"Beta OnDisconnection 0"}),
              gCalls);
    EXPECT_EQ(0, gAlive);
    const auto after = host_->Objects();
    ASSERT_EQ(before.size(), after.size()) << "the add-ins gave back every host object";
    for (std::size_t i = 0; i < before.size(); ++i) {
        EXPECT_EQ(before[i].refs, after[i].refs) << testing::Utf8Name(before[i].type.c_str());
    }
}

TEST_F(VbaConnectionTest, EachEditorAsksForItsOwnConnectionInterface) {
    struct Case {
        HostFlavour flavour;
        HRESULT expected;
    } cases[] = {{HostFlavour::Vba, S_OK}, {HostFlavour::Vb5, E_NOINTERFACE}};
    for (const auto& c : cases) {
        IdeHost host(c.flavour);
        auto* addIn = new RecordingAddIn(L"Only2");
        EXPECT_EQ(c.expected, host.ConnectObject(addIn, L"Only2", kConnectAfterStartup));
        addIn->Release();
        host.ShutDown();
    }
}

// The resolution reads only registry data; each case writes the ProgID and the class keys it
// names and expects the class chosen.
TEST(VbaClassResolution, TheUsersRegistrationComesBeforeTheMachines) {
    ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
    const std::wstring progId = L"Qvn.HostTestResolve";
    const GUID user = {
        0x3D2E9C32, 0x7F40, 0x4E8D, {0xA0, 0x33, 0x8C, 0x41, 0xB2, 0x5F, 0x23, 0x01}};
    const GUID machine = {
        0x3D2E9C32, 0x7F40, 0x4E8D, {0xA0, 0x33, 0x8C, 0x41, 0xB2, 0x5F, 0x23, 0x02}};
    const std::wstring userClasses = L"Software\\Classes\\";
    const std::wstring machineClasses = L"Software\\Classes\\";
    auto clean = [&] {
        RegDeleteTreeW(HKEY_CURRENT_USER, (userClasses + progId).c_str());
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, (machineClasses + progId).c_str());
        for (const GUID* g : {&user, &machine}) {
            RegDeleteTreeW(HKEY_CURRENT_USER, (userClasses + L"CLSID\\" + GuidText(*g)).c_str());
        }
    };
    struct Case {
        const char* what;
        const GUID* userProgId;    // HKCU\Software\Classes\<ProgID>\CLSID
        const GUID* machineProgId; // HKLM\Software\Classes\<ProgID>\CLSID
        const GUID* userServer;    // HKCU\Software\Classes\CLSID\{...}\InprocServer32
        HRESULT hr;
        const GUID* clsid;
        bool perUser;
    } cases[] = {
        {"both: the user's", &user, &machine, &user, S_OK, &user, true},
        {"machine's only", nullptr, &machine, nullptr, S_OK, &machine, false},
        {"user's ProgID, machine's class", &user, nullptr, nullptr, S_OK, &user, false},
        {"machine's ProgID, user's class", nullptr, &machine, &machine, S_OK, &machine, true},
        {"neither", nullptr, nullptr, nullptr, REGDB_E_CLASSNOTREG, &GUID_NULL, false},
    };
    const std::wstring dll = L"C:\\Qvn\\per-user.dll";
    for (const auto& c : cases) {
        clean();
        if (c.userProgId != nullptr) {
            SetString(HKEY_CURRENT_USER, userClasses + progId + L"\\CLSID", nullptr,
                      GuidText(*c.userProgId));
        }
        if (c.machineProgId != nullptr) {
            SetString(HKEY_LOCAL_MACHINE, machineClasses + progId + L"\\CLSID", nullptr,
                      GuidText(*c.machineProgId));
        }
        if (c.userServer != nullptr) {
            SetString(HKEY_CURRENT_USER,
                      userClasses + L"CLSID\\" + GuidText(*c.userServer) + L"\\InprocServer32",
                      nullptr, dll);
        }
        AddInClass found;
        EXPECT_EQ(c.hr, ResolveAddInClass(progId, &found)) << c.what;
        EXPECT_EQ(GuidText(*c.clsid), GuidText(found.clsid)) << c.what;
        EXPECT_EQ(c.perUser ? dll : L"", found.perUserServer) << c.what;
        EXPECT_EQ(c.userProgId != nullptr, found.perUserProgId) << c.what;
    }
    clean();
    CoUninitialize();
}

// The editor loads a class registered for the user alone from its DLL, keeps the DLL while the
// add-in lives and frees it once the add-in is gone and the DLL agrees.
TEST(VbaPerUserClass, LoadsTheUsersDllAndFreesItWithTheAddIn) {
    ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
    wchar_t exe[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring dll = exe;
    dll = dll.substr(0, dll.find_last_of(L"\\/") + 1) + L"qvn_per_user_addin.dll";
    ASSERT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(dll.c_str())) << "built beside the tests";
    const std::wstring progId = L"Qvn.HostTestPerUser";
    const std::wstring clsid = L"{4E3FAD43-8051-4F9E-B144-9D52C3602401}";
    SetString(HKEY_CURRENT_USER, L"Software\\Classes\\" + progId + L"\\CLSID", nullptr, clsid);
    SetString(HKEY_CURRENT_USER, L"Software\\Classes\\CLSID\\" + clsid + L"\\InprocServer32",
              nullptr, dll);
    {
        IdeHost host(HostFlavour::Vba);
        ASSERT_EQ(S_OK, host.Connect(progId, kConnectAfterStartup));
        HMODULE loaded = GetModuleHandleW(dll.c_str());
        ASSERT_NE(nullptr, loaded) << "the host loaded the DLL itself";
        using LogFunction = const wchar_t* (*)();
        auto log = reinterpret_cast<LogFunction>(
            reinterpret_cast<void*>(GetProcAddress(loaded, "QvnTestAddInLog")));
        ASSERT_NE(nullptr, log);
        EXPECT_STREQ(L"OnConnection 0;", log());
        EXPECT_EQ(S_OK, host.Disconnect(progId, kDisconnectUserClosed));
        EXPECT_EQ(nullptr, GetModuleHandleW(dll.c_str())) << "freed with the add-in";
        // Connecting again loads it again.
        ASSERT_EQ(S_OK, host.Connect(progId, kConnectAfterStartup));
        EXPECT_NE(nullptr, GetModuleHandleW(dll.c_str()));
    }
    EXPECT_EQ(nullptr, GetModuleHandleW(dll.c_str())) << "freed when the host shuts down";
    RegDeleteTreeW(HKEY_CURRENT_USER, (L"Software\\Classes\\" + progId).c_str());
    RegDeleteTreeW(HKEY_CURRENT_USER, (L"Software\\Classes\\CLSID\\" + clsid).c_str());
    OleUninitialize();
}

} // namespace
} // namespace qvn::standin
