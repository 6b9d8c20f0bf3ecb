// Connect driven by the stand-in IDE, in-process, with the builder's behaviour behind a test
// window: the Add-Ins menu item, the click that opens the window modally, Paste through the
// IDE adapter, the remembered setting over the connection modes, a missing Add-Ins bar and a
// refused event binding, and disconnection from inside the window's modal loop.
#include "addin/tests/connect_fixture.h"

#include <algorithm>
#include <cwchar>
#include <filesystem>

namespace qvn::addin::testing {
namespace ctl = layout::ctl;
namespace {

using standin::kConnectAfterStartup;
using standin::kConnectCommandLine;
using standin::kConnectExternal;
using standin::kConnectStartup;

TEST_F(ConnectHostTest, EachConnectionAppendsOneItemAndDisconnectionDeletesIt) {
    const auto before = host_->AddInsMenu();
    for (int round = 0; round < 3; ++round) {
        auto addIn = NewConnect();
        ASSERT_EQ(ConnectAs(addIn.Get(), kConnectStartup), S_OK);
        auto menu = host_->AddInsMenu();
        ASSERT_EQ(menu.size(), before.size() + 1) << "round " << round;
        EXPECT_TRUE(std::equal(before.begin(), before.end(), menu.begin()));
        EXPECT_EQ(menu.back(), L"Quorvane");
        ASSERT_EQ(Disconnect(), S_OK);
        EXPECT_EQ(host_->AddInsMenu(), before);
    }
    EXPECT_EQ(forms_.displays, 0);
}

TEST_F(ConnectHostTest, MenuClickShowsTheWindowModallyUntilItCloses) {
    auto addIn = NewConnect();
    ASSERT_EQ(ConnectAs(addIn.Get(), kConnectStartup), S_OK);
    bool displayedWhileShown = false;
    std::string caption;
    forms_.whileShown = [&](TestBuilderForm& form) {
        displayedWhileShown = FormDisplayed(addIn.Get());
        caption = form.Form().Caption();
        EXPECT_TRUE(form.IsLoaded());
        EXPECT_TRUE(form.IsShowing());
    };
    EXPECT_EQ(host_->ClickAddInsItem(L"Quorvane"), 1);
    // The click returned: the window was shown once and has been closed.
    EXPECT_EQ(forms_.displays, 1);
    EXPECT_TRUE(displayedWhileShown);
    EXPECT_EQ(caption, "Quorvane  v2.0");
    EXPECT_FALSE(FormDisplayed(addIn.Get()));

    // A second click shows the same window object again.
    EXPECT_EQ(host_->ClickAddInsItem(L"Quorvane"), 1);
    EXPECT_EQ(forms_.displays, 2);
    EXPECT_EQ(forms_.created, 1);
    ASSERT_EQ(Disconnect(), S_OK);
    EXPECT_EQ(forms_.destroyed, 1);
    EXPECT_EQ(ReadSetting(), L"0");
}

TEST_F(ConnectHostTest, PasteInsertsTheCodeBeforeTheCaretLine) {
    host_->SetModuleText(L"Line1\r\nLine2\r\nLine3\r\nLine4\r\nLine5\r\nLine6");
    host_->SetCaretLine(5);
    auto addIn = NewConnect();
    ASSERT_EQ(ConnectAs(addIn.Get(), kConnectStartup), S_OK);
    std::string code;
    forms_.whileShown = [&](TestBuilderForm& form) {
        form.Form().Model().Ctl(ctl::txtPrompt).SetText("Save changes?");
        form.Form().cmdPaste_Click();
        code = form.Form().Settings().strMsgBoxCode;
        EXPECT_TRUE(form.IsLoaded()) << "Paste keeps the window open";
    };
    ASSERT_EQ(host_->ClickAddInsItem(L"Quorvane"), 1);
    EXPECT_TRUE(forms_.messages.empty());
    ASSERT_FALSE(code.empty());

    std::vector<std::wstring> expected = {L"Line1", L"Line2", L"Line3", L"Line4"};
    std::wstring text = Wide(code);
    for (size_t start = 0;;) {
        size_t end = text.find(L"\r\n", start);
        expected.push_back(text.substr(start, end - start));
        if (end == std::wstring::npos) {
            break;
        }
        start = end + 2;
    }
    expected.push_back(L"Line5");
    expected.push_back(L"Line6");
    EXPECT_EQ(host_->ModuleLines(), expected);
    EXPECT_NE(code.find("Save changes?"), std::string::npos);
    ASSERT_EQ(Disconnect(), S_OK);
}

TEST_F(ConnectHostTest, EveryFailingHostOperationEndsInPasteError) {
    struct Case {
        const wchar_t* operation; // nullptr: no code pane open at all
        HRESULT hr;
    };
    const Case cases[] = {
        {nullptr, S_OK},
        {L"ActiveCodePane", E_FAIL},
        {L"GetSelection", static_cast<HRESULT>(0x800A0005)},
        {L"CodeModule", E_ACCESSDENIED},
        {L"InsertLines", static_cast<HRESULT>(0x800A9C68)},
    };
    const std::wstring original = L"Option Explicit\r\nSub Main()\r\nEnd Sub";
    for (const auto& c : cases) {
        const std::string name = c.operation ? Utf8(c.operation) : "no code pane";
        SCOPED_TRACE(name);
        host_->SetModuleText(original);
        host_->SetCaretLine(2);
        host_->ClearFailures();
        host_->SetCodePaneOpen(c.operation != nullptr);
        if (c.operation != nullptr) {
            host_->FailOperation(c.operation, c.hr, L"Injected failure");
        }
        forms_.messages.clear();
        auto addIn = NewConnect();
        ASSERT_EQ(ConnectAs(addIn.Get(), kConnectStartup), S_OK);
        bool stillLoaded = false;
        forms_.whileShown = [&](TestBuilderForm& form) {
            form.Form().Model().Ctl(ctl::txtPrompt).SetText("Hello");
            form.Form().cmdPaste_Click();
            stillLoaded = form.IsLoaded();
        };
        ASSERT_EQ(host_->ClickAddInsItem(L"Quorvane"), 1);
        ASSERT_EQ(forms_.messages.size(), 1u);
        EXPECT_EQ(forms_.messages[0].title.value_or(""), "Paste Error");
        EXPECT_EQ(forms_.messages[0].style, 16);
        EXPECT_TRUE(stillLoaded);
        host_->ClearFailures();
        EXPECT_EQ(host_->ModuleText(), original);
        ASSERT_EQ(Disconnect(), S_OK);
    }
    host_->SetCodePaneOpen(true);
}

// The remembered setting over the connection modes: when does the window open?
TEST_F(ConnectHostTest, DisplayOnConnectOpensTheWindowOnlyWhereTheModeAsksForIt) {
    struct Case {
        std::optional<std::wstring> stored;
        long mode;
        bool opensAtConnection;
        bool opensAtStartupComplete;
        bool hasMenuItem;
    };
    const Case cases[] = {
        {std::nullopt, kConnectAfterStartup, false, false, true},
        {L"0", kConnectAfterStartup, false, false, true},
        {L"", kConnectAfterStartup, false, false, true},
        {L"yes", kConnectAfterStartup, false, false, true},
        {L"1 ", kConnectAfterStartup, false, false, true},
        {L"1", kConnectAfterStartup, true, true, true},
        {std::nullopt, kConnectStartup, false, false, true},
        {L"1", kConnectStartup, false, true, true},
        {L"0", kConnectExternal, true, false, false},
        {std::nullopt, kConnectExternal, true, false, false},
        {L"1", kConnectCommandLine, false, true, true},
        {L"0", kConnectCommandLine, false, false, true},
    };
    const auto menuBefore = host_->AddInsMenu();
    for (const auto& c : cases) {
        SCOPED_TRACE("stored " + (c.stored ? Utf8(*c.stored) : std::string("(none)")) + ", mode " +
                     std::to_string(c.mode));
        WriteSetting(c.stored);
        int displays = forms_.displays;
        std::vector<std::wstring> menuWhileShown;
        forms_.whileShown = [&](TestBuilderForm&) { menuWhileShown = host_->AddInsMenu(); };
        auto addIn = NewConnect();
        ASSERT_EQ(ConnectAs(addIn.Get(), c.mode), S_OK);
        EXPECT_EQ(forms_.displays - displays, c.opensAtConnection ? 1 : 0);
        if (c.opensAtConnection && c.hasMenuItem) {
            // The item is added first, then the window opens.
            EXPECT_EQ(menuWhileShown.size(), menuBefore.size() + 1);
        }
        EXPECT_EQ(host_->AddInsMenu().size(), menuBefore.size() + (c.hasMenuItem ? 1 : 0));

        displays = forms_.displays;
        ComPtr<IDTExtensibility> extensibility;
        ASSERT_EQ(addIn.As(&extensibility), S_OK);
        EXPECT_EQ(extensibility->OnStartupComplete(nullptr), S_OK);
        EXPECT_EQ(forms_.displays - displays, c.opensAtStartupComplete ? 1 : 0);

        ASSERT_EQ(Disconnect(), S_OK);
        EXPECT_EQ(host_->AddInsMenu(), menuBefore);
        // The window was closed by the user each time: "0" is written.
        EXPECT_EQ(ReadSetting(), L"0");
    }
}

// The VBA editor's interface, here on the VB IDE's object model: the same mode numbers mean
// the same, except that a command-line start has no user (no item, no window), and a second
// connection is refused without a change.
TEST_F(ConnectHostTest, ThroughIDTExtensibility2TheModesActAsThroughTheIdesInterface) {
    struct Case {
        const wchar_t* stored;
        ext_ConnectMode mode;
        bool opensAtConnection;
        bool opensAtStartupComplete;
        bool hasMenuItem;
    };
    const Case cases[] = {
        {L"1", ext_cm_AfterStartup, true, true, true},
        {L"0", ext_cm_AfterStartup, false, false, true},
        {L"1", ext_cm_Startup, false, true, true},
        {L"0", ext_cm_External, true, false, false},
        {L"1", ext_cm_CommandLine, false, false, false},
        {L"0", ext_cm_CommandLine, false, false, false},
    };
    const auto menuBefore = host_->AddInsMenu();
    for (const auto& c : cases) {
        SCOPED_TRACE("stored " + Utf8(c.stored) + ", mode " + std::to_string(c.mode));
        WriteSetting(std::wstring(c.stored));
        auto addIn = NewConnect();
        ComPtr<IDTExtensibility2> extensibility;
        ASSERT_EQ(addIn.As(&extensibility), S_OK);
        int displays = forms_.displays;
        ASSERT_EQ(extensibility->OnConnection(host_->Root(), c.mode, nullptr, nullptr), S_OK);
        EXPECT_EQ(forms_.displays - displays, c.opensAtConnection ? 1 : 0);
        const auto menuConnected = host_->AddInsMenu();
        EXPECT_EQ(menuConnected.size(), menuBefore.size() + (c.hasMenuItem ? 1 : 0));

        displays = forms_.displays;
        EXPECT_EQ(extensibility->OnConnection(host_->Root(), ext_cm_AfterStartup, nullptr, nullptr),
                  E_UNEXPECTED);
        EXPECT_EQ(host_->AddInsMenu(), menuConnected) << "a refused connection changes nothing";
        EXPECT_EQ(extensibility->OnStartupComplete(nullptr), S_OK);
        EXPECT_EQ(forms_.displays - displays, c.opensAtStartupComplete ? 1 : 0);
        EXPECT_EQ(extensibility->OnAddInsUpdate(nullptr), S_OK);
        EXPECT_EQ(extensibility->OnBeginShutdown(nullptr), S_OK);
        EXPECT_EQ(host_->AddInsMenu(), menuConnected);

        ASSERT_EQ(extensibility->OnDisconnection(ext_dm_HostShutdown, nullptr), S_OK);
        EXPECT_EQ(host_->AddInsMenu(), menuBefore);
        EXPECT_EQ(ReadSetting(), L"0");
        // Disconnected, it may be connected again.
        ASSERT_EQ(extensibility->OnConnection(host_->Root(), ext_cm_Startup, nullptr, nullptr),
                  S_OK);
        ASSERT_EQ(extensibility->OnDisconnection(ext_dm_UserClosed, nullptr), S_OK);
    }
}

TEST_F(ConnectHostTest, DisconnectionWhileTheWindowShowsRemembersItAndReopensNextTime) {
    WriteSetting(std::nullopt);
    auto addIn = NewConnect();
    ASSERT_EQ(ConnectAs(addIn.Get(), kConnectAfterStartup), S_OK);
    const long modulesDuring = win32util::ObjectReferences();
    bool showReturned = false;
    forms_.whileShown = [&](TestBuilderForm& form) {
        // The IDE is closed from outside while the modal window runs.
        host_->ShutDown();
        EXPECT_FALSE(form.IsLoaded()) << "disconnection unloads the window";
        EXPECT_EQ(forms_.destroyed, 0) << "the window object outlives its modal loop";
        EXPECT_EQ(ReadSetting(), L"1");
        EXPECT_FALSE(FormDisplayed(addIn.Get()));
    };
    EXPECT_EQ(host_->ClickAddInsItem(L"Quorvane"), 1);
    showReturned = true;
    EXPECT_TRUE(showReturned);
    EXPECT_EQ(forms_.destroyed, 1) << "released once the outer Show returned";
    EXPECT_EQ(ReadSetting(), L"1");
    EXPECT_TRUE(host_->AddInsMenu().empty() ||
                std::find(host_->AddInsMenu().begin(), host_->AddInsMenu().end(), L"Quorvane") ==
                    host_->AddInsMenu().end());
    EXPECT_LE(win32util::ObjectReferences(), modulesDuring);
    addIn.Reset();
    EXPECT_EQ(win32util::ObjectReferences(), 0) << "nothing keeps the library loaded";

    // The next connection after start-up opens the window at once.
    forms_.whileShown = nullptr;
    ResetHost();
    auto again = NewConnect();
    const int displays = forms_.displays;
    ASSERT_EQ(ConnectAs(again.Get(), kConnectAfterStartup), S_OK);
    EXPECT_EQ(forms_.displays - displays, 1);
    ASSERT_EQ(Disconnect(), S_OK);
    EXPECT_EQ(ReadSetting(), L"0");
}

TEST_F(ConnectHostTest, MissingAddInsBarAddsNothingSilentlyAndTheRefusedBindingIsReported) {
    host_->SetAddInsBar(false);
    WriteSetting(L"1");
    MessageBoxWatcher watcher;
    auto addIn = NewConnect();
    const int displays = forms_.displays;
    ASSERT_EQ(ConnectAs(addIn.Get(), kConnectAfterStartup), S_OK);
    ASSERT_TRUE(watcher.WaitForCount(1));
    auto seen = watcher.Seen();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].title, L"QVN");
    EXPECT_EQ(seen[0].text, L"Object required");
    EXPECT_EQ(seen[0].buttons, std::vector<std::wstring>{L"OK"});
    EXPECT_FALSE(seen[0].hasIcon);
    EXPECT_EQ(forms_.displays, displays) << "the setting is not consulted after the failure";

