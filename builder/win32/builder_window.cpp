#include "builder/win32/builder_window.h"

#include "builder/layout_table.h"
#include "builder/win32/button_art.h"
#include "builder/win32/dpi.h"
#include "win32util/error_log.h"
#include "win32util/system_message.h"
#include "win32util/text.h"

#include <commctrl.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <utility>

namespace qvn::win32 {
using win32util::Utf8;
using win32util::Wide;
namespace {

using layout::ControlKind;

#ifdef QVN_DELIBERATE_LEAKS
std::atomic<DeliberateLeak> gLeak{DeliberateLeak::None};
#endif

HINSTANCE ThisModule() {
    // The window class belongs to the module holding this code: qvn.dll inside the IDE, the
    // program itself in the tests.
    return win32util::ModuleOfAddress(reinterpret_cast<const void*>(&ThisModule));
}

bool RegisterWindowClass(WNDPROC proc) {
    WNDCLASSEXW cls{};
    cls.cbSize = sizeof cls;
    if (GetClassInfoExW(ThisModule(), BuilderWindow::kClassName, &cls)) {
        return true;
    }
    cls = WNDCLASSEXW{};
    cls.cbSize = sizeof cls;
    cls.lpfnWndProc = proc;
    cls.hInstance = ThisModule();
    cls.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    cls.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
    cls.lpszClassName = BuilderWindow::kClassName;
    return RegisterClassExW(&cls) != 0;
}

constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPSIBLINGS;
constexpr DWORD kWindowExStyle = WS_EX_DLGMODALFRAME | WS_EX_APPWINDOW;

const layout::ControlSpec& LayoutOf(int row) {
    return FormModel::Layout(row);
}

std::optional<int> ContainerRow(int row) {
    const auto& entry = LayoutOf(row);
    if (entry.container.empty()) {
        return std::nullopt;
    }
    return layout::FindRow(entry.container);
}

// Position in the window's client area, in twips: containers are frames on the window.
POINT TwipsOrigin(int row) {
    const auto& entry = LayoutOf(row);
    POINT origin{entry.left, entry.top};
    if (auto container = ContainerRow(row)) {
        origin.x += LayoutOf(*container).left;
        origin.y += LayoutOf(*container).top;
    }
    return origin;
}

struct NativeKind {
    const wchar_t* className;
    DWORD style;
    DWORD exStyle;
};

NativeKind NativeKindOf(const layout::ControlSpec& entry) {
    switch (entry.kind) {
    case ControlKind::Frame:
        return {L"BUTTON", BS_GROUPBOX, 0};
    case ControlKind::Option:
        // Not automatic: the model decides which option is selected.
        return {L"BUTTON", BS_RADIOBUTTON | BS_NOTIFY | WS_TABSTOP, 0};
    case ControlKind::CheckBox:
        return {L"BUTTON", BS_CHECKBOX | BS_NOTIFY | WS_TABSTOP, 0};
    case ControlKind::TextBox:
        if (entry.multiLine) {
            return {L"EDIT",
                    ES_LEFT | ES_MULTILINE | ES_WANTRETURN | ES_AUTOVSCROLL | WS_VSCROLL |
                        WS_TABSTOP,
                    WS_EX_CLIENTEDGE};
        }
        return {L"EDIT", ES_LEFT | ES_AUTOHSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE};
    case ControlKind::Label:
        // A caption a pixel wider than its label (font metrics differ by system) is clipped at
        // the end rather than wrapped out of sight.
        return {L"STATIC", SS_LEFTNOWORDWRAP | SS_NOPREFIX, 0};
    case ControlKind::PictureButton:
        return {L"BUTTON",
                BS_PUSHBUTTON | BS_NOTIFY | WS_TABSTOP |
                    static_cast<DWORD>(entry.picture.isIcon ? BS_ICON : BS_BITMAP),
                0};
    case ControlKind::CommandButton:
        return {L"BUTTON", BS_PUSHBUTTON | BS_NOTIFY | WS_TABSTOP, 0};
    case ControlKind::Image:
        return {L"STATIC", SS_ICON | SS_CENTERIMAGE | SS_NOTIFY | WS_BORDER, 0};
    case ControlKind::FileDialog:
        break;
    }
    return {nullptr, 0, 0};
}

HICON StandardIcon(layout::Picture picture) {
    const wchar_t* id = nullptr;
    switch (picture) {
    case layout::Picture::IconCritical:
        id = reinterpret_cast<const wchar_t*>(IDI_HAND);
        break;
    case layout::Picture::IconQuestion:
        id = reinterpret_cast<const wchar_t*>(IDI_QUESTION);
        break;
    case layout::Picture::IconExclamation:
        id = reinterpret_cast<const wchar_t*>(IDI_EXCLAMATION);
        break;
    case layout::Picture::IconInformation:
        id = reinterpret_cast<const wchar_t*>(IDI_ASTERISK);
        break;
    default:
        return nullptr;
    }
    // Shared system icons: never destroyed by us.
    return LoadIconW(nullptr, id);
}

bool IsStandardIcon(layout::Picture picture) {
    return StandardIcon(picture) != nullptr;
}

// Rows in the order the controls are made: tab order first, so that the native z-order
// follows it, then the controls without a tab place (the images lie over their frame).
std::vector<int> CreationOrder() {
    std::vector<int> rows;
    const int count = static_cast<int>(layout::Controls().size());
    for (int row = 0; row < count; ++row) {
        rows.push_back(row);
    }
    std::stable_sort(rows.begin(), rows.end(), [](int a, int b) {
        const int ta = LayoutOf(a).tabIndex == layout::kNoTabIndex ? 1 << 20 : LayoutOf(a).tabIndex;
        const int tb = LayoutOf(b).tabIndex == layout::kNoTabIndex ? 1 << 20 : LayoutOf(b).tabIndex;
        return ta < tb;
    });
    return rows;
}

WNDPROC gEditProc = nullptr;

// A multi-line edit control does not report text set with WM_SETTEXT as a change, unlike a
// one-line one; automation sets text that way, so both report it.
LRESULT CALLBACK EditProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    const LRESULT result = CallWindowProcW(gEditProc, hwnd, message, wParam, lParam);
    if (message == WM_SETTEXT && (GetWindowLongW(hwnd, GWL_STYLE) & ES_MULTILINE) != 0) {
        SendMessageW(GetParent(hwnd), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(hwnd), EN_CHANGE),
                     reinterpret_cast<LPARAM>(hwnd));
    }
    return result;
}

