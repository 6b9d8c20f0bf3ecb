// The journey of one user, end to end, in a fresh Wine prefix: the package's three files are
// copied into a folder, QVNInstall.exe lists and registers the add-in, the stand-in IDE
// connects it at start-up, the Add-Ins item opens the builder window, the If-Then-Else
// example is composed through the window's native controls and pasted into the code pane;
// the IDE is closed and started again twice to show that the window reopens by itself only
// when it was left open; QVNRemove.exe takes everything away again. Every message box on the
// way is read and compared, and the run fails on any box nobody expected.
#include "package/journey/example_session.h"
#include "package/journey/ui_driver.h"
#include "package/package_files.h"

#include "standin/stand_in_ide.h"
#include "testsupport/message_box_watcher.h"
#include "testsupport/registry_image.h"
#include "testsupport/wine_helpers.h"

#include <gtest/gtest.h>
#include <objbase.h>
#include <tlhelp32.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace qvn::drive;
using qvn::standin::IdeHost;
using qvn::testing::MessageBoxWatcher;
using qvn::testing::SeenMessageBox;
using Clock = std::chrono::steady_clock;

constexpr wchar_t kProgId[] = L"Quorvane.Connect";
constexpr wchar_t kSettingsKey[] = L"Software\\VB and VBA Program Settings\\QVN\\Settings";
// The machine of this build's programs, as the package's list names it.
constexpr std::string_view kOwnMachine = sizeof(void*) == 8 ? "x86-64" : "i386";

// Times are printed for people to read, never checked.
class Stage {
public:
    explicit Stage(const char* name) : name_(name), start_(Clock::now()) {}
    ~Stage() {
        const auto ms =
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start_).count();
        std::printf("[ stage    ] %-58s %6.1f s\n", name_, static_cast<double>(ms) / 1000.0);
        std::fflush(stdout);
    }
    Stage(const Stage&) = delete;
    Stage& operator=(const Stage&) = delete;

private:
    const char* name_;
    Clock::time_point start_;
};

fs::path ThisProgramFolder() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return fs::path(path).parent_path();
}

std::wstring RegistryString(HKEY root, const std::wstring& path, const wchar_t* name = nullptr) {
    wchar_t value[1024] = {};
    DWORD bytes = sizeof value - sizeof(wchar_t);
    if (RegGetValueW(root, path.c_str(), name, RRF_RT_REG_SZ, nullptr, value, &bytes) !=
        ERROR_SUCCESS) {
        return {};
    }
    return value;
}

bool RegistryKeyExists(HKEY root, const std::wstring& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(key);
    return true;
}

std::wstring DisplayOnConnect() {
    return RegistryString(HKEY_CURRENT_USER, kSettingsKey, L"DisplayOnConnect");
}

// The add-in's entry in the IDE's list, or "***" when there is none.
std::wstring AddInListEntry() {
    wchar_t value[256] = {};
    GetPrivateProfileStringW(L"Add-Ins32", kProgId, L"***", value, 256, L"vbaddin.ini");
    return value;
}

// Starts a setup tool from its folder as a user's double click would and waits for it; the
// watcher answers its message box meanwhile.
DWORD RunTool(const fs::path& folder, const wchar_t* name, const wchar_t* arguments = nullptr) {
    const fs::path program = folder / name;
    std::wstring command = L"\"" + program.wstring() + L"\"";
    if (arguments != nullptr) {
        command += L" " + std::wstring(arguments);
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(program.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        folder.c_str(), &startup, &process)) {
        ADD_FAILURE() << "cannot start " << program << ": error " << GetLastError();
        return 1;
    }
    if (WaitForSingleObject(process.hProcess, 60000) != WAIT_OBJECT_0) {
        ADD_FAILURE() << program << " did not end within 60 s";
        TerminateProcess(process.hProcess, 99);
        WaitForSingleObject(process.hProcess, 5000);
    }
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code;
}

std::vector<std::string> Utf8Lines(const std::vector<std::wstring>& lines) {
    std::vector<std::string> out;
    for (const auto& line : lines) {
        out.push_back(Utf8(line));
    }
    return out;
}

