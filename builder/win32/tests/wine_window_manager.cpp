// Under Wine on a bare X server (Xvfb, no window manager), hiding a top-level window waits two
// seconds for a window manager that never answers, which would make hundreds of openings of
// the window take minutes. This test program alone asks Wine to place its windows itself;
// what the window does on Windows is unchanged.
#include "testsupport/wine_helpers.h"

namespace {

const bool kUnmanaged = qvn::testing::LetWinePlaceWindows(L"builder_win32_tests.exe");

} // namespace
