#include "builder/win32/builder_window.h"

#include "builder/layout_table.h"
#include "builder/win32/button_art.h"
#include "builder/win32/dpi.h"
#include "builder/win32/window_parts.h"
#include "win32util/result_macros.h"
#include "win32util/system_message.h"
#include "win32util/text.h"

#include <commctrl.h>

#include <algorithm>
#include <utility>

namespace qvn::win32 {
using win32util::Utf8;
using win32util::Wide;
using namespace parts;
using layout::ControlKind;

BuilderWindow::BuilderWindow(std::unique_ptr<SystemServices> services)
    : services_(services != nullptr ? std::move(services) : std::make_unique<SystemServices>()),
      form_(*services_) {
    services_->SetUnloader([this] { Unload(); });
    form_.Model().SetObserver(this);
}

BuilderWindow::~BuilderWindow() {
    // The add-in unloads the window before it lets go; this only frees what is left without
    // calling back into an add-in that may be gone.
    form_.Model().SetObserver(nullptr);
    form_.Connect = nullptr;
    form_.Unload();
    EnableOtherWindows();
    DestroyNativeWindow();
    // Fails, harmlessly, while another builder window of this module exists.
    UnregisterClassW(kClassName, ThisModule());
}

void BuilderWindow::SetVBInstance(std::shared_ptr<IdeRoot> vbInstance) {
    form_.VBInstance = std::move(vbInstance);
}

void BuilderWindow::SetConnect(AddinConnect* connect) {
    form_.Connect = connect;
}

bool BuilderWindow::PrepareEdit() {
    return form_.PrepareEdit();
}

HWND BuilderWindow::ControlWindow(int row) const {
    if (row < 0 || static_cast<std::size_t>(row) >= controls_.size()) {
        return nullptr;
    }
    return controls_[static_cast<std::size_t>(row)];
}

// --- Lifecycle ----------------------------------------------------------------------------

void BuilderWindow::ShowModal() {
    // The load step's own request to show, and any other made while the window is up.
    if (inShowModal_) {
        return;
    }
    inShowModal_ = true;
    struct Reset {
        bool& flag;
        ~Reset() { flag = false; }
    } reset{inShowModal_};

    if (!form_.IsLoaded()) {
        if (hwnd_ == nullptr && !CreateNativeWindow()) {
            return;
        }
        form_.Load();
    }
    if (hwnd_ == nullptr || !form_.IsLoaded()) {
        return;
    }
    DisableOtherWindows();
    showing_ = true;
    ShowWindow(hwnd_, SW_SHOW);
    SetForegroundWindow(hwnd_);
    UpdateWindow(hwnd_);
    FocusModelControl();
    RunModalLoop();
    showing_ = false;
    EnableOtherWindows();
}

void BuilderWindow::HideForm() {
    showing_ = false;
    if (hwnd_ == nullptr) {
        return;
    }
    // Re-enabled first, so that activation passes to the window the user came from.
    EnableOtherWindows();
    ShowWindow(hwnd_, SW_HIDE);
    // Wakes the modal loop should the request come from outside its dispatch.
    PostMessageW(hwnd_, WM_NULL, 0, 0);
}

void BuilderWindow::Unload() {
    if (!form_.IsLoaded()) {
        return;
    }
    form_.Unload();
    showing_ = false;
    EnableOtherWindows();
    DestroyNativeWindow();
    WakeModalLoop();
}

void BuilderWindow::WakeModalLoop() const {
    if (loopThread_ != 0) {
        PostThreadMessageW(loopThread_, WM_NULL, 0, 0);
    }
}

void BuilderWindow::RunModalLoop() {
    MSG msg{};
    bool quit = false;
    loopThread_ = GetCurrentThreadId();
    while (showing_ && hwnd_ != nullptr && IsWindowVisible(hwnd_)) {
        const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0) {
            quit = true;
            break;
        }
        if (got == -1) {
            break;
        }
        if (HandleKey(msg)) {
            continue;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    loopThread_ = 0;
    if (quit) {
        // The thread is closing: the window goes the way Exit takes, and the message is
        // passed on to the loop that owns the thread.
        Unload();
        PostQuitMessage(static_cast<int>(msg.wParam));
    }
}

bool BuilderWindow::HandleKey(const MSG& msg) {
    if (msg.message != WM_KEYDOWN || hwnd_ == nullptr ||
        (msg.hwnd != hwnd_ && !IsChild(hwnd_, msg.hwnd))) {
        return false;
    }
    const bool control = GetKeyState(VK_CONTROL) < 0;
    const bool alt = GetKeyState(VK_MENU) < 0;
    if (control || alt) {
        return false;
    }
    auto& model = form_.Model();
    try {
        switch (msg.wParam) {
        case VK_TAB:
            model.UserTab(GetKeyState(VK_SHIFT) < 0);
            return true;
        case VK_LEFT:
        case VK_UP:
            return model.UserArrow(false);
        case VK_RIGHT:
        case VK_DOWN:
            return model.UserArrow(true);
        case VK_RETURN:
            // Enter presses a focused button, as in a dialog; in the prompt box it is a line break.
            if (auto row = layout::RowForId(GetDlgCtrlID(msg.hwnd))) {
                const auto kind = LayoutOf(*row).kind;
                if (kind == ControlKind::PictureButton || kind == ControlKind::CommandButton) {
                    model.UserClick(*row);
                    return true;
                }
            }
            return false;
        default:
            return false;
        }
    } catch (...) {
        LOG_CAUGHT_EXCEPTION();
        return true;
    }
}

BOOL CALLBACK BuilderWindow::DisableWindow(HWND other, LPARAM self) {
    auto* window = reinterpret_cast<BuilderWindow*>(self);
    // Its own tooltip window stays as it is.
    if (other != window->hwnd_ && GetWindow(other, GW_OWNER) != window->hwnd_ &&
        IsWindowEnabled(other)) {
        EnableWindow(other, FALSE);
        window->disabledWindows_.push_back(other);
    }
    return TRUE;
}

void BuilderWindow::DisableOtherWindows() {
    EnumThreadWindows(GetCurrentThreadId(), &BuilderWindow::DisableWindow,
                      reinterpret_cast<LPARAM>(this));
}

void BuilderWindow::EnableOtherWindows() {
    for (HWND other : disabledWindows_) {
        if (IsWindow(other)) {
            EnableWindow(other, TRUE);
        }
    }
    disabledWindows_.clear();
}

// --- Messages -----------------------------------------------------------------------------

LRESULT CALLBACK BuilderWindow::WindowProc(HWND hwnd, UINT message, WPARAM wParam,
                                           LPARAM lParam) noexcept {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<BuilderWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        if (self != nullptr && self->hwnd_ == hwnd) {
            self->OnDestroyedFromOutside();
        }
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    if (self == nullptr || self->hwnd_ != hwnd) {
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    try {
        return self->OnMessage(message, wParam, lParam);
    } catch (...) {
        // Nothing may unwind through the system's code; the handlers report their own
        // failures, and what they let through is traced.
        LOG_CAUGHT_EXCEPTION();
        return 0;
    }
}

// Destroyed by someone else: an unload like any other closing of the window.
void BuilderWindow::OnDestroyedFromOutside() noexcept {
    ForgetNativeWindow();
    showing_ = false;
    WakeModalLoop();
    FreeDrawingObjects();
    EnableOtherWindows();
    try {
        form_.Unload();
    }
    CATCH_LOG()
}

LRESULT BuilderWindow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        OnCommand(LOWORD(wParam), HIWORD(wParam));
        return 0;
    case WM_CLOSE:
        // The close box takes Exit's path.
        services_->UnloadForm();
        return 0;
    case WM_ACTIVATE:
        // Back from a message box or another program: focus returns to the model's control.
        if (LOWORD(wParam) != WA_INACTIVE && FocusModelControl()) {
            return 0;
        }
        break;
    case WM_DPICHANGED:
        // Moved to a monitor with another DPI, in a process that follows it per monitor.
        ChangeDpi(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
        return 0;
    case WM_SETFOCUS:
        FocusModelControl();
        return 0;
    default:
        break;
    }
    return DefWindowProcW(hwnd_, message, wParam, lParam);
}

void BuilderWindow::OnCommand(int id, int code) {
    const auto row = layout::RowForId(id);
    if (!row) {
        return;
    }
    HWND ctl = ControlWindow(*row);
    auto& model = form_.Model();
    switch (LayoutOf(*row).kind) {
    case ControlKind::Option:
    case ControlKind::CheckBox:
    case ControlKind::PictureButton:
    case ControlKind::CommandButton:
        if (code == BN_CLICKED || code == BN_DOUBLECLICKED) {
            model.UserClick(*row);
        } else if (code == BN_SETFOCUS) {
            model.UserFocus(*row);
        }
        break;
    case ControlKind::TextBox:
        if (code == EN_CHANGE && settingTextRow_ != row && ctl != nullptr) {
            model.UserTyped(*row, Utf8(WindowText(ctl)));
            // A handler may refuse or rewrite the text; the box shows what the model holds.
            if (ctl == ControlWindow(*row) && Utf8(WindowText(ctl)) != model.Text(*row)) {
                ControlChanged(*row, Property::Text);
            }
        } else if (code == EN_SETFOCUS) {
            model.UserFocus(*row);
        }
        break;
    case ControlKind::Image:
        if (code == STN_CLICKED || code == STN_DBLCLK) {
            model.UserClick(*row);
        }
        break;
    default:
        break;
    }
}

} // namespace qvn::win32

namespace qvn {

std::unique_ptr<BuilderForm> CreateBuilderForm() {
    return std::make_unique<win32::BuilderWindow>();
}

} // namespace qvn
