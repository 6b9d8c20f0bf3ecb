#include "builder/win32/tests/view_harness.h"

#include "win32util/text.h"

#include <psapi.h>

#include <chrono>
#include <thread>
#include <utility>

namespace qvn::win32::testing {
using win32util::Utf8;
using win32util::Wide;
namespace {

thread_local const std::function<void()>* gBody = nullptr;

// The thread's windows, without the input-method window the system keeps for a thread while
// it has other windows: it comes and goes with them, and is not the builder's.
BOOL CALLBACK CountWindow(HWND window, LPARAM counter) {
    wchar_t name[8] = {};
    GetClassNameW(window, name, 8);
    if (lstrcmpiW(name, L"IME") != 0)
        ++*reinterpret_cast<int*>(counter);
    return TRUE;
}

void CALLBACK RunBody(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    if (const auto* body = std::exchange(gBody, nullptr)) {
        (*body)();
    }
}

class FakeModule : public IdeCodeModule {
public:
    explicit FakeModule(FakeIde& ide) : ide_(ide) {}
    void InsertLines(long line, const std::string& text) override {
        ide_.inserted.emplace_back(line, text);
    }
    // The window's own tests edit nothing in place.
    long CountOfLines() override { return 0; }
    std::string Lines(long, long) override { throw IdeError("no lines to read"); }
    void DeleteLines(long, long) override { throw IdeError("no lines to delete"); }
    std::string ProcOfLine(long, long&) override { throw IdeError("no procedures"); }
    long ProcBodyLine(const std::string&, long) override { throw IdeError("no procedures"); }
    long CountOfDeclarationLines() override { return 0; }
    std::vector<std::vector<std::string>> ProjectModules() override { return {}; }

private:
    FakeIde& ide_;
};

class FakePane : public IdeCodePane {
public:
    explicit FakePane(FakeIde& ide) : ide_(ide) {}
    void GetSelection(long& startLine, long& startColumn, long& endLine, long& endColumn) override {
        startLine = endLine = ide_.caretLine;
        startColumn = endColumn = 1;
    }
    std::unique_ptr<IdeCodeModule> CodeModule() override {
        return std::make_unique<FakeModule>(ide_);
    }

private:
    FakeIde& ide_;
};

} // namespace

int RecordingServices::ShowMessage(const std::string& text, std::int32_t style,
                                   const std::optional<std::string>& title) {
    messages.push_back({text, style, title});
    return SystemServices::ShowMessage(text, style, title);
}

bool RecordingServices::SetClipboardText(const std::string& text) {
    return !failClipboard && SystemServices::SetClipboardText(text);
}

std::optional<std::string> RecordingServices::ShowHelp(const std::string& helpFile, unsigned) {
    helpFiles.push_back(helpFile);
    helpOwner = Owner();
    return helpAnswer;
}

void CountingConnect::Show() noexcept {
    ++shows;
    if (form != nullptr) {
        form->ShowModal();
    }
}

void CountingConnect::Hide() noexcept {
    ++hides;
    if (form != nullptr) {
        form->HideForm();
    }
}

std::unique_ptr<IdeCodePane> FakeIde::ActiveCodePane() {
    if (!hasPane) {
        throw IdeError("no active code pane");
    }
    return std::make_unique<FakePane>(*this);
}

Harness::Harness() {
    auto recording = std::make_unique<RecordingServices>();
    services = recording.get();
    window = std::make_unique<BuilderWindow>(std::move(recording));
    connect.form = window.get();
    window->SetConnect(&connect);
    window->SetVBInstance(ide);
}

Harness::~Harness() {
    if (window->IsLoaded()) {
        window->Unload();
    }
}

void Harness::WhileShown(const std::function<void()>& body) {
    Show(body, true);
}

void Harness::Show(const std::function<void()>& body, bool closeAfter) {
    const std::function<void()> wrapped = [&] {
        body();
        if (closeAfter && window->IsShowing()) {
            window->Unload();
        }
    };
    gBody = &wrapped;
    const UINT_PTR timer = SetTimer(nullptr, 0, 0, &RunBody);
    window->ShowModal();
    if (gBody != nullptr) {
        // The display ended before the body could run.
        gBody = nullptr;
        KillTimer(nullptr, timer);
    }
}

HWND Harness::Ctl(layout::ControlName name, int index) const {
    return window->ControlWindow(layout::RowOf(name, index));
}

void Harness::Click(layout::ControlName name, int index) const {
    HWND ctl = Ctl(name, index);
    if (ClassOf(ctl) == "Static") {
        SendMessageW(ctl, WM_LBUTTONDOWN, MK_LBUTTON, 0);
        SendMessageW(ctl, WM_LBUTTONUP, 0, 0);
    } else {
        SendMessageW(ctl, BM_CLICK, 0, 0);
    }
}

void Harness::Type(layout::ControlName name, const std::string& text) const {
    SendMessageW(Ctl(name), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(Wide(text).c_str()));
}

void Harness::ComposeIfThenElseExample() const {
    Type(ctl::txtPrompt, "Quit now?");
    Type(ctl::txtTitle, "Confirm");
    Click(ctl::chkHelp);
    Click(ctl::optButtons, 4);
    Click(ctl::optDefBtn, 1);
    Click(ctl::optCodeOption, 2);
    Click(ctl::chkNotEqual);
    Type(ctl::txtHelpFile, "app.hlp");
    Type(ctl::txtHelpContext, "100");
}

std::string Text(HWND hwnd) {
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(hwnd)) + 1, L'\0');
    text.resize(
        static_cast<std::size_t>(GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size()))));
    return Utf8(text);
}

