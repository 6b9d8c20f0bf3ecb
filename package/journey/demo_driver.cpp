// qvn-demo-driver: the hands of scripts/demo under Wine.
//
//   qvn-demo-driver install FOLDER [/user]
//       runs FOLDER\QVNInstall.exe as a user would, reads and answers its message, and waits
//       until the registration tool has registered "Quorvane.Connect" (for every user; with
//       /user, for this user and the VBA editor, which the tool itself waits for).
//   qvn-demo-driver session IDEHOST MODULE CARET PICTURES SAVED [--draw-frames] [--host NAME]
//       starts the stand-in IDE with MODULE open and the caret on line CARET, chooses
//       Add-Ins > Quorvane, composes the If-Then-Else example through the builder's native
//       controls, pastes it, takes pictures into the folder PICTURES, closes the window and
//       the IDE (which writes the module to SAVED), prints the module and checks it against
//       what the composition engine writes for the example. --draw-frames has Wine draw the
//       window frames itself, for an X server without a window manager; --host names the
//       stand-in's flavour (vb5, vb6, vba).
//
// Exit status 0 when everything happened as it should; 1 otherwise, with a line saying what
// went wrong and what to do.
#include "package/journey/example_session.h"
#include "package/journey/ui_driver.h"
#include "testsupport/wine_helpers.h"

#include <tlhelp32.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

using namespace qvn::drive;
using Clock = std::chrono::steady_clock;

constexpr wchar_t kProgId[] = L"Quorvane.Connect";

void Say(const std::string& text) {
    std::printf("%s\n", text.c_str());
    std::fflush(stdout);
}

int Fail(const std::string& what, const std::string& todo) {
    // On standard output, with the rest of the story: Wine's own chatter goes to stderr.
    std::printf("FAILED: %s\n        %s\n", what.c_str(), todo.c_str());
    std::fflush(stdout);
    return 1;
}

std::string Seconds(Clock::time_point since) {
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count();
    char text[32];
    std::snprintf(text, sizeof text, "%.1f s", static_cast<double>(ms) / 1000.0);
    return text;
}

// Reads every message box `processId` shows, prints it and answers it with OK (Cancel when
// there is no OK). Returns the texts seen.
std::vector<std::string> AnswerBoxes(DWORD processId, std::vector<HWND>& answered) {
    std::vector<std::string> seen;
    for (HWND box : DialogsOf(processId)) {
        if (std::find(answered.begin(), answered.end(), box) != answered.end()) {
            continue;
        }
        answered.push_back(box);
        HWND textControl = GetDlgItem(box, 0xFFFF);
        const std::string text = textControl ? Utf8(WindowText(textControl)) : "";
        seen.push_back(Utf8(WindowText(box)) + ": " + text);
        const int press = GetDlgItem(box, IDOK) ? IDOK : IDCANCEL;
        PostMessageW(box, WM_COMMAND, MAKEWPARAM(press, BN_CLICKED), 0);
    }
    return seen;
}

std::wstring RegistryDefault(HKEY root, const std::wstring& path) {
    wchar_t value[1024] = {};
    DWORD bytes = sizeof value - sizeof(wchar_t);
    if (RegGetValueW(root, path.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, value, &bytes) !=
        ERROR_SUCCESS) {
        return {};
    }
    return value;
}

int Install(const std::wstring& folder, bool perUser) {
    const std::wstring tool = folder + L"\\QVNInstall.exe";
    std::wstring command = L"\"" + tool + L"\"" + (perUser ? L" /user" : L"");
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(tool.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        folder.c_str(), &startup, &process)) {
        return Fail("QVNInstall.exe could not be started from " + Utf8(folder) + " (error " +
                        std::to_string(GetLastError()) + ").",
                    "Build it with: cmake --build --preset win64 --target QVNInstall");
    }
    std::vector<HWND> answered;
    std::vector<std::string> boxes;
    const bool ended = WaitUntil(
        [&] {
            for (auto& box : AnswerBoxes(process.dwProcessId, answered)) {
                Say("   QVNInstall shows \"" + box + "\"; pressing OK");
                boxes.push_back(box);
            }
            return WaitForSingleObject(process.hProcess, 0) == WAIT_OBJECT_0;
        },
        60s);
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(process.hProcess, &code);
    if (!ended) {
        TerminateProcess(process.hProcess, 1);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    if (!ended) {
        return Fail("QVNInstall.exe did not end within 60 s.",
                    "Look for a window it left open; run scripts/demo again.");
    }
    if (boxes.empty()) {
        return Fail("QVNInstall.exe showed no message.", "Run it by hand to see what it does.");
    }
    if (code != 0) {
        return Fail("QVNInstall.exe ended with status " + std::to_string(code) + ".",
                    "Its message above says which step failed.");
    }
    if (perUser) {
        const std::wstring classKey = std::wstring(L"Software\\Classes\\") + kProgId + L"\\CLSID";
        const std::wstring clsid = RegistryDefault(HKEY_CURRENT_USER, classKey);
        if (clsid.empty()) {
            return Fail("\"Quorvane.Connect\" is not registered for the user.",
                        "Run: wine regsvr32 /n /i:user x64\\QVN.dll in the folder and read its "
                        "report.");
        }
        Say("   registered Quorvane.Connect " + Utf8(clsid) + " for this user");
        return 0;
    }
    // The registration tool runs on by itself and reports on its console under Wine.
    std::wstring clsid;
    const bool registered = WaitUntil(
        [&] {
            clsid = RegistryDefault(HKEY_CLASSES_ROOT, std::wstring(kProgId) + L"\\CLSID");
            return !clsid.empty() && !::qvn::testing::ProgramRunning(L"regsvr32.exe");
        },
        60s);
    if (!registered) {
        return Fail("\"Quorvane.Connect\" was not registered within 60 s.",
                    "Run: wine regsvr32 qvn.dll in the install folder and read its report.");
    }
    const std::wstring server =
        RegistryDefault(HKEY_CLASSES_ROOT, L"CLSID\\" + clsid + L"\\InprocServer32");
    Say("   registered Quorvane.Connect " + Utf8(clsid) + " -> " + Utf8(server));
    return 0;
}