    // Asked directly, the function answers none without a message.
    ComPtr<_Connect> connect;
    ASSERT_EQ(addIn.As(&connect), S_OK);
    BSTR caption = SysAllocString(L"Quorvane");
    ComPtr<::CommandBarControl> control;
    EXPECT_EQ(connect->AddToAddInCommandBar(&caption, control.GetAddressOf()), S_OK);
    EXPECT_EQ(control, nullptr);
    SysFreeString(caption);
    ASSERT_EQ(Disconnect(), S_OK);
    EXPECT_EQ(watcher.Seen().size(), 1u);
    host_->SetAddInsBar(true);
}

TEST_F(ConnectHostTest, RefusedEventBindingShowsTheHostsOwnDescription) {
    struct Case {
        const char* name;
        std::function<void(standin::IdeHost&)> arrange;
        std::wstring text;
    };
    const Case cases[] = {
        {"binding refused", [](standin::IdeHost& h) { h.SetRefuseEventBinding(true); },
         L"Events cannot be bound to this command bar control."},
        {"Events fails",
         [](standin::IdeHost& h) { h.FailOperation(L"Events", E_FAIL, L"No events today"); },
         L"No events today"},
        {"failure without description",
         [](standin::IdeHost& h) { h.FailOperation(L"CommandBarEvents", E_OUTOFMEMORY, L""); },
         DescribeFailure(E_OUTOFMEMORY)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ResetHost();
        c.arrange(*host_);
        MessageBoxWatcher watcher;
        auto addIn = NewConnect();
        ASSERT_EQ(ConnectAs(addIn.Get(), kConnectAfterStartup), S_OK);
        ASSERT_TRUE(watcher.WaitForCount(1));
        EXPECT_EQ(watcher.Seen()[0].title, L"QVN");
        EXPECT_EQ(watcher.Seen()[0].text, c.text);
        ASSERT_EQ(Disconnect(), S_OK);
    }
}

TEST_F(ConnectHostTest, ClicksArriveThroughEitherOutgoingInterface) {
    for (auto events : {standin::EventInterface::Vb5, standin::EventInterface::Vba}) {
        ResetHost();
        host_->SetEventInterface(events);
        auto addIn = NewConnect();
        ASSERT_EQ(ConnectAs(addIn.Get(), kConnectStartup), S_OK);
        const int displays = forms_.displays;
        EXPECT_EQ(host_->ClickAddInsItem(L"Quorvane"), 1);
        EXPECT_EQ(forms_.displays - displays, 1);
        ASSERT_EQ(Disconnect(), S_OK);
        EXPECT_EQ(host_->ClickAddInsItem(L"Quorvane"), -1);
    }
}

} // namespace
} // namespace qvn::addin::testing

