// HRESULT plumbing with the names Windows programmers know from WIL (which does not build with
// mingw-w64 here): early returns on failure and the one place where a caught C++ exception
// becomes an HRESULT, so that no exception ever leaves a COM method.
#pragma once

#include <windows.h>

#include <concepts>
#include <new>
#include <stdexcept>
#include <system_error>

namespace qvn::addin {

// An HRESULT travelling as a C++ exception inside the component.
class HResultError : public std::runtime_error {
public:
    explicit HResultError(HRESULT hr) : std::runtime_error("HRESULT failure"), hr_(hr) {}
    [[nodiscard]] HRESULT Code() const noexcept { return hr_; }

private:
    HRESULT hr_;
};

// Only ever called from inside a catch block.
HRESULT ResultFromCaughtException() noexcept;

// A BOOL passed where an HRESULT is expected is a compile error, not a silent success.
template <class T>
requires std::same_as<T, HRESULT>
constexpr HRESULT VerifyHResult(T hr) noexcept {
    return hr;
}

inline void ThrowIfFailed(HRESULT hr) {
    if (FAILED(hr)) {
        throw HResultError(hr);
    }
}

} // namespace qvn::addin

#define RETURN_IF_FAILED(expr)                                                                     \
    do {                                                                                           \
        const HRESULT qvn_hr_ = ::qvn::addin::VerifyHResult(expr);                                 \
        if (FAILED(qvn_hr_)) {                                                                     \
            return qvn_hr_;                                                                        \
        }                                                                                          \
    } while (0)

#define RETURN_HR_IF(hr, condition)                                                                \
    do {                                                                                           \
        if (condition) {                                                                           \
            return ::qvn::addin::VerifyHResult(hr);                                                \
        }                                                                                          \
    } while (0)

#define RETURN_HR_IF_NULL(hr, pointer) RETURN_HR_IF(hr, (pointer) == nullptr)

#define CATCH_RETURN()                                                                             \
    catch (...) {                                                                                  \
        return ::qvn::addin::ResultFromCaughtException();                                          \
    }
