// IDispatch of a dual interface served from a type description alone: names by
// DispGetIDsOfNames, calls by DispInvoke, so a member added to the description needs no
// dispatch code.
#pragma once

#include "win32util/result_macros.h"

#include <oaidl.h>
#include <wrl/client.h>

namespace qvn::win32util {

// What TypeInfoDispatch<I> needs of the interface it serves, given by a specialisation (or,
// where the description depends on the object, by a class of that shape passed as the second
// argument and held by each object, with these functions as members):
//   static HRESULT CallInfo(ITypeInfo** info);    the description names and calls follow: I's
//       own, or one whose members lie in I's vtable order with the same ids and with types
//       that are passed the same way;
//   static HRESULT PublicInfo(ITypeInfo** info);  the description GetTypeInfo hands out;
//   static void CompleteException(EXCEPINFO* exception);  gives a DISP_E_EXCEPTION that came
//       without a description the failure's own.
template <class I> struct DispatchDescription;

template <class I, class Description = DispatchDescription<I>> class TypeInfoDispatch : public I {
public:
    using Interface = I;

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) noexcept override {
        RETURN_HR_IF_NULL(E_POINTER, count);
        *count = 1;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID, ITypeInfo** info) noexcept override
        try {
        RETURN_HR_IF_NULL(E_POINTER, info);
        *info = nullptr;
        RETURN_HR_IF(DISP_E_BADINDEX, index != 0);
        return description_.PublicInfo(info);
    }
    CATCH_RETURN()
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID,
                                            DISPID* ids) noexcept override try {
        RETURN_HR_IF(DISP_E_UNKNOWNINTERFACE, riid != IID_NULL);
        RETURN_HR_IF(E_POINTER, names == nullptr || ids == nullptr);
        for (UINT i = 0; i < count; ++i) {
            ids[i] = DISPID_UNKNOWN;
        }
        RETURN_IF_FAILED(LoadInfo());
        return DispGetIDsOfNames(info_.Get(), names, count, ids);
    }
    CATCH_RETURN()
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* exception,
                                     UINT* argError) noexcept override try {
        RETURN_HR_IF(DISP_E_UNKNOWNINTERFACE, riid != IID_NULL);
        RETURN_HR_IF_NULL(E_INVALIDARG, params);
        RETURN_IF_FAILED(LoadInfo());
        SetErrorInfo(0, nullptr); // the description of an earlier failure is not this call's
        // The call goes through I's vtable as the description lays it out; where that is a
        // stand-in description, its members are at the same places and take and return the
        // same pointers, typed by what every host can name.
        const HRESULT hr = DispInvoke(static_cast<I*>(this), info_.Get(), id, flags, params, result,
                                      exception, argError);
        if (hr == DISP_E_EXCEPTION) {
            description_.CompleteException(exception);
        }
        return hr;
    }
    CATCH_RETURN()

protected:
    TypeInfoDispatch() = default;
    ~TypeInfoDispatch() = default;

    [[no_unique_address]] Description description_;

private:
    HRESULT LoadInfo() {
        if (info_ == nullptr) {
            RETURN_IF_FAILED(description_.CallInfo(info_.GetAddressOf()));
        }
        return S_OK;
    }

    Microsoft::WRL::ComPtr<ITypeInfo> info_;
};

} // namespace qvn::win32util