// Work done on a second thread while the test's own thread runs the IDE (and, inside it, the
// builder window's modal loop), as a user's hands work while the program waits for input.
class Hands {
public:
    template <class Body>
    explicit Hands(Body body) : thread_([this, body] { problem_ = body(); }) {}
    ~Hands() {
        if (thread_.joinable()) {
            thread_.join();
        }
    }
    Hands(const Hands&) = delete;
    Hands& operator=(const Hands&) = delete;
    // What went wrong, in words; empty when nothing did.
    std::string Finish() {
        thread_.join();
        return problem_;
    }

private:
    std::string problem_;
    std::thread thread_;
};

HWND WaitForBuilder() {
    return WaitForTopWindow(kBuilderWindowClass, GetCurrentProcessId(), 30s);
}

// Closes the builder with its Exit button and waits until it is gone.
std::string PressExit(HWND builder) {
    Click(BuilderControl(builder, ctl::cmdExit));
    if (!WaitForWindowGone(builder, 10s)) {
        PostMessageW(builder, WM_CLOSE, 0, 0);
        return "the builder window stayed open after Exit";
    }
    return {};
}

// On an X server without a window manager Wine waits two seconds for one each time a window
// is hidden; placing its windows itself avoids that. Wine reads the setting when its display
// driver starts, so it is written before main runs. Nothing changes on Windows.
const bool kWineDrawsFrames = ::qvn::testing::LetWinePlaceWindows(L"qvn_journey_test.exe");

const std::wstring kSampleModule =
    L"Option Explicit\r\n\r\nPrivate Sub cmdQuit_Click()\r\n\r\nEnd Sub";
constexpr long kCaretLine = 4;

// Which host the journey uses and how it installs: the VB IDEs for every user of the machine
// (vbaddin.ini and the machine's registration), the VBA editor for this user alone.
struct Route {
    qvn::standin::HostFlavour host;
    bool perUser;
    const wchar_t* locale; // the IDE's language, which names its bars
};

bool SixtyFourBitWindows() {
    BOOL wow64 = FALSE;
    return sizeof(void*) == 8 || (IsWow64Process(GetCurrentProcess(), &wow64) && wow64);
}

// Where the package has the add-in of the given machine.
fs::path PackageAddIn(std::string_view machine) {
    for (const auto& file : qvn::package::kPackageFiles) {
        if (fs::path(file.path).extension() == L".dll" && file.machine == machine) {
            return file.path;
        }
    }
    ADD_FAILURE() << "the package has no add-in for " << machine;
    return {};
}

// The VBA editor's add-in list of the given bitness.
std::wstring VbaEntry(bool sixtyFourBit) {
    return std::wstring(L"Software\\Microsoft\\VBA\\VBE\\6.0\\Addins") +
           (sixtyFourBit ? L"64" : L"") + L"\\" + kProgId;
}

class Journey : public ::testing::Test {
protected:
    void Travel(const Route& route);

    void SetUp() override { ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr))); }
    void TearDown() override { OleUninitialize(); }

    // Starts an IDE with the sample module open; start-up connects the listed add-ins.
    // Starts an IDE of the route's language that keeps its bars' customizations between
    // sessions, as the real ones do.
    void Open(IdeHost& ide, const Route& route) const {
        ASSERT_TRUE(ide.SetLocale(route.locale));
        ide.KeepCustomizationsIn(bars_.wstring());
        ide.SetModuleText(kSampleModule);
        ide.SetCaretLine(kCaretLine);
        ASSERT_NE(ide.CreateMainWindow(SW_SHOWNORMAL), nullptr);
    }
    // Closes the IDE's main window as the user does; the IDE disconnects its add-ins.
    static void Close(IdeHost& ide) {
        ASSERT_NE(ide.Window(), nullptr);
        SendMessageW(ide.Window(), WM_CLOSE, 0, 0);
        EXPECT_EQ(ide.Window(), nullptr);
    }

    MessageBoxWatcher boxes_; // reads and answers every message box of any process
    fs::path bars_ = fs::temp_directory_path() / L"journey-bars.txt";
};

