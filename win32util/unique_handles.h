// Owned handles with WIL's names: each closes what it holds with the function its type names,
// and `scope_exit` runs a clean-up on every way out of a scope. The predefined registry roots
// (HKEY_CURRENT_USER ...) are passed as plain handles and never held here.
#pragma once

#include <windows.h>

#include <utility>

namespace qvn::win32util {

template <class Handle, auto Close, Handle Invalid = Handle{}> class unique_any {
public:
    unique_any() noexcept = default;
    explicit unique_any(Handle handle) noexcept : handle_(handle) {}
    ~unique_any() { reset(); }
    unique_any(unique_any&& other) noexcept : handle_(other.release()) {}
    unique_any& operator=(unique_any&& other) noexcept {
        if (this != &other) {
            reset(other.release());
        }
        return *this;
    }
    unique_any(const unique_any&) = delete;
    unique_any& operator=(const unique_any&) = delete;

    [[nodiscard]] Handle get() const noexcept { return handle_; }
    explicit operator bool() const noexcept { return handle_ != Invalid; }
    // For an out-parameter: closes what is held first.
    Handle* put() noexcept {
        reset();
        return &handle_;
    }
    void reset(Handle handle = Invalid) noexcept {
        if (handle_ != Invalid) {
            Close(handle_);
        }
        handle_ = handle;
    }
    // Hands the handle to a new owner (the clipboard, say) without closing it.
    [[nodiscard]] Handle release() noexcept { return std::exchange(handle_, Invalid); }

private:
    Handle handle_ = Invalid;
};

using unique_hkey = unique_any<HKEY, &RegCloseKey>;
using unique_hglobal = unique_any<HGLOBAL, &GlobalFree>;
using unique_hlocal = unique_any<HLOCAL, &LocalFree>;
using unique_handle = unique_any<HANDLE, &CloseHandle>;

template <class F> class scope_exit_t {
public:
    explicit scope_exit_t(F f) noexcept : f_(std::move(f)) {}
    ~scope_exit_t() {
        if (armed_) {
            f_();
        }
    }
    scope_exit_t(const scope_exit_t&) = delete;
    scope_exit_t& operator=(const scope_exit_t&) = delete;
    // The clean-up is no longer needed (the work it undoes succeeded).
    void release() noexcept { armed_ = false; }

private:
    F f_;
    bool armed_ = true;
};

template <class F> [[nodiscard]] scope_exit_t<F> scope_exit(F f) noexcept {
    return scope_exit_t<F>(std::move(f));
}

} // namespace qvn::win32util