namespace qvn::addin::testing {
namespace {

// The IDE's libraries as a machine with only the VBA editor has them: not registered, and not
// beside the program, where the system would find them by file name (Wine also registers a
// library it found that way). Put back as they were afterwards.
class WithoutIdeLibraries {
public:
    WithoutIdeLibraries() {
        wchar_t exe[MAX_PATH] = {};
        GetModuleFileNameW(nullptr, exe, MAX_PATH);
        const std::wstring folder(exe, std::wcsrchr(exe, L'\\') + 1);
        for (Library& library : libraries_) {
            BSTR path = nullptr;
            if (QueryPathOfRegTypeLib(library.id, library.major, 0, LOCALE_NEUTRAL, &path) ==
                S_OK) {
                library.registeredPath.assign(path, SysStringLen(path));
                UnRegisterTypeLib(library.id, library.major, 0, LOCALE_NEUTRAL,
                                  sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32);
            }
            SysFreeString(path);
            library.file = folder + library.name;
            // A run stopped inside the test (a watchdog's kill) left its file moved aside:
            // put it back, and let this run's move replace a stale copy.
            const std::wstring aside = library.file + L".absent";
            MoveFileW(aside.c_str(), library.file.c_str());
            library.moved =
                MoveFileExW(library.file.c_str(), aside.c_str(), MOVEFILE_REPLACE_EXISTING);
        }
    }
    ~WithoutIdeLibraries() {
        for (Library& library : libraries_) {
            if (library.moved) {
                MoveFileW((library.file + L".absent").c_str(), library.file.c_str());
            }
            ComPtr<ITypeLib> loaded;
            if (!library.registeredPath.empty()) {
                LoadTypeLibEx(library.registeredPath.c_str(), REGKIND_REGISTER,
                              loaded.GetAddressOf());
            }
        }
    }
    [[nodiscard]] bool Absent() const {
        for (const Library& library : libraries_) {
            ComPtr<ITypeLib> loaded;
            if (SUCCEEDED(LoadRegTypeLib(library.id, library.major, 0, LOCALE_NEUTRAL,
                                         loaded.GetAddressOf())) ||
                GetFileAttributesW(library.file.c_str()) != INVALID_FILE_ATTRIBUTES) {
                return false;
            }
        }
        return true;
    }

private:
    struct Library {
        GUID id;
        WORD major;
        const wchar_t* name;
        std::wstring registeredPath;
        std::wstring file;
        bool moved = false;
    };
    Library libraries_[2] = {
        {{0xEF404E00, 0xEDA6, 0x101A, {0x8D, 0xAF, 0x00, 0xDD, 0x01, 0x0F, 0x7E, 0xBB}},
         5,
         L"VB5EXT.OLB",
         {},
         {}},
        {{0x2DF8D04C, 0x5BFA, 0x101B, {0xBD, 0xE5, 0x00, 0xAA, 0x00, 0x44, 0xDE, 0x52}},
         2,
         L"MSO97.DLL",
         {},
         {}},
    };
};

// What the IDE's add-in loader and the language do, by name through IDispatch only, where the
// IDE's own libraries (VBIDE 5.0, Office) are not to be had: every member of both interfaces
// must still work.
TEST_F(ConnectHostTest, EveryMemberAnswersLateBoundWithoutTheIdesLibrariesRegistered) {
    WithoutIdeLibraries absent;
    ASSERT_TRUE(absent.Absent());

    auto addIn = NewConnect();
    ComPtr<IDispatch> connect;
    ComPtr<IDTExtensibility> extensibilityVtable;
    ASSERT_EQ(addIn.As(&connect), S_OK);
    ASSERT_EQ(addIn.As(&extensibilityVtable), S_OK);
    IDispatch* extensibility = extensibilityVtable.Get(); // its own IDispatch, not _Connect's

    SAFEARRAY* custom = SafeArrayCreateVector(VT_VARIANT, 0, 0);
    ASSERT_NE(custom, nullptr);
    VARIANT customArg;
    VariantInit(&customArg);
    customArg.vt = VT_ARRAY | VT_VARIANT | VT_BYREF;
    customArg.pparray = &custom;

    Variant root(host_->Root());
    Variant startup(static_cast<long>(vbext_cm_Startup));
    Variant nothing(static_cast<IDispatch*>(nullptr));
    CallMethod(extensibility, L"OnConnection",
               {root.Get(), startup.Get(), nothing.Get(), &customArg});
    EXPECT_EQ(host_->AddInsMenu().back(), L"Quorvane");
    CallMethod(extensibility, L"OnStartupComplete", {&customArg});
    CallMethod(extensibility, L"OnAddInsUpdate", {&customArg});

    // The object properties read back what the connection set, and take a new value.
    Variant read;
    Call(connect.Get(), L"VBInstance", kGetFlags, {}, read.Get());
    ComPtr<IUnknown> readIdentity;
    ComPtr<IUnknown> rootIdentity;
    ASSERT_NE(ObjectOf(read.Ref()), nullptr);
    ObjectOf(read.Ref()).As(&readIdentity);
    ComPtr<IDispatch>(host_->Root()).As(&rootIdentity);
    EXPECT_EQ(readIdentity.Get(), rootIdentity.Get());
    Call(connect.Get(), L"VBInstance", DISPATCH_PROPERTYPUTREF, {root.Get()}, nullptr);
    // The IDE's event source answers only IUnknown: it reads back as VT_UNKNOWN, and is
    // taken back as either type.
    Call(connect.Get(), L"MenuHandler", kGetFlags, {}, read.ReleaseAndGetAddressOf());
    EXPECT_EQ(read.Ref().vt, VT_UNKNOWN);
    ComPtr<IUnknown> handler = win32util::UnknownOf(read.Ref());
    ASSERT_NE(handler, nullptr) << "the click subscription's event source";
    for (VARTYPE type : {VT_UNKNOWN, VT_DISPATCH}) {
        VARIANT handlerArg;
        handlerArg.vt = type;
        handlerArg.punkVal = handler.Get();
        Call(connect.Get(), L"MenuHandler", DISPATCH_PROPERTYPUTREF, {&handlerArg}, nullptr);
        EXPECT_EQ(host_->ClickAddInsItem(L"Quorvane"), 1) << "still subscribed after Set";
    }

    Variant caption(std::wstring(L"Second item"));
    Call(connect.Get(), L"AddToAddInCommandBar", DISPATCH_METHOD, {caption.Get()},
         read.ReleaseAndGetAddressOf());
    EXPECT_NE(ObjectOf(read.Ref()), nullptr);
    EXPECT_EQ(host_->AddInsMenu().back(), L"Second item");

    Variant shown(static_cast<long>(1));
    Call(connect.Get(), L"FormDisplayed", DISPATCH_PROPERTYPUT, {shown.Get()}, nullptr);
    Call(connect.Get(), L"FormDisplayed", kGetFlags, {}, read.ReleaseAndGetAddressOf());
    EXPECT_EQ(read.Ref().vt, VT_BOOL);
    EXPECT_EQ(read.Ref().boolVal, VARIANT_TRUE);
    const int displays = forms_.displays;
    CallMethod(connect.Get(), L"Show");
    EXPECT_EQ(forms_.displays, displays + 1);
    CallMethod(connect.Get(), L"Hide");
    EXPECT_FALSE(FormDisplayed(addIn.Get()));

    // Wrong calls are refused as the call's own error, not run.
    Variant text(std::wstring(L"not an object"));
    DISPID id = DISPID_UNKNOWN;
    auto* name = const_cast<LPOLESTR>(L"VBInstance");
    ASSERT_EQ(connect->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id), S_OK);
    DISPID put = DISPID_PROPERTYPUT;
    DISPPARAMS putText{text.Get(), &put, 1, 1};
    EXPECT_EQ(connect->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUTREF, &putText,
                              nullptr, nullptr, nullptr),
              DISP_E_TYPEMISMATCH);
    name = const_cast<LPOLESTR>(L"OnConnection");
    ASSERT_EQ(extensibility->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id), S_OK);
    DISPPARAMS tooFew{root.Get(), nullptr, 1, 0};
    EXPECT_EQ(extensibility->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &tooFew,
                                    nullptr, nullptr, nullptr),
              DISP_E_BADPARAMCOUNT);

    Variant userClosed(static_cast<long>(vbext_dm_UserClosed));
    CallMethod(extensibility, L"OnDisconnection", {userClosed.Get(), &customArg});
    const auto menu = host_->AddInsMenu();
    EXPECT_EQ(std::count(menu.begin(), menu.end(), L"Quorvane"), 0);
    SafeArrayDestroy(custom);
}

} // namespace
} // namespace qvn::addin::testing

