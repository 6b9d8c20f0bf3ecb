#include "win32util/result_macros.h"

#include "win32util/system_message.h"
#include "win32util/text.h"

#include <cstdio>
#include <new>
#include <system_error>

namespace qvn::win32util {

ResultException::ResultException(HRESULT hr) : ResultException(hr, FailureText(hr)) {}

ResultException::ResultException(HRESULT hr, std::wstring description)
    : std::runtime_error(Utf8(description)), hr_(hr), description_(std::move(description)) {}

std::wstring FailureText(HRESULT hr) {
    std::wstring text = SystemMessage(static_cast<DWORD>(hr));
    if (text.empty()) {
        wchar_t fallback[64];
        std::swprintf(fallback, 64, L"Unexpected failure 0x%08lX.", static_cast<unsigned long>(hr));
        text = fallback;
    }
    return text;
}

void ThrowResult(HRESULT hr) {
    throw ResultException(hr);
}

void ThrowLastError() {
    const DWORD error = GetLastError();
    throw ResultException(error == ERROR_SUCCESS ? E_FAIL : HRESULT_FROM_WIN32(error));
}

HRESULT ResultFromCaughtException() noexcept {
    try {
        throw;
    } catch (const ResultException& e) {
        return e.GetErrorCode();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (const std::system_error& e) {
        return HRESULT_FROM_WIN32(static_cast<DWORD>(e.code().value()));
    } catch (...) {
        // Nothing tells the caller what this was: leave a trace for whoever debugs it.
        LOG_CAUGHT_EXCEPTION();
        return E_UNEXPECTED;
    }
}

void LogCaughtException(const char* file, int line) noexcept {
    const char* what = nullptr;
    try {
        throw;
    } catch (const std::exception& e) {
        what = e.what();
    } catch (...) {
        what = "an exception that is no std::exception";
    }
    char text[512];
    std::snprintf(text, sizeof text, "qvn: %s(%d): caught and went on: %s\n", file, line, what);
    OutputDebugStringA(text);
}

} // namespace qvn::win32util