std::wstring WindowText(HWND hwnd) {
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(hwnd)) + 1, L'\0');
    const int n = GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size()));
    text.resize(static_cast<std::size_t>(std::max(n, 0)));
    return text;
}

} // namespace

#ifdef QVN_DELIBERATE_LEAKS
void SetDeliberateLeak(DeliberateLeak leak) {
    gLeak = leak;
}
#endif

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
}

void BuilderWindow::RunModalLoop() {
    MSG msg{};
    bool quit = false;
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

// --- Native window ------------------------------------------------------------------------

bool BuilderWindow::CreateNativeWindow() {
    if (!RegisterWindowClass(&BuilderWindow::WindowProc)) {
        return false;
    }
    const std::wstring caption = Wide(form_.Caption());
    hwnd_ = CreateWindowExW(kWindowExStyle, kClassName, caption.c_str(), kWindowStyle,
                            CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr,
                            nullptr, ThisModule(), this);
    if (hwnd_ == nullptr) {
        return false;
    }
    dpi_ = WindowDpi(hwnd_);
    const SIZE outer = OuterSizeForClient(TwipsToPixels(layout::kClientWidth, dpi_),
                                          TwipsToPixels(layout::kClientHeight, dpi_), kWindowStyle,
                                          kWindowExStyle, dpi_);
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const int x = work.left + std::max(0L, (work.right - work.left - outer.cx) / 2);
    const int y = work.top + std::max(0L, (work.bottom - work.top - outer.cy) / 2);
    SetWindowPos(hwnd_, nullptr, x, y, outer.cx, outer.cy, SWP_NOZORDER | SWP_NOACTIVATE);

    CreateFonts();
    controls_.assign(layout::Controls().size(), nullptr);
    for (int row : CreationOrder()) {
        CreateControl(row);
    }
    CreateTooltips();
    services_->SetOwner(hwnd_);

#ifdef QVN_DELIBERATE_LEAKS
    if (gLeak == DeliberateLeak::Window) {
        CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, ThisModule(),
                        nullptr);
    } else if (gLeak == DeliberateLeak::Memory) {
        if (void* block = HeapAlloc(GetProcessHeap(), 0, 256 * 1024)) {
            std::memset(block, 1, 256 * 1024);
        }
    }
#endif
    return true;
}

