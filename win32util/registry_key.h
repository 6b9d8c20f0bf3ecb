// The older spelling of an owned registry key, kept for the stand-in IDE until it moves onto
// unique_hkey and the registry operations; nothing else uses it.
#pragma once

#include "win32util/unique_handles.h"

namespace qvn::win32util {

class RegistryKey : public unique_hkey {
public:
    [[nodiscard]] HKEY Get() const noexcept { return get(); }
    HKEY* Put() noexcept { return put(); }
    void Reset(HKEY key = nullptr) noexcept { reset(key); }
};

} // namespace qvn::win32util