namespace qvn::addin::testing {
namespace {

// In the VBA editor: the item on the Add-Ins menu, its click through the button's own event
// (never through Events.CommandBarEvents, which the 64-bit editor cannot offer), Paste into
// the editor's code pane, VBInstance the editor's own root and no MenuHandler.
TEST_F(ConnectHostTest, InTheVbaEditorTheButtonsOwnClickOpensTheWindowAndPastes) {
    host_->ShutDown();
    host_ = std::make_unique<standin::IdeHost>(standin::HostFlavour::Vba);
    host_->SetModuleText(L"Sub Main()\r\nEnd Sub");
    host_->SetCaretLine(2);
    WriteSetting(std::wstring(L"0"));
    const auto menuBefore = host_->AddInsMenu();
    auto addIn = NewConnect();
    ASSERT_EQ(ConnectAs(addIn.Get(), ext_cm_Startup), S_OK);
    EXPECT_TRUE(forms_.messages.empty()) << "the connection reported a failure";
    ASSERT_EQ(host_->AddInsMenu().size(), menuBefore.size() + 1);
    EXPECT_EQ(host_->AddInsMenu().back(), L"Quorvane");

    ComPtr<_Connect> connect;
    ASSERT_EQ(addIn.As(&connect), S_OK);
    VBE* root = nullptr;
    ASSERT_EQ(connect->get_VBInstance(&root), S_OK);
    ComPtr<IUnknown> rootIdentity;
    ComPtr<IUnknown> hostIdentity;
    ASSERT_NE(root, nullptr);
    root->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(rootIdentity.GetAddressOf()));
    host_->Root()->QueryInterface(IID_IUnknown,
                                  reinterpret_cast<void**>(hostIdentity.GetAddressOf()));
    EXPECT_EQ(rootIdentity.Get(), hostIdentity.Get()) << "VBInstance is the editor's own root";
    root->Release();
    _CommandBarControlEvents* handler = reinterpret_cast<_CommandBarControlEvents*>(1);
    ASSERT_EQ(connect->get_MenuHandler(&handler), S_OK);
    EXPECT_EQ(handler, nullptr) << "the editor has no CommandBarEvents object for the item";

