// Calls the host's objects the way a late-bound client does: names through GetIDsOfNames,
// then Invoke with the flags the language uses.
#pragma once

#include <oaidl.h>
#include <wrl/client.h>

#include <string>
#include <vector>

namespace qvn::standin::testing {

struct CallResult {
    HRESULT hr = S_OK;
    VARIANT value{};
    SCODE scode = S_OK;       // from EXCEPINFO when hr is DISP_E_EXCEPTION
    std::wstring description; // likewise
    CallResult();
    ~CallResult();
    CallResult(const CallResult&) = delete;
    CallResult(CallResult&& other) noexcept;
    [[nodiscard]] Microsoft::WRL::ComPtr<IDispatch> Object() const;
    // The object of a VT_UNKNOWN or VT_DISPATCH result, never asked for IDispatch.
    [[nodiscard]] Microsoft::WRL::ComPtr<IUnknown> Unknown() const;
    [[nodiscard]] std::wstring Text() const;
    [[nodiscard]] long Number() const;
};

// `args` in the order the caller writes them; they are passed reversed as DISPPARAMS wants.
CallResult Call(IDispatch* object, const wchar_t* name, WORD flags, std::vector<VARIANT> args = {});
CallResult Get(IDispatch* object, const wchar_t* name, std::vector<VARIANT> args = {});
CallResult Method(IDispatch* object, const wchar_t* name, std::vector<VARIANT> args = {});
HRESULT Put(IDispatch* object, const wchar_t* name, VARIANT value);
DISPID IdOf(IDispatch* object, const wchar_t* name, HRESULT* hr = nullptr);

VARIANT Long(long value);
VARIANT Text(const wchar_t* text); // caller's VARIANT owns a BSTR; Call frees it
VARIANT Object(IDispatch* object); // not AddRef'd; Call does not release it
VARIANT Missing();
// A whole-number out argument, as the library types it (long by reference).
VARIANT LongRef(long* value);

} // namespace qvn::standin::testing

namespace qvn::standin::testing {
std::string Utf8Name(const wchar_t* name);
} // namespace qvn::standin::testing
