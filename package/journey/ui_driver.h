// Driving the stand-in IDE and the builder window from outside, as a user's hands would: find
// windows by class, press buttons and type into text boxes through their native controls,
// read what they show, and take pictures of the screen. Used by the demo's driver program and
// by the journey test. Every wait polls a condition against a deadline.
#pragma once

#include "testsupport/wine_helpers.h"
#include "win32util/text.h"

#include "builder/layout_table.h"

#include <windows.h>

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qvn::drive {

using namespace std::chrono_literals;

inline constexpr const wchar_t* kIdeWindowClass = L"QvnIdeHostWindow";
inline constexpr const wchar_t* kBuilderWindowClass = L"QvnBuilderWindow";

using win32util::Utf8;
using win32util::Wide;

using ::qvn::testing::WaitUntil;

// A visible top-level window of class `className`, of process `processId` unless that is 0.
HWND FindTopWindow(const wchar_t* className, DWORD processId = 0);
HWND WaitForTopWindow(const wchar_t* className, DWORD processId,
                      std::chrono::milliseconds deadline);
// True once `window` is destroyed or hidden.
bool WaitForWindowGone(HWND window, std::chrono::milliseconds deadline);

std::wstring WindowText(HWND window);
std::wstring ClassName(HWND window);
// The first child of `parent` with this window class (the IDE's code pane is an edit control).
HWND FindChildOfClass(HWND parent, const wchar_t* className);

namespace ctl = layout::ctl;

// The builder's native control for a control name and Index, or nullptr.
HWND BuilderControl(HWND builder, layout::ControlName name, int index = layout::kNoIndex);
// The Index of the member of control array `name` whose caption is `caption`.
std::optional<int> IndexWithCaption(HWND builder, layout::ControlName name,
                                    std::string_view caption);

// A click on a button, option or check box (BM_CLICK, handled before this returns).
void Click(HWND control);
// Text put into a text box the way automation tools type (WM_SETTEXT).
void Type(HWND control, const std::string& text);
bool IsChecked(HWND control);

// Message boxes (dialog class #32770) shown now by `processId` (any process when 0).
std::vector<HWND> DialogsOf(DWORD processId);

// Saves the part `area` of the screen as a 24-bit BMP file once the screen there has settled
// (two captures in a row agree, within a few seconds); false when that fails or when the
// picture is of one colour only (nothing drawn).
bool SaveScreenPicture(const RECT& area, const std::wstring& path);
// The smallest rectangle holding every window of `windows`, clipped to the screen.
RECT AreaOf(const std::vector<HWND>& windows);

} // namespace qvn::drive