    std::string code;
    forms_.whileShown = [&](TestBuilderForm& form) {
        form.Form().Model().Ctl(ctl::txtPrompt).SetText("Done");
        form.Form().cmdPaste_Click();
        code = form.Form().Settings().strMsgBoxCode;
    };
    ASSERT_EQ(host_->ClickAddInsItem(L"Quorvane"), 1);
    EXPECT_EQ(forms_.displays, 1);
    EXPECT_TRUE(forms_.messages.empty());
    EXPECT_EQ(code, "MsgBox \"Done\"");
    // The caret stood on End Sub: the code goes into the procedure, one level in.
    EXPECT_EQ(host_->ModuleLines(),
              (std::vector<std::wstring>{L"Sub Main()", L"    MsgBox \"Done\"", L"End Sub"}));

    ASSERT_EQ(host_->Disconnect(kName, ext_dm_UserClosed), S_OK);
    EXPECT_EQ(host_->AddInsMenu(), menuBefore);
    EXPECT_EQ(ReadSetting(), L"0");
}

} // namespace
} // namespace qvn::addin::testing

namespace qvn::addin::testing {
namespace {

using standin::HostFlavour;

// Connects a new add-in to the host: it puts exactly one item on the Add-Ins menu, whose click
// opens the window, with no message on the way; disconnecting takes the item away.
void ExpectOneWorkingItemIn(standin::IdeHost& host, const ComPtr<IUnknown>& addIn, FormLog& forms) {
    MessageBoxWatcher watcher;
    ASSERT_EQ(host.ConnectObject(addIn.Get(), L"Quorvane.Connect", standin::kConnectStartup), S_OK);
    EXPECT_EQ(host.AddInsMenu(), std::vector<std::wstring>{L"Quorvane"});
    const int displays = forms.displays;
    EXPECT_EQ(host.ClickAddInsItem(L"Quorvane"), 1);
    EXPECT_EQ(forms.displays, displays + 1);
    ASSERT_EQ(host.Disconnect(L"Quorvane.Connect", standin::kDisconnectUserClosed), S_OK);
    EXPECT_TRUE(host.AddInsMenu().empty());
    EXPECT_TRUE(watcher.Seen().empty()) << Utf8(watcher.Seen().front().text);
}

// Localized IDEs name their bars in their own language: the item goes on the Add-Ins menu
// found by its built-in Id, and its click opens the window, with no message on the way.
TEST_F(ConnectHostTest, InLocalizedIdesTheItemGoesOnTheAddInsMenuFoundByItsId) {
    struct Case {
        HostFlavour flavour;
        const wchar_t* locale;
    };
    const Case cases[] = {{HostFlavour::Vb5, L"de"},
                          {HostFlavour::Vb6, L"es"},
                          {HostFlavour::Vba, L"fr"},
                          {HostFlavour::Vba, L"es"}};
    WriteSetting(std::wstring(L"0"));
    for (const auto& c : cases) {
        SCOPED_TRACE(Utf8(c.locale) + " in flavour " + std::to_string(static_cast<int>(c.flavour)));
        host_->ShutDown();
        host_ = std::make_unique<standin::IdeHost>(c.flavour);
        ASSERT_TRUE(host_->SetLocale(c.locale));
        ExpectOneWorkingItemIn(*host_, NewConnect(), forms_);
    }
}

// The sweep and the Tag are the add-in's own extras: a host that refuses Tag or the controls'
// Count still gets one working item, in a localized IDE through FindControl as well.
TEST_F(ConnectHostTest, AHostRefusingTheOptionalCallsStillGetsOneWorkingItem) {
    for (const wchar_t* operation : {L"Tag", L"Count"}) {
        for (const wchar_t* locale : {L"en", L"es"}) {
            SCOPED_TRACE(Utf8(operation) + " refused, " + Utf8(locale));
            host_->ShutDown();
            host_ = std::make_unique<standin::IdeHost>(HostFlavour::Vb6);
            ASSERT_TRUE(host_->SetLocale(locale));
            host_->FailOperation(operation, E_NOTIMPL, L"Not offered here");
            ExpectOneWorkingItemIn(*host_, NewConnect(), forms_);
        }
    }
}

// The IDEs keep what add-ins leave on their bars. A session that ends without disconnecting
// leaves nothing when the item was temporary; when the host refused Temporary, the item it
// kept is swept at the next connection. Either way the next session has one working item.
TEST_F(ConnectHostTest, AfterASessionThatNeverDisconnectedTheMenuHasExactlyOneWorkingItem) {
    const std::wstring bars = (std::filesystem::temp_directory_path() / L"qvn-bars.txt").wstring();
    for (HostFlavour flavour : {HostFlavour::Vb6, HostFlavour::Vba}) {
        for (bool refuseTemporary : {false, true}) {
            SCOPED_TRACE(std::string(refuseTemporary ? "Temporary refused" : "Temporary taken") +
                         " in flavour " + std::to_string(static_cast<int>(flavour)));
            DeleteFileW(bars.c_str());
            {
                standin::IdeHost crashed(flavour);
                crashed.KeepCustomizationsIn(bars);
                if (refuseTemporary) {
                    crashed.FailOperation(L"Add", DISP_E_BADPARAMCOUNT, L"", 1);
                }
                auto addIn = NewConnect();
                ASSERT_EQ(crashed.ConnectObject(addIn.Get(), kName, standin::kConnectStartup),
                          S_OK);
                EXPECT_EQ(crashed.AddInsMenu(), std::vector<std::wstring>{L"Quorvane"});
                crashed.EndWithoutDisconnecting();
            }
            host_->ShutDown();
            host_ = std::make_unique<standin::IdeHost>(flavour);
            host_->KeepCustomizationsIn(bars);
            EXPECT_EQ(host_->AddInsMenu().size(), refuseTemporary ? 1U : 0U);
            ExpectOneWorkingItemIn(*host_, NewConnect(), forms_);
        }
    }
    DeleteFileW(bars.c_str());
}

} // namespace
} // namespace qvn::addin::testing

