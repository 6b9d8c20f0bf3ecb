// The native half of the builder window: the window and its controls made from the layout
// table (positions in twips converted for the monitor's DPI, fonts, pictures, tooltips), and
// the model's changes mirrored into them.
#include "builder/win32/builder_window.h"

#include "builder/layout_table.h"
#include "builder/win32/button_art.h"
#include "builder/win32/dpi.h"
#include "builder/win32/window_parts.h"
#include "win32util/text.h"

#include <commctrl.h>

#include <algorithm>
#include <cstring>
#include <utility>

namespace qvn::win32 {
using win32util::Utf8;
using win32util::Wide;
using namespace parts;
using layout::ControlKind;

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
        SetWindowSubclass(ctl, EditSubclass, 0, 0);
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

HWND BuilderWindow::ForgetNativeWindow() noexcept {
    HWND window = std::exchange(hwnd_, nullptr);
    tooltip_ = nullptr;
    controls_.clear();
    services_->SetOwner(nullptr);
    return window;
}

void BuilderWindow::DestroyNativeWindow() {
    // Forgotten first: what the controls report while they are destroyed is not input.
    HWND window = ForgetNativeWindow();
    if (window != nullptr) {
        DestroyWindow(window);
    }
    FreeDrawingObjects();
}

void BuilderWindow::FreeDrawingObjects() {
    // Only once the controls that showed them are gone.
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

} // namespace qvn::win32
