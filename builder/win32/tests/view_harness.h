// What the tests of the native builder window share: services that record each call on its
// way to the system, a counting add-in object, a fake IDE, and a way to run test code inside
// the window's modal display.
#pragma once

#include "builder/win32/builder_window.h"

#include <windows.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace qvn::win32::testing {
namespace ctl = layout::ctl;

struct MessageCall {
    std::string text;
    std::int32_t style = 0;
    std::optional<std::string> title;
};

class RecordingServices : public SystemServices {
public:
    int ShowMessage(const std::string& text, std::int32_t style,
                    const std::optional<std::string>& title) override;
    bool SetClipboardText(const std::string& text) override;
    std::optional<std::string> ShowHelp(const std::string& helpFile, unsigned command) override;

    std::vector<MessageCall> messages;
    bool failClipboard = false;
    // The help viewer is not started under test; this is what it "reports".
    std::optional<std::string> helpAnswer;
    std::vector<std::string> helpFiles;
    HWND helpOwner = nullptr;
};

// The add-in object: Show and Hide counted, and passed on to the window as the real one does.
class CountingConnect : public AddinConnect {
public:
    void Show() noexcept override;
    void Hide() noexcept override;
    BuilderForm* form = nullptr;
    int shows = 0;
    int hides = 0;
};

class FakeIde : public IdeRoot {
public:
    std::unique_ptr<IdeCodePane> ActiveCodePane() override;
    std::string MsgBoxResultType() override { return "VbMsgBoxResult"; }
    bool hasPane = true;
    long caretLine = 7;
    std::vector<std::pair<long, std::string>> inserted;
};

class Harness {
    void Show(const std::function<void()>& body, bool closeAfter);

public:
    Harness();
    ~Harness();

    // Shows the window modally and runs `body` once the modal loop runs; returns when the
    // display ends. A window still shown after `body` is closed the way Exit closes it.
    void WhileShown(const std::function<void()>& body);
    // Like WhileShown, but `body` runs on another thread, as an automation client would,
    // while the window's own thread stays in the modal loop (keys go through that loop).
    void DriveWhileShown(const std::function<void()>& body);
    // Presses a key (with Shift held when asked) through the system's input queue and waits
    // until the keyboard focus moves; false when it did not move within a few seconds.
    bool PressKey(UINT key, bool shift = false) const;
    // The control with the keyboard focus in the window's thread.
    [[nodiscard]] HWND FocusedControl() const;

    [[nodiscard]] HWND Window() const { return window->Hwnd(); }
    [[nodiscard]] HWND Ctl(layout::ControlName name, int index = layout::kNoIndex) const;
    // A mouse click on the control, as the user makes it.
    void Click(layout::ControlName name, int index = layout::kNoIndex) const;
    // Text put into a text box from outside, as typing does.
    void Type(layout::ControlName name, const std::string& text) const;
    // Worked example 3 entered as a user would: an If block on "Yes and No" with a Help
    // button, default button 2, "<>", title "Confirm", help file app.hlp, context 100.
    void ComposeIfThenElseExample() const;
    [[nodiscard]] FormModel& Model() const { return window->Form().Model(); }

    RecordingServices* services; // owned by the window
    CountingConnect connect;
    std::shared_ptr<FakeIde> ide = std::make_shared<FakeIde>();
    std::unique_ptr<BuilderWindow> window;
    DWORD windowThread = GetCurrentThreadId();
};

std::string Text(HWND hwnd);
std::string ClassOf(HWND hwnd);
// Top-level windows of this thread.
int ThreadWindowCount();
// Private bytes of this process (under Wine, its resident set).
std::size_t PrivateBytes();
std::string ClipboardText();

} // namespace qvn::win32::testing
