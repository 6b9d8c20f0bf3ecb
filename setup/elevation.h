// Without an argument the tools change the Windows folder and the machine's class
// registration, which needs an administrator: a tool that is not elevated starts itself
// elevated, waits, and ends with that run's exit status.
#pragma once

#include <optional>

namespace qvn::setup {

// nullopt when this process may go on itself (it is elevated); otherwise the exit status to
// end with: the elevated run's, or 32 when the rights were not granted.
//
// The environment variable QVN_SETUP_ELEVATION stands in for the system's elevation where
// every process is elevated already (Wine, the tests): "cancel" acts as a refused prompt, any
// other value is a command line started in place of the elevated run.
std::optional<int> RunElevatedIfNeeded(bool remove, const char* programTitle);

} // namespace qvn::setup
