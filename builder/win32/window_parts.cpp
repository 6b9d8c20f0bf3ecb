#include "builder/win32/window_parts.h"

#include "win32util/system_message.h"

#include <commctrl.h>

#include <algorithm>

namespace qvn::win32::parts {

using layout::ControlKind;

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

const layout::ControlSpec& LayoutOf(int row) {
    return FormModel::Layout(row);
}

std::optional<int> ContainerRow(int row) {
    const auto& entry = LayoutOf(row);
    return entry.container ? layout::FindRow(*entry.container) : std::nullopt;
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

// A multi-line edit control does not report text set with WM_SETTEXT as a change, unlike a
// one-line one; automation sets text that way, so both report it.
LRESULT CALLBACK EditSubclass(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                              DWORD_PTR) noexcept {
    const LRESULT result = DefSubclassProc(hwnd, message, wParam, lParam);
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

} // namespace qvn::win32::parts