void BuilderWindow::CreateFonts() {
    const LOGFONTW message = MessageFont(dpi_);
    dialogFont_ = GdiHandle(static_cast<HGDIOBJ>(CreateFontIndirectW(&message)));

    // The one control with a font of its own names it in the layout table.
    for (const auto& entry : layout::Controls()) {
        if (entry.font.name.empty()) {
            continue;
        }
        LOGFONTW wanted{};
        wanted.lfHeight = -MulDiv(static_cast<int>(entry.font.pointSize * 100 + 0.5),
                                  static_cast<int>(dpi_), 72 * 100);
        wanted.lfWeight = entry.font.weight;
        wanted.lfCharSet = DEFAULT_CHARSET;
        const std::wstring face = Wide(entry.font.name);
        wcsncpy(wanted.lfFaceName, face.c_str(), LF_FACESIZE - 1);
        GdiHandle font(static_cast<HGDIOBJ>(CreateFontIndirectW(&wanted)));

        // A missing face is silently replaced by another; then the dialog font in bold
        // looks more at home than whatever the mapper picked.
        wchar_t chosen[LF_FACESIZE] = {};
        if (HDC dc = GetDC(hwnd_)) {
            HGDIOBJ old = SelectObject(dc, font.Get());
            GetTextFaceW(dc, LF_FACESIZE, chosen);
            SelectObject(dc, old);
            ReleaseDC(hwnd_, dc);
        }
        if (!font || _wcsicmp(chosen, face.c_str()) != 0) {
            LOGFONTW bold = message;
            bold.lfWeight = entry.font.weight;
            font = GdiHandle(static_cast<HGDIOBJ>(CreateFontIndirectW(&bold)));
        }
        boldFont_ = std::move(font);
        break;
    }
}

RECT BuilderWindow::PlaceOf(int row) const {
    const auto& entry = LayoutOf(row);
    const POINT origin = TwipsOrigin(row);
    const int x = TwipsToPixels(origin.x, dpi_);
    const int y = TwipsToPixels(origin.y, dpi_);
    return RECT{x, y, x + TwipsToPixels(entry.width, dpi_), y + TwipsToPixels(entry.height, dpi_)};
}

HGDIOBJ BuilderWindow::FontOf(int row) const {
    return !LayoutOf(row).font.name.empty() && boldFont_ ? boldFont_.Get() : dialogFont_.Get();
}