namespace qvn::addin::testing {
namespace {

// "Edit Message Box" on the code window's menu, in the VB6 IDE and the VBA editor: the box at
// the caret opens in the window, and Paste rewrites it in place; every other line and
// character stays, and a refusal changes nothing.
TEST_F(ConnectHostTest, EditMessageBoxRewritesTheBoxInPlaceAndKeepsEverythingElse) {
    struct Case {
        const char* name;
        std::vector<std::wstring> module;
        long caret;
        int buttonSet;                   // what the user chooses in the window; -1 changes nothing
        std::vector<std::wstring> after; // the module after Paste; empty: as before
        std::string message;             // a piece of the one message shown, or none
        std::wstring failing = {};       // an IDE operation that fails
    };
    const std::vector<std::wstring> ifBlock = {
        L"Sub Quit()",   L"    If MsgBox(\"Quit?\", vbYesNo + vbQuestion) = vbYes Then",
        L"        Save", L"        End",
        L"    End If",   L"End Sub"};
    const Case cases[] = {
        {"a hand-written Yes/No box becomes Yes/No/Cancel",
         {L"Sub A()", L"    MsgBox \"Save?\", vbYesNo, \"Ed\" ' ask", L"End Sub"},
         2,
         3,
         {L"Sub A()", L"    MsgBox \"Save?\", vbYesNoCancel, \"Ed\" ' ask", L"End Sub"},
         ""},
        {"the call in an If's condition; the test and the body stay",
         ifBlock,
         2,
         3,
         {L"Sub Quit()", L"    If MsgBox (\"Quit?\", vbQuestion + vbYesNoCancel) = vbYes Then",
          L"        Save", L"        End", L"    End If", L"End Sub"},
         ""},
        {"the call in a one-line If with a second statement",
         {L"Sub B()", L"    If x Then MsgBox \"Stop\": Exit Sub", L"End Sub"},
         2,
         1,
         {L"Sub B()", L"    If x Then MsgBox \"Stop\", vbOKCancel: Exit Sub", L"End Sub"},
         ""},
        {"a kept Case vbNo the new set lacks",
         {L"r = MsgBox(\"Go?\", vbYesNo)", L"Select Case r", L"Case vbNo", L"End Select"},
         1,
         1,
         {},
         "tests vbNo, but the new box has no No button"},
        {"a prompt made of a variable", {L"MsgBox strPrompt, vbYesNo"}, 1, -1, {}, "strPrompt"},
        {"no message box on the line",
         {L"x = 1", L"MsgBox \"a\""},
         1,
         -1,
         {},
         "There is no message box on this line to edit."},
        {"the insert fails: nothing changes",
         {L"MsgBox \"a\""},
         1,
         1,
         {},
         "A problem occurred while trying to paste",
         L"InsertLines"},
        {"the delete fails: both versions stay, and the message says so",
         {L"MsgBox \"a\""},
         1,
         1,
         {L"MsgBox \"a\", vbOKCancel", L"MsgBox \"a\""},
         "Both versions are in your code now",
         L"DeleteLines"},
    };
    WriteSetting(std::wstring(L"0"));
    for (HostFlavour flavour : {HostFlavour::Vb6, HostFlavour::Vba}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.name) + " in flavour " +
                         std::to_string(static_cast<int>(flavour)));
            host_->ShutDown();
            host_ = std::make_unique<standin::IdeHost>(flavour);
            std::wstring text;
            for (const auto& line : c.module) {
                text += (text.empty() ? L"" : L"\r\n") + line;
            }
            host_->SetModuleText(text);
            host_->SetCaretLine(c.caret);
            auto addIn = NewConnect();
            ASSERT_EQ(ConnectAs(addIn.Get(), standin::kConnectStartup), S_OK);
            ASSERT_EQ(host_->CodeWindowMenu(), std::vector<std::wstring>{L"Edit Message Box"});
            if (!c.failing.empty()) {
                host_->FailOperation(c.failing, E_FAIL, L"refused");
            }
            forms_.messages.clear();
            forms_.whileShown = [&](TestBuilderForm& form) {
                if (c.buttonSet >= 0) {
                    form.Form().Model().Ctl(ctl::optButtons, c.buttonSet).SetValue(1);
                }
                form.Form().cmdPaste_Click();
            };
            EXPECT_EQ(host_->ClickCodeWindowItem(L"Edit Message Box"), 1);
            host_->ClearFailures();
            EXPECT_EQ(host_->ModuleLines(), c.after.empty() ? c.module : c.after);
            if (c.message.empty()) {
                EXPECT_TRUE(forms_.messages.empty()) << forms_.messages.front().text;
            } else {
                ASSERT_EQ(forms_.messages.size(), 1U);
                EXPECT_NE(forms_.messages[0].text.find(c.message), std::string::npos)
                    << forms_.messages[0].text;
            }
            ASSERT_EQ(Disconnect(), S_OK);
            EXPECT_TRUE(host_->CodeWindowMenu().empty()) << "deleted at disconnection";
        }
    }
    forms_.whileShown = nullptr;
}

