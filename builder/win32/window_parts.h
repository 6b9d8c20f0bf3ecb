// What the builder window's files share: the module the window class belongs to, the layout
// rows in pixels' terms, the native class and styles of each kind of control, the standard
// icons, and the edit-control subclass that reports every text change.
#pragma once

#include "builder/layout_table.h"
#include "builder/win32/builder_window.h"

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace qvn::win32::parts {

inline constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPSIBLINGS;
inline constexpr DWORD kWindowExStyle = WS_EX_DLGMODALFRAME | WS_EX_APPWINDOW;

// The module holding this code: qvn.dll inside the IDE, the program itself in the tests.
HINSTANCE ThisModule();
bool RegisterWindowClass(WNDPROC proc);

const layout::ControlSpec& LayoutOf(int row);
// The row of the frame that holds `row`, if any.
std::optional<int> ContainerRow(int row);
// The row's position relative to the window, in twips.
POINT TwipsOrigin(int row);

struct NativeKind {
    const wchar_t* className; // nullptr: no window (the file dialog)
    DWORD style;
    DWORD exStyle;
};
NativeKind NativeKindOf(const layout::ControlSpec& entry);

HICON StandardIcon(layout::Picture picture);
bool IsStandardIcon(layout::Picture picture);
// Rows in the order their windows are made: the tab order, then the rest.
std::vector<int> CreationOrder();

// Installed on every text box with SetWindowSubclass.
LRESULT CALLBACK EditSubclass(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                              DWORD_PTR data) noexcept;
std::wstring WindowText(HWND hwnd);

} // namespace qvn::win32::parts