void Journey::Travel(const Route& route) {
    using qvn::standin::HostFlavour;
    const bool perUser = route.perUser;
    std::error_code ignored;
    fs::remove(bars_, ignored); // no customizations of an earlier run
    fs::path folder = L"C:\\Program Files\\Quorvane";
    if (perUser) {
        wchar_t local[MAX_PATH] = {};
        GetEnvironmentVariableW(L"LOCALAPPDATA", local, MAX_PATH);
        folder = fs::path(local) / L"Programs" / L"Quorvane";
    }
    bool with32 = false;
    bool with64 = false;
    {
        Stage stage("copying the package's files into a folder");
        fs::create_directories(folder);
        // The package's setup tools as this build makes them, each where the package has it.
        for (const auto& file : qvn::package::kPackageFiles) {
            const fs::path path = file.path;
            if (path.extension() == L".exe") {
                fs::create_directories((folder / path).parent_path());
                fs::copy_file(ThisProgramFolder() / path.filename(), folder / path,
                              fs::copy_options::overwrite_existing);
            }
        }
        const fs::path own = PackageAddIn(kOwnMachine);
        if (!perUser) {
            // For everyone, the tools register the add-in in their own folder, whatever its
            // bitness.
            fs::copy_file(ThisProgramFolder() / L"qvn.dll", folder / own.filename(),
                          fs::copy_options::overwrite_existing);
        } else {
            // The package's two add-ins: this build's and, where it is built, the other one.
            const fs::path other = PackageAddIn(kOwnMachine == "i386" ? "x86-64" : "i386");
            const bool own64 = sizeof(void*) == 8;
            fs::create_directories((folder / own).parent_path());
            fs::copy_file(ThisProgramFolder() / L"qvn.dll", folder / own,
                          fs::copy_options::overwrite_existing);
            // Wine keeps one per-user class key for both bitnesses, so the build registered
            // last is the one created: the 32-bit journey on 64-bit Windows leaves the 64-bit
            // add-in out (on 32-bit Windows the tool skips it by itself).
            const bool otherFits = own64 || !SixtyFourBitWindows();
            if (otherFits && GetFileAttributesW(QVN_OTHER_BUILD_DLL) != INVALID_FILE_ATTRIBUTES) {
                fs::create_directories((folder / other).parent_path());
                fs::copy_file(QVN_OTHER_BUILD_DLL, folder / other,
                              fs::copy_options::overwrite_existing);
            }
            with32 = fs::exists(folder / PackageAddIn("i386"));
            with64 = fs::exists(folder / PackageAddIn("x86-64")) && SixtyFourBitWindows();
            // An editor that is installed keeps its add-in lists, empty or not.
            for (bool sixtyFour : {false, true}) {
                const std::wstring list = VbaEntry(sixtyFour);
                RegSetKeyValueW(HKEY_CURRENT_USER, list.substr(0, list.rfind(L'\\')).c_str(),
                                nullptr, REG_NONE, nullptr, 0);
            }
        }
    }
    ASSERT_EQ(AddInListEntry(), L"***") << "the prefix is not fresh: the add-in is listed";
    ASSERT_FALSE(RegistryKeyExists(HKEY_CLASSES_ROOT, kProgId)) << "the prefix is not fresh";
    const auto registryBefore = qvn::testing::ReadRegistry();

    std::wstring clsid;
    std::wstring libid;
    std::wstring officeLines;
    if (with32) {
        officeLines += L"\n  32-bit Office";
    }
    if (with64) {
        officeLines += L"\n  64-bit Office";
    }
    const std::wstring installed =
        perUser ? L"QVN installed for this user in the VBA editor:" + officeLines
                : L"QVN installed in VBAddin.ini.";
    const std::wstring removed =
        perUser ? L"QVN removed for this user from the VBA editor:" + officeLines
                : L"QVN removed from VBAddin.ini.";
    if (perUser) {
        Stage stage("QVNInstall.exe /user");
        EXPECT_EQ(RunTool(folder, L"QVNInstall.exe", L"/user"), 0U);
        ASSERT_TRUE(boxes_.WaitForCount(1, 10s)) << "QVNInstall showed no message";
        const auto seen = boxes_.Seen();
        EXPECT_EQ(seen[0].title, L"QVNInstall");
        EXPECT_EQ(MessageBoxWatcher::Lf(seen[0].text), installed);
        EXPECT_TRUE(RegistryKeyExists(HKEY_CURRENT_USER, VbaEntry(sizeof(void*) == 8)));
        EXPECT_EQ(AddInListEntry(), L"***") << "the per-user install lists nothing in vbaddin.ini";
        clsid = RegistryString(HKEY_CURRENT_USER,
                               std::wstring(L"Software\\Classes\\") + kProgId + L"\\CLSID");
        EXPECT_FALSE(clsid.empty()) << "the ProgID is not registered for the user";
    } else {
        Stage stage("QVNInstall.exe and the registration tool");
        EXPECT_EQ(RunTool(folder, L"QVNInstall.exe"), 0U);
        ASSERT_TRUE(boxes_.WaitForCount(1, 10s)) << "QVNInstall showed no message";
        const auto seen = boxes_.Seen();
        EXPECT_EQ(seen[0].title, L"QVNInstall");
        EXPECT_EQ(seen[0].text, installed);
        EXPECT_TRUE(seen[0].hasIcon) << "the message shows the information icon";
        // Wine's registration tool reports on its console, not in a box: wait for its work.
        ASSERT_TRUE(WaitUntil(
            [&] {
                clsid = RegistryString(HKEY_CLASSES_ROOT, std::wstring(kProgId) + L"\\CLSID");
                return !clsid.empty() && !::qvn::testing::ProgramRunning(L"regsvr32.exe");
            },
            60s))
            << "Quorvane.Connect was not registered within 60 s";
        EXPECT_EQ(AddInListEntry(), L"1");
        const std::wstring server =
            RegistryString(HKEY_CLASSES_ROOT, L"CLSID\\" + clsid + L"\\InprocServer32");
        wchar_t longServer[MAX_PATH] = {};
        GetLongPathNameW(server.c_str(), longServer, MAX_PATH);
        EXPECT_EQ(lstrcmpiW(longServer, (folder / L"qvn.dll").c_str()), 0)
            << "the class is served from " << Utf8(server) << ", not from the install folder";
        libid = RegistryString(HKEY_CLASSES_ROOT, L"CLSID\\" + clsid + L"\\TypeLib");
        EXPECT_FALSE(libid.empty()) << "the class names no type library";
        EXPECT_TRUE(RegistryKeyExists(HKEY_CLASSES_ROOT, L"TypeLib\\" + libid));
    }

    const std::string code = IfThenElseExampleCode();
    {
        Stage stage("first session: menu item, composing, Paste, Exit");
        IdeHost ide(route.host);
        Open(ide, route);
        ASSERT_EQ(ide.StartUp(), S_OK);
        EXPECT_EQ(ide.ConnectedAddIns(), std::vector<std::wstring>{kProgId});
        ASSERT_EQ(ide.AddInsMenu(), std::vector<std::wstring>{L"Quorvane"});
        EXPECT_EQ(FindTopWindow(kBuilderWindowClass, GetCurrentProcessId()), nullptr)
            << "the window opened at the first start";

        Hands hands([&]() -> std::string {
            HWND builder = WaitForBuilder();
            if (builder == nullptr) {
                return "the menu item opened no builder window";
            }
            if (auto problem = ComposeIfThenElseExample(builder)) {
                PostMessageW(builder, WM_CLOSE, 0, 0);
                return *problem;
            }
            HWND pane = FindChildOfClass(ide.Window(), L"Edit");
            const std::wstring before = WindowText(pane);
            const std::size_t boxesBefore = boxes_.Seen().size();
            Click(BuilderControl(builder, ctl::cmdPaste));
            if (!WaitUntil(
                    [&] {
                        return WindowText(pane) != before || boxes_.Seen().size() > boxesBefore;
                    },
                    10s)) {
                PressExit(builder);
                return "Paste changed nothing in the code pane";
            }
            if (boxes_.Seen().size() > boxesBefore) {
                PressExit(builder);
                return "Paste showed \"" + Utf8(boxes_.Seen().back().text) + "\"";
            }
            // The window stays open with every choice as it was.
            if (!IsWindowVisible(builder) ||
                Utf8(WindowText(BuilderControl(builder, ctl::txtPrompt))) != "Quit now?") {
                return "the window did not stay open unchanged after Paste";
            }
            return PressExit(builder);
        });
        EXPECT_EQ(ide.ClickAddInsItem(L"Quorvane"), 1);
        const std::string problem = hands.Finish();
        EXPECT_EQ(problem, "");

        const auto module = Utf8Lines(ide.ModuleLines());
        const auto sample = SplitLines(Utf8(kSampleModule));
        // The caret's blank line follows the Sub line, so the code goes one level in: the
        // sample module shows no step of its own, which makes it four blanks.
        EXPECT_EQ(module, ModuleAfterPaste(sample, kCaretLine, code, "    "));
        ASSERT_GT(module.size(), static_cast<std::size_t>(kCaretLine));
        EXPECT_EQ(module[kCaretLine - 1],
                  "    If MsgBox (\"Quit now?\", vbYesNo + vbDefaultButton2 + vbMsgBoxHelpButton, "
                  "\"Confirm\", \"app.hlp\", 100) <> vbNo Then");

        Close(ide);
        EXPECT_TRUE(ide.ConnectedAddIns().empty()) << "closing the IDE disconnects the add-in";
        EXPECT_TRUE(ide.AddInsMenu().empty()) << "the menu item is deleted at disconnection";
        EXPECT_EQ(DisplayOnConnect(), L"0");
    }

    {
        Stage stage("Variable Return pasted twice under Option Explicit: one Dim, both indented");
        IdeHost ide(route.host);
        Open(ide, route);
        ide.SetModuleText(L"Option Explicit\r\nPrivate Sub cmdSave_Click()\r\n"
                          L"    If Dirty Then\r\n        Save\r\n    End If\r\nEnd Sub");
        ide.SetCaretLine(4);
        ASSERT_EQ(ide.StartUp(), S_OK);
        Hands hands([&]() -> std::string {
            HWND builder = WaitForBuilder();
            if (builder == nullptr) {
                return "the menu item opened no builder window";
            }
            if (auto problem = ComposeVariableReturn(builder, "Save changes?", "answer")) {
                PressExit(builder);
                return *problem;
            }
            HWND pane = FindChildOfClass(ide.Window(), L"Edit");
            for (int paste = 1; paste <= 2; ++paste) {
                const std::wstring before = WindowText(pane);
                Click(BuilderControl(builder, ctl::cmdPaste));
                if (!WaitUntil([&] { return WindowText(pane) != before; }, 10s)) {
                    PressExit(builder);
                    return "Paste " + std::to_string(paste) + " changed nothing in the code pane";
                }
            }
            return PressExit(builder);
        });
        EXPECT_EQ(ide.ClickAddInsItem(L"Quorvane"), 1);
        EXPECT_EQ(hands.Finish(), "");
        const std::wstring type = route.host == HostFlavour::Vb5 ? L"Integer" : L"VbMsgBoxResult";
        const std::wstring code = L"        answer = MsgBox(\"Save changes?\", vbYesNo)";
        EXPECT_EQ(ide.ModuleLines(), (std::vector<std::wstring>{
                                         L"Option Explicit", L"Private Sub cmdSave_Click()",
                                         L"    If Dirty Then", L"        Dim answer As " + type,
                                         code, code, L"        Save", L"    End If", L"End Sub"}));
        Close(ide);
    }

    if (route.host != HostFlavour::Vb5) {
        Stage stage("Edit Message Box: a hand-written Yes/No box becomes Yes/No/Cancel in place");
        IdeHost ide(route.host);
        Open(ide, route);
        ide.SetModuleText(L"Sub Ask()\r\n    If x Then MsgBox \"Stop\", vbYesNo: Exit Sub\r\n"
                          L"    MsgBox \"Save?\", vbYesNo, \"Ed\" ' ask\r\nEnd Sub");
        ide.SetCaretLine(3);
        ASSERT_EQ(ide.StartUp(), S_OK);
        Hands hands([&]() -> std::string {
            HWND builder = WaitForBuilder();
            if (builder == nullptr) {
                return "the edit command opened no builder window";
            }
            if (Utf8(WindowText(BuilderControl(builder, ctl::txtPrompt))) != "Save?") {
                PressExit(builder);
                return "the window did not open on the box at the caret";
            }
            HWND pane = FindChildOfClass(ide.Window(), L"Edit");
            const std::wstring before = WindowText(pane);
            Click(BuilderControl(builder, ctl::optButtons, 3));
            Click(BuilderControl(builder, ctl::cmdPaste));
            if (!WaitUntil([&] { return WindowText(pane) != before; }, 10s)) {
                PressExit(builder);
                return "Paste changed nothing in the code pane";
            }
            return PressExit(builder);
        });
        EXPECT_EQ(ide.ClickCodeWindowItem(L"Edit Message Box"), 1);
        EXPECT_EQ(hands.Finish(), "");
        EXPECT_EQ(ide.ModuleLines(),
                  (std::vector<std::wstring>{
                      L"Sub Ask()", L"    If x Then MsgBox \"Stop\", vbYesNo: Exit Sub",
                      L"    MsgBox \"Save?\", vbYesNoCancel, \"Ed\" ' ask", L"End Sub"}));
        Close(ide);
        EXPECT_TRUE(ide.CodeWindowMenu().empty()) << "the edit item is deleted at disconnection";
    }

    {
        Stage stage("second session: IDE closed while the window shows");
        IdeHost ide(route.host);
        Open(ide, route);
        std::atomic<bool> started{false};
        Hands watch([&]() -> std::string {
            HWND early = nullptr;
            WaitUntil(
                [&] {
                    early = FindTopWindow(kBuilderWindowClass, GetCurrentProcessId());
                    return early != nullptr || started.load();
                },
                60s);
            if (early != nullptr) {
                PressExit(early);
                return "the window opened by itself although it was closed last time";
            }
            return {};
        });
        EXPECT_EQ(ide.StartUp(), S_OK);
        started = true;
        EXPECT_EQ(watch.Finish(), "");

        HWND shown = nullptr;
        Hands hands([&]() -> std::string {
            shown = WaitForBuilder();
            if (shown == nullptr) {
                return "the menu item opened no builder window";
            }
            // Nothing of the last session's settings is kept.
            if (!WindowText(BuilderControl(shown, ctl::txtPrompt)).empty()) {
                return "the prompt of the last session is still there";
            }
            // The user quits the IDE with the window still open.
            PostMessageW(ide.Window(), WM_CLOSE, 0, 0);
            return {};
        });
        EXPECT_EQ(ide.ClickAddInsItem(L"Quorvane"), 1);
        EXPECT_EQ(hands.Finish(), "");
        EXPECT_EQ(ide.Window(), nullptr) << "the IDE did not close";
        EXPECT_FALSE(shown != nullptr && IsWindow(shown)) << "the window outlived the IDE";
        EXPECT_TRUE(ide.ConnectedAddIns().empty());
        EXPECT_EQ(DisplayOnConnect(), L"1");
    }

    {
        Stage stage("third session: the window opens by itself");
        IdeHost ide(route.host);
        Open(ide, route);
        bool opened = false;
        Hands hands([&]() -> std::string {
            HWND builder = WaitForBuilder();
            if (builder == nullptr) {
                return "the window did not open by itself at start-up";
            }
            opened = true;
            return PressExit(builder);
        });
        EXPECT_EQ(ide.StartUp(), S_OK);
        EXPECT_EQ(hands.Finish(), "");
        EXPECT_TRUE(opened);
        EXPECT_EQ(ide.AddInsMenu(), std::vector<std::wstring>{L"Quorvane"})
            << "the menu item is there when the window opened at start-up too";
        Close(ide);
        EXPECT_EQ(DisplayOnConnect(), L"0");
    }

    if (route.host == HostFlavour::Vba) {
        // The editor keeps what an add-in leaves on its bars; this one also refuses the
        // Temporary argument once, so the session that never disconnects leaves an item.
        Stage stage("a session that ends without disconnecting, then one with a single item");
        {
            IdeHost ide(route.host);
            Open(ide, route);
            ide.FailOperation(L"Add", DISP_E_BADPARAMCOUNT, L"", 1);
            ASSERT_EQ(ide.StartUp(), S_OK);
            ASSERT_EQ(ide.AddInsMenu(), std::vector<std::wstring>{L"Quorvane"});
            ide.EndWithoutDisconnecting();
        }
        IdeHost ide(route.host);
        Open(ide, route);
        EXPECT_EQ(ide.AddInsMenu(), std::vector<std::wstring>{L"Quorvane"})
            << "the item the ended session left is kept";
        ASSERT_EQ(ide.StartUp(), S_OK);
        EXPECT_EQ(ide.AddInsMenu(), std::vector<std::wstring>{L"Quorvane"})
            << "the connection swept the item the ended session left";
        Hands hands([&]() -> std::string {
            HWND builder = WaitForBuilder();
            return builder == nullptr ? "the item opened no builder window" : PressExit(builder);
        });
        EXPECT_EQ(ide.ClickAddInsItem(L"Quorvane"), 1);
        EXPECT_EQ(hands.Finish(), "");
        Close(ide);
        EXPECT_TRUE(ide.AddInsMenu().empty());
    }

    if (perUser) {
        Stage stage("QVNRemove.exe /user");
        const std::size_t before = boxes_.Seen().size();
        EXPECT_EQ(RunTool(folder, L"QVNRemove.exe", L"/user"), 0U);
        ASSERT_TRUE(boxes_.WaitForCount(before + 1, 10s)) << "QVNRemove showed no message";
        const auto seen = boxes_.Seen();
        EXPECT_EQ(seen[before].title, L"QVNRemove");
        EXPECT_EQ(MessageBoxWatcher::Lf(seen[before].text), removed);
        EXPECT_FALSE(RegistryKeyExists(HKEY_CURRENT_USER, VbaEntry(false)));
        EXPECT_FALSE(RegistryKeyExists(HKEY_CURRENT_USER, VbaEntry(true)));
    } else {
        Stage stage("QVNRemove.exe and the registration tool");
        const std::size_t before = boxes_.Seen().size();
        EXPECT_EQ(RunTool(folder, L"QVNRemove.exe"), 0U);
        ASSERT_TRUE(boxes_.WaitForCount(before + 1, 10s)) << "QVNRemove showed no message";
        const auto seen = boxes_.Seen();
        EXPECT_EQ(seen[before].title, L"QVNRemove");
        EXPECT_EQ(seen[before].text, removed);
        EXPECT_TRUE(WaitUntil(
            [&] {
                return !RegistryKeyExists(HKEY_CLASSES_ROOT, kProgId) &&
                       !::qvn::testing::ProgramRunning(L"regsvr32.exe");
            },
            60s))
            << "Quorvane.Connect is still registered 60 s after QVNRemove";
        EXPECT_EQ(AddInListEntry(), L"***") << "the add-in is still listed in vbaddin.ini";
        EXPECT_FALSE(RegistryKeyExists(HKEY_CLASSES_ROOT, L"CLSID\\" + clsid));
        EXPECT_FALSE(libid.empty() || RegistryKeyExists(HKEY_CLASSES_ROOT, L"TypeLib\\" + libid))
            << "the type library is still registered";
    }
    // Install and removal leave every key of every view as they found it, but for the one
    // setting the add-in keeps for the user on purpose: whether the window was left open.
    auto changes = qvn::testing::RegistryChanges(registryBefore, qvn::testing::ReadRegistry());
    std::erase_if(changes, [](const std::string& change) {
        return change.find("\\VB and VBA Program Settings") != std::string::npos;
    });
    EXPECT_EQ(changes, std::vector<std::string>{}) << "install and removal changed the registry";

    // Exactly the two setup tools' messages, and nothing from the add-in. Windows' own
    // registration tool reports in boxes of its own; they must report success.
    std::vector<std::wstring> titles;
    for (const SeenMessageBox& box : boxes_.Seen()) {
        if (box.title == L"RegSvr32") {
            EXPECT_NE(box.text.find(L"succeeded"), std::wstring::npos) << Utf8(box.text);
            continue;
        }
        titles.push_back(box.title + L": " + MessageBoxWatcher::Lf(box.text));
    }
    EXPECT_EQ(titles,
              (std::vector<std::wstring>{L"QVNInstall: " + installed, L"QVNRemove: " + removed}));
}

TEST_F(Journey, InstallUseTheBuilderAndRemove) {
    Travel({qvn::standin::HostFlavour::Vb5, false, L"en"});
}

TEST_F(Journey, InASpanishVb6IdeInstallForEveryUserUseAndRemove) {
    Travel({qvn::standin::HostFlavour::Vb6, false, L"es"});
}

TEST_F(Journey, InAFrenchVbaEditorInstallForThisUserUseAndRemove) {
    Travel({qvn::standin::HostFlavour::Vba, true, L"fr"});
}

} // namespace
