#include "win32util/error_log.h"

#include <windows.h>

#include <cstdio>
#include <exception>

namespace qvn::win32util {

void LogCaughtException(const char* file, int line) noexcept {
    const char* what = "an exception of unknown type";
    try {
        throw;
    } catch (const std::exception& e) {
        what = e.what();
    } catch (...) {
    }
    char text[512];
    std::snprintf(text, sizeof text, "qvn: %s(%d): caught and went on: %s\n", file, line, what);
    OutputDebugStringA(text);
}

} // namespace qvn::win32util
