// Helpers of the programs that drive Windows code under Wine (the tests, the demo's driver):
// waiting for a condition with a deadline, whether a program is running, and the Wine-only
// setting that lets Wine place windows itself on an X server without a window manager.
// No test framework here, so the demo's driver links it too.
#pragma once

#include <windows.h>

#include <chrono>
#include <functional>

namespace qvn::testing {

// Polls `condition` until it holds (true) or `deadline` has passed (false).
bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds deadline,
               std::chrono::milliseconds poll = std::chrono::milliseconds(20));
// The same while dispatching this thread's window messages, for conditions that need them.
bool PumpUntil(const std::function<bool()>& condition, std::chrono::milliseconds deadline);

// True while a process of that file name (e.g. L"regsvr32.exe") runs.
bool ProgramRunning(const wchar_t* exeName);
// Waits until no registration tool runs any more.
bool WaitForRegistrationTools(std::chrono::milliseconds deadline = std::chrono::seconds(60));

bool RunningUnderWine();
// Without a window manager Wine waits for one whenever a window is hidden, and draws no
// frames: this asks Wine to place windows itself, for the program `exeName` only, or for
// every program when it is null. Nothing happens outside Wine. True when the setting is in.
bool LetWinePlaceWindows(const wchar_t* exeName);

} // namespace qvn::testing
