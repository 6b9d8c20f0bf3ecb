// The two IDispatch implementations of Connect. Argument conversion follows what
// late-bound callers send: values or references, Variants wrapping either.
#include "connect.h"

#include "dispatch_call.h"
#include "identifiers.h"
#include "result_macros.h"
#include "type_library.h"

namespace qvn::addin {

namespace {

// The argument the caller wrote at `index` (DISPPARAMS holds them last first), with a
// by-reference Variant unwrapped; nullptr when absent.
VARIANT* ArgAt(DISPPARAMS* params, UINT index) {
    if (params == nullptr || index >= params->cArgs) {
        return nullptr;
    }
    VARIANT* arg = &params->rgvarg[params->cArgs - 1 - index];
    if (arg->vt == (VT_VARIANT | VT_BYREF) && arg->pvarVal != nullptr) {
        arg = arg->pvarVal;
    }
    return arg;
}

// Number of positional (unnamed) arguments, and the value of a property write.
UINT PositionalCount(DISPPARAMS* params) {
    return params->cArgs - params->cNamedArgs;
}

VARIANT* PutValue(DISPPARAMS* params) {
    for (UINT i = 0; i < params->cNamedArgs; ++i) {
        if (params->rgdispidNamedArgs[i] == DISPID_PROPERTYPUT) {
            VARIANT* arg = &params->rgvarg[i];
            if (arg->vt == (VT_VARIANT | VT_BYREF) && arg->pvarVal != nullptr) {
                arg = arg->pvarVal;
            }
            return arg;
        }
    }
    return nullptr;
}

HRESULT ToBool(VARIANT* arg, VARIANT_BOOL* value) {
    VARIANT converted;
    VariantInit(&converted);
    RETURN_IF_FAILED(VariantChangeType(&converted, arg, 0, VT_BOOL));
    *value = converted.boolVal;
    return S_OK;
}

HRESULT ToLong(VARIANT* arg, long* value) {
    VARIANT converted;
    VariantInit(&converted);
    RETURN_IF_FAILED(VariantChangeType(&converted, arg, 0, VT_I4));
    *value = converted.lVal;
    return S_OK;
}

// An object argument, QueryInterface'd to `iid`; Nothing gives nullptr.
HRESULT ToObject(VARIANT* arg, REFIID iid, IUnknown** object) {
    *object = nullptr;
    if (arg->vt == VT_EMPTY || arg->vt == VT_NULL) {
        return S_OK;
    }
    IUnknown* unknown = nullptr;
    switch (arg->vt) {
    case VT_DISPATCH:
        unknown = arg->pdispVal;
        break;
    case VT_UNKNOWN:
        unknown = arg->punkVal;
        break;
    case VT_DISPATCH | VT_BYREF:
        unknown = arg->ppdispVal != nullptr ? *arg->ppdispVal : nullptr;
        break;
    case VT_UNKNOWN | VT_BYREF:
        unknown = arg->ppunkVal != nullptr ? *arg->ppunkVal : nullptr;
        break;
    default:
        return DISP_E_TYPEMISMATCH;
    }
    if (unknown == nullptr) {
        return S_OK;
    }
    return unknown->QueryInterface(iid, reinterpret_cast<void**>(object)) == S_OK
               ? S_OK
               : DISP_E_TYPEMISMATCH;
}

// Turns a failing member call into DISP_E_EXCEPTION with the failure's description.
HRESULT AsDispatchResult(HRESULT hr, EXCEPINFO* exception) {
    if (SUCCEEDED(hr)) {
        return hr;
    }
    if (exception == nullptr) {
        return hr;
    }
    std::wstring description = TakeErrorInfoDescription();
    if (description.empty()) {
        description = DescribeFailure(hr);
    }
    *exception = {};
    exception->bstrSource = SysAllocString(kProgId);
    exception->bstrDescription =
        SysAllocStringLen(description.data(), static_cast<UINT>(description.size()));
    exception->scode = hr;
    return DISP_E_EXCEPTION;
}

void SetObjectResult(VARIANT* result, IDispatch* object) {
    if (result != nullptr) {
        result->vt = VT_DISPATCH;
        result->pdispVal = object; // ownership moves to the caller
    } else if (object != nullptr) {
        object->Release();
    }
}

bool IsGet(WORD flags) {
    return (flags & (DISPATCH_METHOD | DISPATCH_PROPERTYGET)) != 0;
}
bool IsPut(WORD flags) {
    return (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
}

HRESULT LoadInfo(ComPtr<ITypeInfo>& cache, REFIID iid) {
    if (cache == nullptr) {
        RETURN_IF_FAILED(OwnTypeInfo(iid, cache.GetAddressOf()));
    }
    return S_OK;
}

HRESULT TypeInfoFor(ComPtr<ITypeInfo>& cache, REFIID iid, UINT index, ITypeInfo** info) {
    RETURN_HR_IF_NULL(E_POINTER, info);
    *info = nullptr;
    RETURN_HR_IF(DISP_E_BADINDEX, index != 0);
    RETURN_IF_FAILED(LoadInfo(cache, iid));
    *info = ComPtr<ITypeInfo>(cache).Detach();
    return S_OK;
}

HRESULT NamesFor(ComPtr<ITypeInfo>& cache, REFIID iid, REFIID riid, LPOLESTR* names, UINT count,
                 DISPID* ids) {
    RETURN_HR_IF(DISP_E_UNKNOWNINTERFACE, riid != IID_NULL);
    RETURN_HR_IF(E_POINTER, names == nullptr || ids == nullptr);
    for (UINT i = 0; i < count; ++i) {
        ids[i] = DISPID_UNKNOWN;
    }
    RETURN_IF_FAILED(LoadInfo(cache, iid));
    return DispGetIDsOfNames(cache.Get(), names, count, ids);
}

} // namespace

// --- _Connect ------------------------------------------------------------------------------

HRESULT ConnectDispatch::GetTypeInfoCount(UINT* count) noexcept {
    RETURN_HR_IF_NULL(E_POINTER, count);
    *count = 1;
    return S_OK;
}

HRESULT ConnectDispatch::GetTypeInfo(UINT index, LCID, ITypeInfo** info) noexcept try {
    return TypeInfoFor(info_, IID__Connect, index, info);
}
CATCH_RETURN()

HRESULT ConnectDispatch::GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID,
                                       DISPID* ids) noexcept try {
    return NamesFor(info_, IID__Connect, riid, names, count, ids);
}
CATCH_RETURN()

HRESULT ConnectDispatch::Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params,
                                VARIANT* result, EXCEPINFO* exception, UINT* argError) noexcept
    try {
    RETURN_HR_IF(DISP_E_UNKNOWNINTERFACE, riid != IID_NULL);
    RETURN_HR_IF_NULL(E_INVALIDARG, params);
    if (result != nullptr) {
        VariantInit(result);
    }
    UINT errorIndex = 0;
    auto argumentError = [&](HRESULT hr, UINT index) {
        errorIndex = index;
        if (argError != nullptr) {
            *argError = errorIndex;
        }
        return hr;
    };

    switch (id) {
    case kDispIdFormDisplayed:
        if (IsPut(flags)) {
            VARIANT* value = PutValue(params);
            RETURN_HR_IF(DISP_E_PARAMNOTOPTIONAL, value == nullptr);
            VARIANT_BOOL displayed = VARIANT_FALSE;
            if (FAILED(ToBool(value, &displayed))) {
                return argumentError(DISP_E_TYPEMISMATCH, 0);
            }
            return AsDispatchResult(put_FormDisplayed(displayed), exception);
        }
        if (IsGet(flags)) {
            RETURN_HR_IF(DISP_E_BADPARAMCOUNT, PositionalCount(params) != 0);
            VARIANT_BOOL displayed = VARIANT_FALSE;
            RETURN_IF_FAILED(AsDispatchResult(get_FormDisplayed(&displayed), exception));
            if (result != nullptr) {
                result->vt = VT_BOOL;
                result->boolVal = displayed;
            }
            return S_OK;
        }
        return DISP_E_MEMBERNOTFOUND;

    case kDispIdVBInstance:
    case kDispIdMenuHandler: {
        const bool isRoot = id == kDispIdVBInstance;
        if (IsPut(flags)) {
            VARIANT* value = PutValue(params);
            RETURN_HR_IF(DISP_E_PARAMNOTOPTIONAL, value == nullptr);
            ComPtr<IUnknown> object;
            if (FAILED(ToObject(value, isRoot ? IID_VBE : IID_CommandBarEvents,
                                object.GetAddressOf()))) {
                return argumentError(DISP_E_TYPEMISMATCH, 0);
            }
            HRESULT hr =
                isRoot ? putref_VBInstance(static_cast<VBE*>(static_cast<IUnknown*>(object.Get())))
                       : putref_MenuHandler(static_cast<::CommandBarEvents*>(
                             static_cast<IUnknown*>(object.Get())));
            return AsDispatchResult(hr, exception);
        }
        if (IsGet(flags)) {
            RETURN_HR_IF(DISP_E_BADPARAMCOUNT, PositionalCount(params) != 0);
            IDispatch* object = nullptr;
            HRESULT hr = S_OK;
            if (isRoot) {
                VBE* root = nullptr;
                hr = get_VBInstance(&root);
                object = root;
            } else {
                ::CommandBarEvents* events = nullptr;
                hr = get_MenuHandler(&events);
                object = events;
            }
            RETURN_IF_FAILED(AsDispatchResult(hr, exception));
            SetObjectResult(result, object);
            return S_OK;
        }
        return DISP_E_MEMBERNOTFOUND;
    }

    case kDispIdHide:
    case kDispIdShow:
        RETURN_HR_IF(DISP_E_MEMBERNOTFOUND, !IsGet(flags));
        RETURN_HR_IF(DISP_E_BADPARAMCOUNT, PositionalCount(params) != 0);
        return AsDispatchResult(id == kDispIdShow ? Show() : Hide(), exception);

    case kDispIdAddToAddInCommandBar: {
        RETURN_HR_IF(DISP_E_MEMBERNOTFOUND, !IsGet(flags));
        RETURN_HR_IF(DISP_E_BADPARAMCOUNT, PositionalCount(params) != 1);
        VARIANT* arg = ArgAt(params, 0);
        // The caption is passed by reference: a BSTR reference is used in place, anything
        // else is converted into a local copy.
        BSTR* caption = nullptr;
        VARIANT converted;
        VariantInit(&converted);
        if (arg->vt == (VT_BSTR | VT_BYREF)) {
            caption = arg->pbstrVal;
        } else if (arg->vt == VT_BSTR) {
            caption = &arg->bstrVal;
        } else if (SUCCEEDED(VariantChangeType(&converted, arg, 0, VT_BSTR))) {
            caption = &converted.bstrVal;
        } else {
            return argumentError(DISP_E_TYPEMISMATCH, 0);
        }
        ::CommandBarControl* control = nullptr;
        HRESULT hr = AddToAddInCommandBar(caption, &control);
        VariantClear(&converted);
        RETURN_IF_FAILED(AsDispatchResult(hr, exception));
        SetObjectResult(result, control);
        return S_OK;
    }

    default:
        return DISP_E_MEMBERNOTFOUND;
    }
}
CATCH_RETURN()

