// The trace of an exception that is caught and not turned into a message or an HRESULT the
// caller sees: where it was caught and what it said, written to the debugger's output (as
// OutputDebugString does, which costs nothing when no debugger listens).
#pragma once

namespace qvn::win32util {

// Only ever called from inside a catch block.
void LogCaughtException(const char* file, int line) noexcept;

} // namespace qvn::win32util

#define LOG_CAUGHT_EXCEPTION() ::qvn::win32util::LogCaughtException(__FILE__, __LINE__)