void BuilderWindow::ChangeDpi(UINT dpi, const RECT& suggested) {
    dpi_ = dpi;
    GdiHandle oldDialogFont = std::move(dialogFont_);
    GdiHandle oldBoldFont = std::move(boldFont_);
    CreateFonts();
    SetWindowPos(hwnd_, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
    const int count = static_cast<int>(controls_.size());
    for (int row = 0; row < count; ++row) {
        if (HWND ctl = ControlWindow(row)) {
            const RECT place = PlaceOf(row);
            SetWindowPos(ctl, nullptr, place.left, place.top, place.right - place.left,
                         place.bottom - place.top, SWP_NOZORDER | SWP_NOACTIVATE);
            SendMessageW(ctl, WM_SETFONT, reinterpret_cast<WPARAM>(FontOf(row)), TRUE);
        }
    }
    // The old fonts are freed when they go out of scope, now that no control uses them.
}

void BuilderWindow::CreateControl(int row) {
    const auto& entry = LayoutOf(row);
    const NativeKind native = NativeKindOf(entry);
    if (native.className == nullptr) {
        return;
    }
    const RECT place = PlaceOf(row);
    const int x = place.left;
    const int y = place.top;
    const int w = place.right - place.left;
    const int h = place.bottom - place.top;
    const std::wstring caption = entry.kind == ControlKind::Image ? L"" : Wide(entry.caption);
    HWND ctl = CreateWindowExW(
        native.exStyle, native.className, caption.c_str(), WS_CHILD | native.style, x, y, w, h,
        hwnd_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(layout::ControlIdOf(row))),
        ThisModule(), nullptr);
    if (ctl == nullptr) {
        return;
    }
    controls_[static_cast<std::size_t>(row)] = ctl;
    SendMessageW(ctl, WM_SETFONT, reinterpret_cast<WPARAM>(FontOf(row)), FALSE);

    if (entry.kind == ControlKind::TextBox) {
        const auto original = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(ctl, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&EditProc)));
        if (gEditProc == nullptr) {
            gEditProc = original;
        }
    } else if (entry.kind == ControlKind::Image) {
        if (HICON icon = StandardIcon(entry.picture.subject)) {
            SendMessageW(ctl, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
        }
        // Setting an icon may fit the box to it; the box keeps the table's size.
        SetWindowPos(ctl, nullptr, x, y, w, h, SWP_NOZORDER | SWP_NOACTIVATE);
    } else if (entry.kind == ControlKind::PictureButton &&
               entry.picture.subject != layout::Picture::None &&
               !IsStandardIcon(entry.picture.subject)) {
        if (entry.picture.isIcon) {
            GdiHandle icon = MakePictureIcon(entry.picture);
            SendMessageW(ctl, BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(icon.Icon()));
            pictures_.push_back(std::move(icon));
        } else {
            GdiHandle bitmap = MakePictureBitmap(entry.picture, GetSysColor(COLOR_BTNFACE));
            SendMessageW(ctl, BM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bitmap.Get()));
            pictures_.push_back(std::move(bitmap));
        }
    }
    MirrorEnabled(row);
    MirrorVisible(row);
}

void BuilderWindow::CreateTooltips() {
    INITCOMMONCONTROLSEX init{sizeof init, ICC_WIN95_CLASSES};
    InitCommonControlsEx(&init);
    tooltip_ =
        CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                        WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT, CW_USEDEFAULT,
                        CW_USEDEFAULT, CW_USEDEFAULT, hwnd_, nullptr, ThisModule(), nullptr);
    if (tooltip_ == nullptr) {
        return;
    }
    const int count = static_cast<int>(layout::Controls().size());
    for (int row = 0; row < count; ++row) {
        const auto& entry = LayoutOf(row);
        HWND ctl = ControlWindow(row);
        if (entry.tooltip.empty() || ctl == nullptr) {
            continue;
        }
        std::wstring text = Wide(entry.tooltip);
        TOOLINFOW tool{};
        // The size comctl32 5 knows, which is what a program without a manifest gets.
        tool.cbSize = TTTOOLINFOW_V2_SIZE;
        tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        tool.hwnd = hwnd_;
        tool.uId = reinterpret_cast<UINT_PTR>(ctl);
        tool.lpszText = text.data();
        SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    }
}

void BuilderWindow::DestroyNativeWindow() {
    // Forgotten first: what the controls report while they are destroyed is not input.
    HWND window = std::exchange(hwnd_, nullptr);
    tooltip_ = nullptr;
    controls_.clear();
    services_->SetOwner(nullptr);
    if (window != nullptr) {
        DestroyWindow(window);
    }
    FreeDrawingObjects();
}

