// Pixels from twips at a window's DPI, and the metrics that depend on it. The window lives
// in the IDE's process, whose DPI awareness is the IDE's business: nothing here changes it,
// and functions newer than Windows XP are looked up at run time.
#pragma once

#include <windows.h>

namespace qvn::win32 {

inline constexpr int kTwipsPerInch = 1440;

// The DPI the window is drawn at: its own on systems that track it per window, else the
// screen's.
UINT WindowDpi(HWND hwnd);
int TwipsToPixels(int twips, UINT dpi);
// Outer size of a window with the given styles whose client area is `clientWidth` by
// `clientHeight` pixels.
SIZE OuterSizeForClient(int clientWidth, int clientHeight, DWORD style, DWORD exStyle, UINT dpi);
// The system's message font at `dpi`.
LOGFONTW MessageFont(UINT dpi);

} // namespace qvn::win32