std::string ReadFile(const std::wstring& path) {
    std::ifstream in(path.c_str(), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void Redraw(HWND window) {
    RedrawWindow(window, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

struct Session {
    PROCESS_INFORMATION process{};
    std::vector<HWND> answered;
    std::vector<std::string> boxes;
    HWND ide = nullptr;

    Session() = default;
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;
    ~Session() {
        if (process.hThread != nullptr) {
            CloseHandle(process.hThread);
        }
        if (process.hProcess != nullptr) {
            CloseHandle(process.hProcess);
        }
    }

    // Answers any message box the IDE shows; true when one was shown since the last call.
    bool BoxShown() {
        auto seen = AnswerBoxes(process.dwProcessId, answered);
        for (auto& box : seen) {
            Say("   the IDE shows \"" + box + "\"");
        }
        boxes.insert(boxes.end(), seen.begin(), seen.end());
        return !seen.empty();
    }
    bool Ended() const { return WaitForSingleObject(process.hProcess, 0) == WAIT_OBJECT_0; }
    void CloseIde() {
        if (ide != nullptr && IsWindow(ide)) {
            PostMessageW(ide, WM_CLOSE, 0, 0);
        }
        const bool ended = WaitUntil(
            [&] {
                BoxShown();
                return Ended();
            },
            30s);
        if (!ended) {
            TerminateProcess(process.hProcess, 1);
        }
    }
};

int PlaySession(const std::wstring& idehost, const std::wstring& module, long caret,
                const std::wstring& pictures, const std::wstring& saved, bool drawFrames,
                const std::wstring& host) {
    if (drawFrames) {
        // Without a window manager Wine draws the frames itself when asked to; the pictures
        // then show title bars as Windows would.
        ::qvn::testing::LetWinePlaceWindows(nullptr);
    }
    DeleteFileW(saved.c_str());
    std::wstring command = L"\"" + idehost + L"\" --host " + host + L" --module \"" + module +
                           L"\" --caret " + std::to_wstring(caret) +
                           L" --click Quorvane --save-module \"" + saved + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    Session session;
    if (!CreateProcessW(idehost.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &session.process)) {
        return Fail("the stand-in IDE " + Utf8(idehost) + " could not be started.",
                    "Build it with: cmake --build --preset win64 --target idehost");
    }
    auto stage = Clock::now();
    Say("== choosing Add-Ins > Quorvane in the IDE");
    HWND builder = nullptr;
    WaitUntil(
        [&] {
            session.BoxShown();
            builder = FindTopWindow(kBuilderWindowClass, session.process.dwProcessId);
            return builder != nullptr || session.Ended();
        },
        60s);
    session.ide = FindTopWindow(kIdeWindowClass, session.process.dwProcessId);
    // Wide enough for the pasted If line to show whole in the picture.
    if (session.ide != nullptr) {
        SetWindowPos(session.ide, nullptr, 0, 0, 1000, 600, SWP_NOZORDER | SWP_NOACTIVATE);
    }
    if (builder == nullptr) {
        const bool told = !session.boxes.empty();
        session.CloseIde();
        return Fail("the builder window did not open within 60 s.",
                    told ? "The IDE's message above says why."
                         : "The IDE said nothing: check that the install step above listed "
                           "and registered the add-in.");
    }
    Say("   the window \"" + Utf8(WindowText(builder)) + "\" is open (" + Seconds(stage) + ")");

    stage = Clock::now();
    Say("== composing the If-Then-Else example through the window's controls");
    if (auto problem = ComposeIfThenElseExample(builder)) {
        PostMessageW(builder, WM_CLOSE, 0, 0);
        session.CloseIde();
        return Fail("composing went wrong: " + *problem + ".",
                    "The builder window does not behave as it should; see its tests.");
    }
    Redraw(session.ide);
    Redraw(builder);
    const std::wstring withBuilder = pictures + L"\\ide-with-builder.bmp";
    if (!SaveScreenPicture(AreaOf({session.ide, builder}), withBuilder)) {
        Say("   (no picture: the screen could not be read)");
    }
    Say("   composed (" + Seconds(stage) + ")");

    stage = Clock::now();
    Say("== pressing Paste");
    HWND pane = session.ide ? FindChildOfClass(session.ide, L"Edit") : nullptr;
    const std::wstring before = pane ? WindowText(pane) : L"";
    Click(BuilderControl(builder, ctl::cmdPaste));
    bool refused = false;
    const bool pasted = WaitUntil(
        [&] {
            refused = session.BoxShown();
            return refused || (pane != nullptr && WindowText(pane) != before);
        },
        10s);
    if (!pasted || refused) {
        PostMessageW(builder, WM_CLOSE, 0, 0);
        session.CloseIde();
        return Fail(refused ? "Paste was refused with the message above."
                            : "Paste changed nothing in the code pane within 10 s.",
                    "See the add-in's tests of Paste against the stand-in IDE.");
    }
    Say("   pasted (" + Seconds(stage) + ")");

    stage = Clock::now();
    Say("== pressing Exit, then closing the IDE");
    Click(BuilderControl(builder, ctl::cmdExit));
    if (!WaitForWindowGone(builder, 10s)) {
        PostMessageW(builder, WM_CLOSE, 0, 0);
        session.CloseIde();
        return Fail("the builder window stayed open after Exit.", "See the window's tests.");
    }
    Redraw(session.ide);
    const std::wstring afterPaste = pictures + L"\\code-pane-after-paste.bmp";
    if (!SaveScreenPicture(AreaOf({session.ide}), afterPaste)) {
        Say("   (no picture: the screen could not be read)");
    }
    session.CloseIde();
    Say("   closed (" + Seconds(stage) + ")");

    const std::string savedText = ReadFile(saved);
    if (savedText.empty()) {
        return Fail("the IDE wrote no module to " + Utf8(saved) + ".",
                    "See the stand-in IDE's --save-module switch.");
    }
    const auto got = FileLines(savedText);
    const auto code = IfThenElseExampleCode();
    // Paste indents the code like the lines around the caret: whatever the first pasted line
    // starts with, every pasted line with text must start with too.
    std::string indent;
    if (caret >= 1 && static_cast<std::size_t>(caret) <= got.size()) {
        const std::string& first = got[static_cast<std::size_t>(caret - 1)];
        indent = first.substr(0, first.find_first_not_of(" \t"));
    }
    const auto want = ModuleAfterPaste(FileLines(ReadFile(module)), caret, code, indent);
    Say("== the module after Paste");
    for (const auto& line : got) {
        Say("   | " + line);
    }
    if (got != want) {
        Say("== what the composition engine writes, pasted before line " + std::to_string(caret));
        for (const auto& line : want) {
            Say("   | " + line);
        }
        return Fail("the pasted code differs from what the composition engine writes.",
                    "Compare the two listings above; the window or the add-in changed the code.");
    }
    if (!session.boxes.empty()) {
        return Fail("the IDE showed a message during the session.",
                    "Read it above; a clean session shows none.");
    }
    Say("== the pasted code is exactly what the composition engine writes");
    return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    const std::wstring usage =
        L"usage: qvn-demo-driver install FOLDER [/user]\n"
        L"       qvn-demo-driver session IDEHOST MODULE CARET PICTURES SAVED [--draw-frames] "
        L"[--host vb5|vb6|vba]\n";
    const std::vector<std::wstring> args(argv + 1, argv + argc);
    if ((args.size() == 2 || (args.size() == 3 && args[2] == L"/user")) && args[0] == L"install") {
        return Install(args[1], args.size() == 3);
    }
    if (args.size() >= 6 && args[0] == L"session") {
        bool drawFrames = false;
        std::wstring host = L"vb5";
        bool ok = true;
        for (std::size_t i = 6; i < args.size(); ++i) {
            if (args[i] == L"--draw-frames") {
                drawFrames = true;
            } else if (args[i] == L"--host" && i + 1 < args.size()) {
                host = args[++i];
            } else {
                ok = false;
            }
        }
        if (ok) {
            const long caret = std::wcstol(args[3].c_str(), nullptr, 10);
            return PlaySession(args[1], args[2], caret, args[4], args[5], drawFrames, host);
        }
    }
    std::fputws(usage.c_str(), stderr);
    return 2;
}
