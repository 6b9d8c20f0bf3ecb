// An open registry key that closes itself. The predefined roots (HKEY_CURRENT_USER ...) are
// passed as plain HKEYs and never held here.
#pragma once

#include <windows.h>

#include <utility>

namespace qvn::win32util {

class RegistryKey {
public:
    RegistryKey() noexcept = default;
    explicit RegistryKey(HKEY key) noexcept : key_(key) {}
    ~RegistryKey() { Reset(); }
    RegistryKey(RegistryKey&& other) noexcept : key_(std::exchange(other.key_, nullptr)) {}
    RegistryKey& operator=(RegistryKey&& other) noexcept {
        if (this != &other) {
            Reset(std::exchange(other.key_, nullptr));
        }
        return *this;
    }
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;

    [[nodiscard]] HKEY Get() const noexcept { return key_; }
    explicit operator bool() const noexcept { return key_ != nullptr; }
    // For the out-parameter of RegOpenKeyExW and RegCreateKeyExW: closes what is held first.
    HKEY* Put() noexcept {
        Reset();
        return &key_;
    }
    void Reset(HKEY key = nullptr) noexcept {
        if (key_ != nullptr) {
            RegCloseKey(key_);
        }
        key_ = key;
    }

private:
    HKEY key_ = nullptr;
};

} // namespace qvn::win32util