std::string ClassOf(HWND hwnd) {
    wchar_t name[64] = {};
    GetClassNameW(hwnd, name, 64);
    return Utf8(name);
}

int ThreadWindowCount() {
    int count = 0;
    EnumThreadWindows(GetCurrentThreadId(), &CountWindow, reinterpret_cast<LPARAM>(&count));
    return count;
}

std::size_t PrivateBytes() {
    PROCESS_MEMORY_COUNTERS_EX counters{};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                         sizeof counters);
    // Wine leaves PrivateUsage at 0, and its commit charge stays put while memory is taken
    // from regions it reserved at start; the resident set is the figure that moves there.
    return counters.PrivateUsage != 0 ? counters.PrivateUsage : counters.WorkingSetSize;
}

std::string ClipboardText() {
    std::string out;
    if (!OpenClipboard(nullptr)) {
        return out;
    }
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        if (const auto* text = static_cast<const wchar_t*>(GlobalLock(data))) {
            out = Utf8(text);
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    return out;
}

} // namespace qvn::win32::testing

namespace qvn::win32::testing {

void Harness::DriveWhileShown(const std::function<void()>& body) {
    std::thread driver;
    Show(
        [&] {
            driver = std::thread([&] {
                body();
                if (HWND hwnd = window->Hwnd()) {
                    PostMessageW(hwnd, WM_CLOSE, 0, 0);
                }
            });
        },
        false);
    if (driver.joinable()) {
        driver.join();
    }
}

HWND Harness::FocusedControl() const {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(windowThread, &info);
    return info.hwndFocus;
}

bool Harness::PressKey(UINT key, bool shift) const {
    const HWND before = FocusedControl();
    std::vector<INPUT> inputs;
    auto add = [&](WORD vk, DWORD flags) {
        INPUT input{};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = vk;
        input.ki.dwFlags = flags;
        inputs.push_back(input);
    };
    if (shift) {
        add(VK_SHIFT, 0);
    }
    add(static_cast<WORD>(key), 0);
    add(static_cast<WORD>(key), KEYEVENTF_KEYUP);
    if (shift) {
        add(VK_SHIFT, KEYEVENTF_KEYUP);
    }
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    while (FocusedControl() == before && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    // The focus moves in the middle of the key's handling (an arrow key focuses the option
    // before selecting it); a message sent to the window is taken only once the window's
    // thread is back in its loop, so the state read after this is the finished one.
    if (HWND hwnd = window->Hwnd()) {
        DWORD_PTR ignored = 0;
        SendMessageTimeoutW(hwnd, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &ignored);
    }
    return FocusedControl() != before;
}

} // namespace qvn::win32::testing
