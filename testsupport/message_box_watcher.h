// Finds message boxes (dialog class "#32770") of any process on the desktop, records their
// title and text, and closes them by pressing one of their buttons. Used by the tests under
// Wine, where nothing else would ever close a modal box.
#pragma once

#include "win32util/text.h"

#include <windows.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace qvn::testing {

struct SeenMessageBox {
    std::wstring title;
    std::wstring text;                 // the box's message, line breaks as the box holds them
    std::vector<std::wstring> buttons; // captions of its push buttons, in child order
    bool hasIcon = false;              // a static icon control is present
    DWORD processId = 0;
};

class MessageBoxWatcher {
public:
    // `pressId` is the command sent to close each box (IDOK answers every box with an OK
    // button; IDCANCEL is used when the box has no OK button).
    explicit MessageBoxWatcher(int pressId = IDOK);
    ~MessageBoxWatcher();
    MessageBoxWatcher(const MessageBoxWatcher&) = delete;
    MessageBoxWatcher& operator=(const MessageBoxWatcher&) = delete;

    // Waits until `count` boxes in all have been seen and closed, or the deadline passes.
    bool WaitForCount(std::size_t count,
                      std::chrono::milliseconds deadline = std::chrono::seconds(20));
    [[nodiscard]] std::vector<SeenMessageBox> Seen() const;
    void Clear();

    // Converts CR LF into LF, so a test can compare with a text written with "\n".
    static std::wstring Lf(std::wstring text);

private:
    void Run();
    static BOOL CALLBACK VisitWindow(HWND hwnd, LPARAM self);
    bool HandleWindow(HWND hwnd);

    int pressId_;
    std::atomic<bool> stop_{false};
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<SeenMessageBox> seen_;
    std::vector<HWND> handled_;
    std::thread thread_;
};

using win32util::Utf8;
using win32util::Wide;

} // namespace qvn::testing
