// IDispatch of one of the component's dual interfaces, served from its description in the
// component's own type library: names by DispGetIDsOfNames, calls by DispInvoke, so a member
// added to the library needs no dispatch code here.
//
// Members whose parameter types come from the IDE's libraries (VBE, CommandBarEvents,
// CommandBarControl, the IDE's connect modes) can only be invoked that way where those
// libraries are registered, and they are not where only the VBA editor is installed. For
// them the interface names an untyped stand-in that converts the arguments itself; it runs
// only when the type-driven call fails for a reason other than the member's own failure.
#pragma once

#include "addin/result_macros.h"
#include "addin/type_library.h"
#include "win32util/variant.h"

#include <oaidl.h>
#include <qvn.h>
#include <wrl/client.h>

#include <span>
#include <string>

namespace qvn::addin {

template <class I> struct UntypedMember {
    const wchar_t* name;
    HRESULT(*invoke)
    (I& self, WORD flags, const win32util::DispArgs& args, VARIANT* result, UINT* argErr);
};

// The untyped stand-ins of each interface the component serves.
std::span<const UntypedMember<_Connect>> UntypedMembers(_Connect*);
std::span<const UntypedMember<IDTExtensibility>> UntypedMembers(IDTExtensibility*);
// IDTExtensibility2's types are all in the component's own library.
inline std::span<const UntypedMember<IDTExtensibility2>> UntypedMembers(IDTExtensibility2*) {
    return {};
}

// Fills a DISP_E_EXCEPTION that carries no description with the failure's own text.
void CompleteException(EXCEPINFO* exception);
// Turns a failing member call of an untyped stand-in into DISP_E_EXCEPTION.
HRESULT ExceptionFromFailure(HRESULT hr, EXCEPINFO* exception);

template <class I> class TypeInfoDispatch : public I {
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
        RETURN_IF_FAILED(LoadInfo());
        *info = Microsoft::WRL::ComPtr<ITypeInfo>(info_).Detach();
        return S_OK;
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
        HRESULT hr = DispInvoke(static_cast<I*>(this), info_.Get(), id, flags, params, result,
                                exception, argError);
        if (hr == DISP_E_EXCEPTION) {
            CompleteException(exception);
        } else if (FAILED(hr)) {
            if (const UntypedMember<I>* member = Untyped(id)) {
                if (result != nullptr) {
                    VariantInit(result);
                }
                UINT ignored = 0;
                hr = member->invoke(*this, flags, win32util::DispArgs(params), result,
                                    argError != nullptr ? argError : &ignored);
                hr = ExceptionFromFailure(hr, exception);
            }
        }
        return hr;
    }
    CATCH_RETURN()

protected:
    TypeInfoDispatch() = default;
    ~TypeInfoDispatch() = default;

private:
    HRESULT LoadInfo() {
        if (info_ == nullptr) {
            RETURN_IF_FAILED(OwnTypeInfo(__uuidof(I), info_.GetAddressOf()));
        }
        return S_OK;
    }
    const UntypedMember<I>* Untyped(DISPID id) {
        for (const UntypedMember<I>& member : UntypedMembers(static_cast<I*>(nullptr))) {
            auto* name = const_cast<LPOLESTR>(member.name);
            DISPID memberId = DISPID_UNKNOWN;
            if (SUCCEEDED(DispGetIDsOfNames(info_.Get(), &name, 1, &memberId)) && memberId == id) {
                return &member;
            }
        }
        return nullptr;
    }

    Microsoft::WRL::ComPtr<ITypeInfo> info_;
};

} // namespace qvn::addin