void BuilderWindow::FreeDrawingObjects() {
    // Only once the controls that showed them are gone.
#ifdef QVN_DELIBERATE_LEAKS
    if (gLeak == DeliberateLeak::GdiObject && !pictures_.empty()) {
        pictures_.back().Abandon();
    }
#endif
    pictures_.clear();
    dialogFont_.Reset();
    boldFont_.Reset();
}

// --- Mirroring the model ------------------------------------------------------------------

void BuilderWindow::MirrorEnabled(int row) {
    HWND ctl = ControlWindow(row);
    if (ctl == nullptr) {
        return;
    }
    const auto& model = form_.Model();
    bool enabled = model.Enabled(row);
    if (auto container = ContainerRow(row)) {
        enabled = enabled && model.Enabled(*container);
    }
    EnableWindow(ctl, enabled ? TRUE : FALSE);
}

void BuilderWindow::MirrorVisible(int row) {
    HWND ctl = ControlWindow(row);
    if (ctl == nullptr) {
        return;
    }
    const auto& model = form_.Model();
    bool visible = model.Visible(row);
    if (auto container = ContainerRow(row)) {
        visible = visible && model.Visible(*container);
    }
    ShowWindow(ctl, visible ? SW_SHOWNA : SW_HIDE);
}

bool BuilderWindow::FocusModelControl() {
    if (hwnd_ == nullptr || !IsWindowVisible(hwnd_) || !IsWindowEnabled(hwnd_)) {
        return false;
    }
    const auto row = form_.Model().FocusRow();
    HWND ctl = row ? ControlWindow(*row) : nullptr;
    if (ctl == nullptr) {
        return false;
    }
    if (GetFocus() != ctl) {
        SetFocus(ctl);
    }
    return true;
}

void BuilderWindow::ControlChanged(int row, Property property) {
    HWND ctl = ControlWindow(row);
    if (ctl == nullptr) {
        return;
    }
    const auto& model = form_.Model();
    const auto& entry = LayoutOf(row);
    switch (property) {
    case Property::Caption:
        if (entry.kind != ControlKind::TextBox && entry.kind != ControlKind::Image &&
            entry.kind != ControlKind::PictureButton) {
            SetWindowTextW(ctl, Wide(model.Caption(row)).c_str());
        }
        break;
    case Property::Text:
        if (entry.kind == ControlKind::TextBox) {
            // The edit control reports this change like typing; it is the model's own.
            const std::optional<int> outer = settingTextRow_;
            settingTextRow_ = row;
            SetWindowTextW(ctl, Wide(model.Text(row)).c_str());
            settingTextRow_ = outer;
        }
        break;
    case Property::Value:
        if (entry.kind == ControlKind::Option || entry.kind == ControlKind::CheckBox) {
            SendMessageW(ctl, BM_SETCHECK, model.Value(row) != 0 ? BST_CHECKED : BST_UNCHECKED, 0);
        }
        break;
    case Property::Enabled:
    case Property::Visible: {
        const bool enabled = property == Property::Enabled;
        enabled ? MirrorEnabled(row) : MirrorVisible(row);
        // A frame's state shows on what it holds.
        if (entry.kind == ControlKind::Frame) {
            const int count = static_cast<int>(controls_.size());
            for (int inner = 0; inner < count; ++inner) {
                if (LayoutOf(inner).container == entry.name) {
                    enabled ? MirrorEnabled(inner) : MirrorVisible(inner);
                }
            }
        }
        break;
    }
    case Property::Focus:
        FocusModelControl();
        break;
    }
}

void BuilderWindow::FormCaptionChanged(const std::string& caption) {
    if (hwnd_ != nullptr) {
        SetWindowTextW(hwnd_, Wide(caption).c_str());
    }
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
            // Destroyed by someone else: an unload like any other closing of the window.
            self->hwnd_ = nullptr;
            self->tooltip_ = nullptr;
            self->controls_.clear();
            self->showing_ = false;
            self->services_->SetOwner(nullptr);
            self->FreeDrawingObjects();
            self->EnableOtherWindows();
            try {
                self->form_.Unload();
            } catch (...) {
                LOG_CAUGHT_EXCEPTION();
            }
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
