// Without an argument the tools change the Windows folder and the machine's class
// registration, which needs an administrator: a tool that is not elevated starts itself
// elevated, waits, and ends with that run's exit status.
#pragma once

#include "win32util/unique_handles.h"

#include <optional>

namespace qvn::setup {

// nullopt when this process may go on itself (it is elevated); otherwise the exit status to
// end with: the elevated run's, or 32 when the rights were not granted.
//
// The environment variable QVN_SETUP_ELEVATION stands in for the system's elevation where
// every process is elevated already (Wine, the tests): "cancel" acts as a refused prompt, any
// other value is a command line started in place of the elevated run.
std::optional<int> RunElevatedIfNeeded(bool remove, const char* programTitle);

// Waits for the process to end and gives its exit status (1 when it cannot be read).
int WaitForExit(win32util::unique_handle process);

} // namespace qvn::setup
