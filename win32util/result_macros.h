// HRESULT plumbing with the names Windows programmers know from WIL (which does not build with
// mingw-w64 here): early returns and throws on failure, the one place where a caught C++
// exception becomes an HRESULT, and the trace of a failure that is deliberately survived.
// No exception ever leaves a COM method: each ends in CATCH_RETURN().
#pragma once

#include <windows.h>

#include <concepts>
#include <stdexcept>
#include <string>

namespace qvn::win32util {

// A failure travelling as a C++ exception: its HRESULT and a description a user can read,
// the callee's own where it gave one, otherwise the system's text for the code.
class ResultException : public std::runtime_error {
public:
    explicit ResultException(HRESULT hr);
    ResultException(HRESULT hr, std::wstring description);
    [[nodiscard]] HRESULT GetErrorCode() const noexcept { return hr_; }
    [[nodiscard]] const std::wstring& Description() const noexcept { return description_; }

private:
    HRESULT hr_;
    std::wstring description_;
};

// The system's text for `hr` without trailing line breaks, or a sentence naming the code
// when the system has none.
std::wstring FailureText(HRESULT hr);

[[noreturn]] void ThrowResult(HRESULT hr);
// GetLastError() as an HRESULT; E_FAIL when the failing function left no error.
[[noreturn]] void ThrowLastError();

// Only ever called from inside a catch block.
HRESULT ResultFromCaughtException() noexcept;
// Where an exception was caught and what it said, written to the debugger's output (which
// costs nothing when no debugger listens). Only ever called from inside a catch block.
void LogCaughtException(const char* file, int line) noexcept;

// A BOOL passed where an HRESULT is expected is a compile error, not a silent success.
template <class T>
requires std::same_as<T, HRESULT>
constexpr HRESULT VerifyHResult(T hr) noexcept {
    return hr;
}

} // namespace qvn::win32util

#define RETURN_IF_FAILED(expr)                                                                     \
    do {                                                                                           \
        const HRESULT qvn_hr_ = ::qvn::win32util::VerifyHResult(expr);                             \
        if (FAILED(qvn_hr_)) {                                                                     \
            return qvn_hr_;                                                                        \
        }                                                                                          \
    } while (0)

#define RETURN_HR_IF(hr, condition)                                                                \
    do {                                                                                           \
        if (condition) {                                                                           \
            return ::qvn::win32util::VerifyHResult(hr);                                            \
        }                                                                                          \
    } while (0)

#define RETURN_HR_IF_NULL(hr, pointer) RETURN_HR_IF(hr, (pointer) == nullptr)

#define THROW_IF_FAILED(expr)                                                                      \
    do {                                                                                           \
        const HRESULT qvn_hr_ = ::qvn::win32util::VerifyHResult(expr);                             \
        if (FAILED(qvn_hr_)) {                                                                     \
            ::qvn::win32util::ThrowResult(qvn_hr_);                                                \
        }                                                                                          \
    } while (0)

#define THROW_HR(hr) ::qvn::win32util::ThrowResult(::qvn::win32util::VerifyHResult(hr))

#define THROW_HR_IF(hr, condition)                                                                 \
    do {                                                                                           \
        if (condition) {                                                                           \
            THROW_HR(hr);                                                                          \
        }                                                                                          \
    } while (0)

#define THROW_LAST_ERROR_IF(condition)                                                             \
    do {                                                                                           \
        if (condition) {                                                                           \
            ::qvn::win32util::ThrowLastError();                                                    \
        }                                                                                          \
    } while (0)

#define LOG_CAUGHT_EXCEPTION() ::qvn::win32util::LogCaughtException(__FILE__, __LINE__)

#define CATCH_RETURN()                                                                             \
    catch (...) {                                                                                  \
        return ::qvn::win32util::ResultFromCaughtException();                                      \
    }

#define CATCH_LOG()                                                                                \
    catch (...) {                                                                                  \
        LOG_CAUGHT_EXCEPTION();                                                                    \
    }
