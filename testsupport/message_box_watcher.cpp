#include "testsupport/message_box_watcher.h"

#include <algorithm>

namespace qvn::testing {
namespace {

std::wstring WindowText(HWND hwnd) {
    const int length = GetWindowTextLengthW(hwnd);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const int got = GetWindowTextW(hwnd, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(std::max(got, 0)));
    return text;
}

std::wstring ClassName(HWND hwnd) {
    wchar_t name[64] = {};
    GetClassNameW(hwnd, name, 64);
    return name;
}

} // namespace

MessageBoxWatcher::MessageBoxWatcher(int pressId) : pressId_(pressId) {
    thread_ = std::thread([this] { Run(); });
}

MessageBoxWatcher::~MessageBoxWatcher() {
    stop_ = true;
    thread_.join();
}

bool MessageBoxWatcher::HandleWindow(HWND hwnd) {
    if (!IsWindowVisible(hwnd) || ClassName(hwnd) != L"#32770")
        return false;
    {
        std::lock_guard lock(mutex_);
        if (std::find(handled_.begin(), handled_.end(), hwnd) != handled_.end())
            return false;
    }
    SeenMessageBox box;
    box.title = WindowText(hwnd);
    GetWindowThreadProcessId(hwnd, &box.processId);
    // A message box keeps its text in the static control with id 0xFFFF.
    if (HWND text = GetDlgItem(hwnd, 0xFFFF))
        box.text = WindowText(text);
    bool hasOk = false;
    for (HWND child = GetWindow(hwnd, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        const std::wstring cls = ClassName(child);
        if (cls == L"Button") {
            box.buttons.push_back(WindowText(child));
            hasOk = hasOk || GetDlgCtrlID(child) == IDOK;
        } else if (cls == L"Static" && (GetWindowLongW(child, GWL_STYLE) & SS_ICON) == SS_ICON) {
            box.hasIcon = SendMessageW(child, STM_GETICON, 0, 0) != 0;
        }
    }
    int press = pressId_;
    if (press == IDOK && !hasOk)
        press = IDCANCEL;
    {
        std::lock_guard lock(mutex_);
        handled_.push_back(hwnd);
        seen_.push_back(std::move(box));
    }
    PostMessageW(hwnd, WM_COMMAND, MAKEWPARAM(press, BN_CLICKED), 0);
    changed_.notify_all();
    return true;
}

BOOL CALLBACK MessageBoxWatcher::VisitWindow(HWND hwnd, LPARAM self) {
    reinterpret_cast<MessageBoxWatcher*>(self)->HandleWindow(hwnd);
    return TRUE;
}

void MessageBoxWatcher::Run() {
    while (!stop_) {
        EnumWindows(VisitWindow, reinterpret_cast<LPARAM>(this));
        // Forget boxes that are gone, so a reused handle is seen again.
        {
            std::lock_guard lock(mutex_);
            std::erase_if(handled_, [](HWND h) { return !IsWindow(h); });
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

bool MessageBoxWatcher::WaitForCount(std::size_t count, std::chrono::milliseconds deadline) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, deadline, [&] { return seen_.size() >= count; });
}

std::vector<SeenMessageBox> MessageBoxWatcher::Seen() const {
    std::lock_guard lock(mutex_);
    return seen_;
}

void MessageBoxWatcher::Clear() {
    std::lock_guard lock(mutex_);
    seen_.clear();
}

std::wstring MessageBoxWatcher::Lf(std::wstring text) {
    std::wstring out;
    for (std::size_t i = 0; i < text.size(); ++i)
        if (!(text[i] == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n'))
            out.push_back(text[i]);
    return out;
}

} // namespace qvn::testing
