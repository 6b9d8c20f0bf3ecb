#include "setup/get_short_path.h"

#include <windows.h>

namespace Module1 {

std::string GetShortPath(std::string longPath) {
    std::string buffer(255, ' ');
    DWORD n = GetShortPathNameA(longPath.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
    // A result not smaller than the buffer is the size the service needs, terminator
    // included. The path can change between two calls, so ask again a few times at most.
    for (int attempt = 0; n >= buffer.size() && attempt < 4; ++attempt) {
        buffer.assign(n, ' ');
        n = GetShortPathNameA(longPath.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
    }
    if (n >= buffer.size())
        return {};
    buffer.resize(n);
    return buffer;
}

} // namespace Module1