// Paste through the real window into the stand-in's module, twice with "Variable Return": the
// code indented like the block it lands in, and under Option Explicit the variable declared
// once, unless a standard module of the project makes the name public already.
TEST_F(ConnectHostTest, PasteIndentsTheCodeAndDeclaresTheVariableOnceWhereNothingElseDoes) {
    struct OtherModule {
        const wchar_t* name;
        long type; // 1 standard module, 2 class module
        const wchar_t* text;
    };
    struct Case {
        const char* name;
        std::vector<OtherModule> others;
        bool declared;
        std::wstring failing = {}; // a read of the module that fails: the code goes in as is
    };
    const Case cases[] = {
        {"nothing declares the name", {}, true},
        {"a standard module declares it Public",
         {{L"Globals", 1, L"Option Explicit\r\nPublic Answer As Long"}},
         false},
        {"only a class module declares it Public",
         {{L"Class1", 2, L"Option Explicit\r\nPublic answer As Long"}},
         true},
        {"the procedure cannot be read", {}, false, L"ProcOfLine"},
    };
    const std::wstring code = L"answer = MsgBox(\"Hi\", vbOKCancel)";
    WriteSetting(std::wstring(L"0"));
    for (HostFlavour flavour : {HostFlavour::Vb5, HostFlavour::Vb6, HostFlavour::Vba}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.name) + " in flavour " +
                         std::to_string(static_cast<int>(flavour)));
            host_->ShutDown();
            host_ = std::make_unique<standin::IdeHost>(flavour);
            host_->SetModuleText(L"Option Explicit\r\n\r\nPrivate Sub Form_Load()\r\n"
                                 L"    If Ready Then\r\n        Go\r\n    End If\r\nEnd Sub");
            for (const OtherModule& other : c.others) {
                host_->AddProjectModule(other.name, other.type, other.text);
            }
            host_->SetCaretLine(5);
            if (!c.failing.empty()) {
                host_->FailOperation(c.failing, E_FAIL, L"refused");
            }
            auto addIn = NewConnect();
            ASSERT_EQ(ConnectAs(addIn.Get(), standin::kConnectStartup), S_OK);
            forms_.messages.clear();
            forms_.whileShown = [&](TestBuilderForm& form) {
                form.Form().Model().Ctl(ctl::txtPrompt).SetText("Hi");
                form.Form().Model().Ctl(ctl::optButtons, 1).SetValue(1);
                form.Form().Model().Ctl(ctl::optCodeOption, 1).SetValue(1);
                form.Form().Model().Ctl(ctl::txtVarName).SetText("answer");
                form.Form().cmdPaste_Click();
                form.Form().cmdPaste_Click();
            };
            ASSERT_EQ(host_->ClickAddInsItem(L"Quorvane"), 1);
            host_->ClearFailures();
            EXPECT_TRUE(forms_.messages.empty()) << forms_.messages.front().text;
            const std::wstring indent = c.failing.empty() ? L"        " : L"";
            std::vector<std::wstring> expected = {L"Option Explicit", L"",
                                                  L"Private Sub Form_Load()", L"    If Ready Then"};
            if (c.declared) {
                expected.push_back(indent + L"Dim answer As " +
                                   (flavour == HostFlavour::Vb5 ? L"Integer" : L"VbMsgBoxResult"));
            }
            expected.insert(expected.end(), {indent + code, indent + code, L"        Go",
                                             L"    End If", L"End Sub"});
            EXPECT_EQ(host_->ModuleLines(), expected);
            ASSERT_EQ(Disconnect(), S_OK);
        }
    }
    forms_.whileShown = nullptr;
}

// A host without the code window's menu gets the Add-Ins item only, and no message.
TEST_F(ConnectHostTest, WithoutTheCodeWindowMenuThereIsNoEditItemAndNoMessage) {
    host_->SetCodeWindowMenu(false);
    MessageBoxWatcher watcher;
    auto addIn = NewConnect();
    ASSERT_EQ(ConnectAs(addIn.Get(), standin::kConnectStartup), S_OK);
    EXPECT_EQ(host_->AddInsMenu(), std::vector<std::wstring>{L"Quorvane"});
    EXPECT_EQ(host_->ClickCodeWindowItem(L"Edit Message Box"), -1);
    ASSERT_EQ(Disconnect(), S_OK);
    EXPECT_TRUE(watcher.Seen().empty());
}

} // namespace
} // namespace qvn::addin::testing