// --- IDTExtensibility ----------------------------------------------------------------------

HRESULT ExtensibilityDispatch::GetTypeInfoCount(UINT* count) noexcept {
    RETURN_HR_IF_NULL(E_POINTER, count);
    *count = 1;
    return S_OK;
}

HRESULT ExtensibilityDispatch::GetTypeInfo(UINT index, LCID, ITypeInfo** info) noexcept try {
    return TypeInfoFor(info_, IID_IDTExtensibility, index, info);
}
CATCH_RETURN()

HRESULT ExtensibilityDispatch::GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID,
                                             DISPID* ids) noexcept try {
    return NamesFor(info_, IID_IDTExtensibility, riid, names, count, ids);
}
CATCH_RETURN()

HRESULT ExtensibilityDispatch::Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params,
                                      VARIANT* result, EXCEPINFO* exception,
                                      UINT* argError) noexcept try {
    RETURN_HR_IF(DISP_E_UNKNOWNINTERFACE, riid != IID_NULL);
    RETURN_HR_IF_NULL(E_INVALIDARG, params);
    if (result != nullptr) {
        VariantInit(result);
    }
    RETURN_HR_IF(DISP_E_MEMBERNOTFOUND, (flags & DISPATCH_METHOD) == 0);
    auto argumentError = [&](UINT index) {
        if (argError != nullptr) {
            *argError = index;
        }
        return DISP_E_TYPEMISMATCH;
    };
    // The custom array is not used by any member; whatever the caller passed is handed on.
    auto custom = [&](UINT index) -> SAFEARRAY** {
        VARIANT* arg = ArgAt(params, index);
        if (arg != nullptr && (arg->vt & (VT_ARRAY | VT_BYREF)) == (VT_ARRAY | VT_BYREF)) {
            return arg->pparray;
        }
        return nullptr;
    };
    const UINT count = PositionalCount(params);

    switch (id) {
    case kDispIdOnConnection: {
        RETURN_HR_IF(DISP_E_BADPARAMCOUNT, count < 3 || count > 4);
        ComPtr<IUnknown> root;
        ComPtr<IUnknown> addInInst;
        long mode = 0;
        if (FAILED(ToObject(ArgAt(params, 0), IID_IDispatch, root.GetAddressOf()))) {
            return argumentError(0);
        }
        if (FAILED(ToLong(ArgAt(params, 1), &mode))) {
            return argumentError(1);
        }
        if (FAILED(ToObject(ArgAt(params, 2), IID_IDispatch, addInInst.GetAddressOf()))) {
            return argumentError(2);
        }
        return AsDispatchResult(
            OnConnection(static_cast<IDispatch*>(static_cast<IUnknown*>(root.Get())),
                         static_cast<vbext_ConnectMode>(mode),
                         static_cast<IDispatch*>(static_cast<IUnknown*>(addInInst.Get())),
                         custom(3)),
            exception);
    }
    case kDispIdOnDisconnection: {
        RETURN_HR_IF(DISP_E_BADPARAMCOUNT, count < 1 || count > 2);
        long mode = 0;
        if (FAILED(ToLong(ArgAt(params, 0), &mode))) {
            return argumentError(0);
        }
        return AsDispatchResult(OnDisconnection(static_cast<vbext_DisconnectMode>(mode), custom(1)),
                                exception);
    }
    case kDispIdOnAddInsUpdate:
        RETURN_HR_IF(DISP_E_BADPARAMCOUNT, count > 1);
        return AsDispatchResult(OnAddInsUpdate(custom(0)), exception);
    case kDispIdOnStartupComplete:
        RETURN_HR_IF(DISP_E_BADPARAMCOUNT, count > 1);
        return AsDispatchResult(OnStartupComplete(custom(0)), exception);
    default:
        return DISP_E_MEMBERNOTFOUND;
    }
}
CATCH_RETURN()

} // namespace qvn::addin
