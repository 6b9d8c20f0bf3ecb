// Add-ins as the stand-in IDE loads them: the list file, connection modes and order, the
// Add-Ins menu of the window, and shutting down while an add-in runs a modal loop.
#include "standin/stand_in_ide.h"
#include "standin/tests/late_bound.h"
#include "testsupport/com_stubs.h"
#include "testsupport/wine_helpers.h"
#include "win32util/com_object.h"

#include <gtest/gtest.h>
#include <ocidl.h>
#include <olectl.h>
#include <vbide.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace qvn::standin {
namespace {

using Microsoft::WRL::ComPtr;
using testing::Get;
using testing::Long;
using testing::Method;
using testing::Object;
using testing::Put;
using testing::Text;

std::vector<std::wstring> gLog;
int gAliveAddIns = 0;

// A small add-in: it logs every call, and when asked puts an item on the Add-Ins menu and
// listens to its clicks the way a real add-in does.
class TestAddIn final
    : public win32util::ComObject<::qvn::testing::WithoutTypeInfo<IDTExtensibility>> {
public:
    explicit TestAddIn(std::wstring name) : name_(std::move(name)) { ++gAliveAddIns; }
    ~TestAddIn() override { --gAliveAddIns; }

    std::function<void()> onClick;
    bool addMenuItem = true;
    int depth = 0; // > 0 while a click runs

    // Called by the click sink.
    void Click() {
        {
            gLog.push_back(name_ + L" Click");
            ComPtr<TestAddIn> keep(this);
            ++depth;
            if (onClick) {
                onClick();
            }
            --depth;
        }
    }

    HRESULT STDMETHODCALLTYPE OnConnection(IDispatch* vb, vbext_ConnectMode mode, IDispatch*,
                                           SAFEARRAY** custom) override {
        gLog.push_back(name_ + L" OnConnection " + std::to_wstring(mode) +
                       (custom != nullptr && *custom != nullptr ? L"" : L" no-custom"));
        vb_ = vb;
        if (addMenuItem) {
            auto bars = Get(vb, L"CommandBars").Object();
            auto bar = Get(bars.Get(), L"Item", {Text(L"Add-Ins")}).Object();
            auto controls = Get(bar.Get(), L"Controls").Object();
            item_ = Method(controls.Get(), L"Add", {Long(1)}).Object();
            Put(item_.Get(), L"Caption", Text(name_.c_str()));
            auto events = Get(vb, L"Events").Object();
            auto source = Get(events.Get(), L"CommandBarEvents", {Object(item_.Get())}).Unknown();
            source.As(&container_);
            ComPtr<IConnectionPoint> point;
            if (container_ && SUCCEEDED(container_->FindConnectionPoint(
                                  DIID__dispCommandBarControlEvents, &point))) {
                point->Advise(&sink_, &cookie_);
                point_ = point;
            }
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnDisconnection(vbext_DisconnectMode mode, SAFEARRAY**) override {
        gLog.push_back(name_ + L" OnDisconnection " + std::to_wstring(mode) +
                       (depth > 0 ? L" inside-click" : L""));
        if (point_) {
            point_->Unadvise(cookie_);
        }
        if (item_) {
            Method(item_.Get(), L"Delete");
        }
        point_.Reset();
        container_.Reset();
        item_.Reset();
        vb_.Reset();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnAddInsUpdate(SAFEARRAY**) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnStartupComplete(SAFEARRAY**) override {
        gLog.push_back(name_ + L" OnStartupComplete");
        return S_OK;
    }

private:
    // The click sink shares the add-in's lifetime, as an event-handling member would.
    class Sink final : public qvn::testing::WithoutTypeInfo<IDispatch> {
    public:
        explicit Sink(TestAddIn* owner) : owner_(owner) {}
        HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
            *object = nullptr;
            if (riid != IID_IUnknown && riid != IID_IDispatch &&
                riid != DIID__dispCommandBarControlEvents) {
                return E_NOINTERFACE;
            }
            *object = this;
            AddRef();
            return S_OK;
        }
        ULONG STDMETHODCALLTYPE AddRef() override { return owner_->AddRef(); }
        ULONG STDMETHODCALLTYPE Release() override { return owner_->Release(); }
        HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*,
                                         EXCEPINFO*, UINT*) noexcept override {
            if (id == 1) {
                owner_->Click();
            }
            return S_OK;
        }

    private:
        TestAddIn* owner_;
    };

    std::wstring name_;
    Sink sink_{this};
    ComPtr<IDispatch> vb_;
    ComPtr<IDispatch> item_;
    ComPtr<IConnectionPointContainer> container_;
    ComPtr<IConnectionPoint> point_;
    DWORD cookie_ = 0;
};

using Factory = testing::AddInFactory<TestAddIn>;

// Two add-ins registered for this process only: class objects, and ProgIDs that the test
// removes again.
struct Registered {
    const wchar_t* progId;
    CLSID clsid;
    Factory factory;
    DWORD cookie = 0;
};

class AddInConnectionTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
        gLog.clear();
        for (auto* r : {&alpha_, &beta_}) {
            std::wstring key = std::wstring(r->progId) + L"\\CLSID";
            wchar_t clsid[64] = {};
            StringFromGUID2(r->clsid, clsid, 64);
            RegSetKeyValueW(HKEY_CLASSES_ROOT, key.c_str(), nullptr, REG_SZ, clsid,
                            static_cast<DWORD>((wcslen(clsid) + 1) * sizeof(wchar_t)));
            ASSERT_EQ(S_OK, CoRegisterClassObject(r->clsid, &r->factory, CLSCTX_INPROC_SERVER,
                                                  REGCLS_MULTIPLEUSE, &r->cookie));
        }
        wchar_t temp[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, temp);
        ini_ = std::wstring(temp) + L"qvn_standin_test.ini";
    }
    void TearDown() override {
        host_.reset();
        for (auto* r : {&alpha_, &beta_}) {
            CoRevokeClassObject(r->cookie);
            RegDeleteTreeW(HKEY_CLASSES_ROOT, r->progId);
        }
        DeleteFileW(ini_.c_str());
        OleUninitialize();
        EXPECT_EQ(0, gAliveAddIns) << "every add-in the host created is released";
    }
    void WriteIni(const char* text) {
        std::ofstream out(ini_.c_str(), std::ios::binary | std::ios::trunc);
        out << text;
    }
    static void Pump(const std::function<bool()>& done) {
        qvn::testing::PumpUntil(done, std::chrono::seconds(10));
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

    Registered alpha_{
        L"Qvn.HostTestAlpha",
        {0x1B0C7A10, 0x5D2E, 0x4C6B, {0x8E, 0x11, 0x6A, 0x2F, 0x90, 0x3D, 0x01, 0xA1}},
        Factory(L"Alpha")};
    Registered beta_{L"Qvn.HostTestBeta",
                     {0x1B0C7A10, 0x5D2E, 0x4C6B, {0x8E, 0x11, 0x6A, 0x2F, 0x90, 0x3D, 0x01, 0xB2}},
                     Factory(L"Beta")};
    std::wstring ini_;
    std::unique_ptr<IdeHost> host_ = std::make_unique<IdeHost>();
};

TEST_F(AddInConnectionTest, ReadsTheAddInsSectionOfTheListFile) {
    WriteIni("[Other]\r\nX.Y=1\r\n[Add-Ins32]\r\nQvn.HostTestAlpha=1\r\nNot.Loaded=0\r\n"
             "Qvn.HostTestBeta=1\r\n");
    auto entries = IdeHost::ReadAddInList(ini_);
    ASSERT_EQ(3u, entries.size());
    EXPECT_EQ(L"Qvn.HostTestAlpha", entries[0].progId);
    EXPECT_EQ(L"1", entries[0].value);
    EXPECT_EQ(L"Not.Loaded", entries[1].progId);
    EXPECT_EQ(L"0", entries[1].value);
    EXPECT_TRUE(IdeHost::ReadAddInList(ini_ + L".missing").empty());
    EXPECT_NE(std::wstring::npos, IdeHost::DefaultAddInListPath().find(L"vbaddin.ini"));
}

TEST_F(AddInConnectionTest, StartUpConnectsListedAddInsThenCompletesAndShutDownDisconnects) {
    WriteIni("[Add-Ins32]\r\nQvn.HostTestAlpha=1\r\nNo.Such.AddIn=1\r\nSkipped.AddIn=0\r\n"
             "Qvn.HostTestBeta=1\r\n");
    EXPECT_FALSE(SUCCEEDED(host_->StartUp(ini_))) << "the missing add-in is reported";
    EXPECT_EQ((std::vector<std::wstring>{L"Alpha OnConnection 1", L"Beta OnConnection 1",
                                         L"Alpha OnStartupComplete", L"Beta OnStartupComplete"}),
              gLog);
    EXPECT_EQ((std::vector<std::wstring>{L"Alpha", L"Beta"}), host_->AddInsMenu());
    EXPECT_EQ((std::vector<std::wstring>{L"Qvn.HostTestAlpha", L"Qvn.HostTestBeta"}),
              host_->ConnectedAddIns());
    EXPECT_EQ(2, gAliveAddIns);

    gLog.clear();
    host_->ShutDown();
    EXPECT_EQ((std::vector<std::wstring>{L"Alpha OnDisconnection 0", L"Beta OnDisconnection 0"}),
              gLog);
    EXPECT_TRUE(host_->AddInsMenu().empty());
    EXPECT_EQ(0, gAliveAddIns);
    host_->ShutDown(); // nothing left to disconnect
    EXPECT_EQ(2u, gLog.size());
}

TEST_F(AddInConnectionTest, AddInsGiveBackEveryHostReference) {
    auto before = host_->Objects();
    for (int i = 0; i < 20; ++i) {
        ASSERT_EQ(S_OK, host_->Connect(alpha_.progId, kConnectAfterStartup));
        EXPECT_EQ(1, host_->ClickAddInsItem(L"Alpha"));
        ASSERT_EQ(S_OK, host_->Disconnect(alpha_.progId, kDisconnectUserClosed));
    }
    auto after = host_->Objects();
    for (std::size_t i = before.size(); i < after.size() && i < before.size() + 4; ++i) {
        ADD_FAILURE() << "left alive: " << testing::Utf8Name(after[i].type.c_str()) << " "
                      << after[i].refs;
    }
    ASSERT_EQ(before.size(), after.size());
    for (std::size_t i = 0; i < before.size(); ++i) {
        EXPECT_EQ(before[i].refs, after[i].refs) << testing::Utf8Name(before[i].type.c_str());
    }
    EXPECT_EQ(0, gAliveAddIns);
}

TEST_F(AddInConnectionTest, WindowMenuMirrorsTheBarAndConnectsListedAddIns) {
    WriteIni("[Add-Ins32]\r\nQvn.HostTestAlpha=1\r\nQvn.HostTestBeta=0\r\n");
    HWND window = host_->CreateMainWindow(SW_SHOWNOACTIVATE);
    ASSERT_NE(nullptr, window);
    host_->StartUp(ini_);
    HMENU addIns = GetSubMenu(GetMenu(window), 1);
    HMENU manager = GetSubMenu(GetMenu(window), 2);
    EXPECT_EQ((std::vector<std::wstring>{L"Alpha"}), MenuItems(addIns));
    EXPECT_EQ((std::vector<std::wstring>{L"Qvn.HostTestAlpha", L"Qvn.HostTestBeta"}),
              MenuItems(manager));

    // Choosing the item raises Click.
    gLog.clear();
    SendMessageW(window, WM_COMMAND, MAKEWPARAM(GetMenuItemID(addIns, 0), 0), 0);
    EXPECT_EQ((std::vector<std::wstring>{L"Alpha Click"}), gLog);

    // The manager connects Beta after start-up (mode 0) and disconnects it as the user's
    // choice (mode 1).
    gLog.clear();
    SendMessageW(window, WM_COMMAND, MAKEWPARAM(GetMenuItemID(manager, 1), 0), 0);
    EXPECT_EQ((std::vector<std::wstring>{L"Alpha", L"Beta"}), MenuItems(addIns));
    SendMessageW(window, WM_COMMAND, MAKEWPARAM(GetMenuItemID(manager, 1), 0), 0);
    EXPECT_EQ((std::vector<std::wstring>{L"Beta OnConnection 0", L"Beta OnDisconnection 1"}), gLog);
    EXPECT_EQ((std::vector<std::wstring>{L"Alpha"}), MenuItems(addIns));

    // The code pane shows the module and its caret is what GetSelection reports.
    host_->SetModuleText(L"Sub Main()\r\nEnd Sub");
    SendMessageW(host_->CodePaneWindow(), EM_SETSEL, 12, 12); // start of line 2
    auto pane = Get(host_->Root(), L"ActiveCodePane").Object();
    long line = 0;
    long other[3] = {};
    VARIANT args[4];
    args[0].vt = VT_I4 | VT_BYREF;
    args[0].plVal = &line;
    for (int i = 1; i < 4; ++i) {
        args[i].vt = VT_I4 | VT_BYREF;
        args[i].plVal = &other[i - 1];
    }
    ASSERT_EQ(S_OK, Method(pane.Get(), L"GetSelection", {args[0], args[1], args[2], args[3]}).hr);
    EXPECT_EQ(2, line);
    EXPECT_EQ(1, other[0]);
    Method(Get(pane.Get(), L"CodeModule").Object().Get(), L"InsertLines",
           {Long(line), Text(L"MsgBox \"Hi\"")});
    wchar_t shown[256] = {};
    GetWindowTextW(host_->CodePaneWindow(), shown, 256);
    EXPECT_STREQ(L"Sub Main()\r\nMsgBox \"Hi\"\r\nEnd Sub", shown);

    gLog.clear();
    SendMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(nullptr, host_->Window());
    EXPECT_EQ((std::vector<std::wstring>{L"Alpha OnDisconnection 0"}), gLog);
}

TEST_F(AddInConnectionTest, ClosingTheIdeInsideAnAddInsModalLoopDisconnectsIt) {
    HWND window = host_->CreateMainWindow(SW_SHOWNOACTIVATE);
    ASSERT_EQ(S_OK, host_->Connect(alpha_.progId, kConnectAfterStartup));
    bool closed = false;
    // The add-in's click runs a modal loop; the IDE is closed from outside meanwhile.
    struct Hook {
        static void Run(HWND w, bool* flag) {
            PostMessageW(w, WM_CLOSE, 0, 0);
            Pump([&] { return !IsWindow(w); });
            *flag = !IsWindow(w);
        }
    };
    // Install the modal behaviour on the connected add-in through a fresh connection.
    ASSERT_EQ(S_OK, host_->Disconnect(alpha_.progId, kDisconnectUserClosed));
    auto* modal = new TestAddIn(L"Modal");
    modal->onClick = [&] { Hook::Run(window, &closed); };
    ASSERT_EQ(S_OK, host_->ConnectObject(static_cast<IDTExtensibility*>(modal), L"Modal",
                                         kConnectAfterStartup));
    modal->Release();
    gLog.clear();
    EXPECT_EQ(1, host_->ClickAddInsItem(L"Modal"));
    EXPECT_TRUE(closed);
    EXPECT_EQ((std::vector<std::wstring>{L"Modal Click", L"Modal OnDisconnection 0 inside-click"}),
              gLog);
    EXPECT_TRUE(host_->ConnectedAddIns().empty());
}

} // namespace
} // namespace qvn::standin
