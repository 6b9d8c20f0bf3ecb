// The untyped stand-ins of the members whose types come from the IDE's libraries, and the
// completion of the exceptions that the type-driven calls report.
#include "addin/dispatch_call.h"
#include "addin/identifiers.h"
#include "addin/type_info_dispatch.h"

namespace qvn::addin {

using win32util::DispArgs;
using win32util::IsGet;
using win32util::IsPut;
using win32util::SetResult;

namespace {

// An object argument as the interface `T` it must be; Nothing gives nullptr.
template <class T>
HRESULT ObjectArgument(VARIANT* value, REFIID iid, ComPtr<T>& object, UINT* argErr, UINT index) {
    object.Reset();
    if (value == nullptr) {
        return DISP_E_PARAMNOTOPTIONAL;
    }
    VARIANT plain;
    VariantInit(&plain);
    HRESULT hr = VariantCopyInd(&plain, value);
    if (SUCCEEDED(hr) && (plain.vt == VT_DISPATCH || plain.vt == VT_UNKNOWN)) {
        if (plain.punkVal != nullptr &&
            plain.punkVal->QueryInterface(iid, reinterpret_cast<void**>(object.GetAddressOf())) !=
                S_OK) {
            hr = DISP_E_TYPEMISMATCH;
        }
    } else if (SUCCEEDED(hr) && plain.vt != VT_EMPTY && plain.vt != VT_NULL) {
        hr = DISP_E_TYPEMISMATCH;
    }
    VariantClear(&plain);
    if (FAILED(hr)) {
        *argErr = index;
        return DISP_E_TYPEMISMATCH;
    }
    return S_OK;
}

// VBInstance and MenuHandler: an object property that is read, or set by reference. A
// `dispatch` property reads back as VT_DISPATCH, any other as VT_UNKNOWN.
template <class T, HRESULT (STDMETHODCALLTYPE _Connect::*Get)(T**),
          HRESULT (STDMETHODCALLTYPE _Connect::*Put)(T*), bool dispatch>
HRESULT ObjectProperty(_Connect& self, WORD flags, const DispArgs& args, VARIANT* result,
                       UINT* argErr, REFIID iid) {
    if (IsPut(flags)) {
        ComPtr<T> object;
        RETURN_IF_FAILED(ObjectArgument(args.PutValue(), iid, object, argErr, 0));
        return (self.*Put)(object.Get());
    }
    RETURN_HR_IF(DISP_E_MEMBERNOTFOUND, !IsGet(flags));
    RETURN_HR_IF(DISP_E_BADPARAMCOUNT, args.Count() != 0);
    T* object = nullptr;
    RETURN_IF_FAILED((self.*Get)(&object));
    if (result == nullptr) {
        if (object != nullptr) {
            object->Release();
        }
    } else if constexpr (dispatch) {
        SetResult(result, static_cast<IDispatch*>(object));
    } else {
        win32util::SetUnknownResult(result, object);
    }
    return S_OK;
}

HRESULT VBInstanceUntyped(_Connect& self, WORD flags, const DispArgs& args, VARIANT* result,
                          UINT* argErr) {
    return ObjectProperty<VBE, &_Connect::get_VBInstance, &_Connect::putref_VBInstance, true>(
        self, flags, args, result, argErr, IID_VBE);
}

HRESULT MenuHandlerUntyped(_Connect& self, WORD flags, const DispArgs& args, VARIANT* result,
                           UINT* argErr) {
    // Any object: the interface has no members beyond IUnknown, and the source may be handed
    // out as VT_UNKNOWN or VT_DISPATCH.
    return ObjectProperty<_CommandBarControlEvents, &_Connect::get_MenuHandler,
                          &_Connect::putref_MenuHandler, false>(self, flags, args, result, argErr,
                                                                IID_IUnknown);
}

HRESULT AddToAddInCommandBarUntyped(_Connect& self, WORD flags, const DispArgs& args,
                                    VARIANT* result, UINT* argErr) {
    RETURN_HR_IF(DISP_E_MEMBERNOTFOUND, (flags & DISPATCH_METHOD) == 0);
    RETURN_HR_IF(DISP_E_BADPARAMCOUNT, args.Count() != 1);
    // The caption is passed by reference: a BSTR reference is used in place, anything else
    // is converted into a local copy.
    VARIANT* arg = args.At(0);
    RETURN_HR_IF(DISP_E_PARAMNOTOPTIONAL, arg == nullptr);
    if (arg->vt == (VT_VARIANT | VT_BYREF) && arg->pvarVal != nullptr) {
        arg = arg->pvarVal;
    }
    BSTR* caption = nullptr;
    win32util::Variant converted;
    if (arg->vt == (VT_BSTR | VT_BYREF)) {
        caption = arg->pbstrVal;
    } else if (arg->vt == VT_BSTR) {
        caption = &arg->bstrVal;
    } else if (SUCCEEDED(VariantChangeType(converted.Get(), arg, 0, VT_BSTR))) {
        caption = &converted.Get()->bstrVal;
    } else {
        *argErr = args.Position(0);
        return DISP_E_TYPEMISMATCH;
    }
    ::CommandBarControl* control = nullptr;
    RETURN_IF_FAILED(self.AddToAddInCommandBar(caption, &control));
    if (result != nullptr) {
        SetResult(result, static_cast<IDispatch*>(control));
    } else if (control != nullptr) {
        control->Release();
    }
    return S_OK;
}

HRESULT OnConnectionUntyped(IDTExtensibility& self, WORD flags, const DispArgs& args, VARIANT*,
                            UINT* argErr) {
    RETURN_HR_IF(DISP_E_MEMBERNOTFOUND, (flags & DISPATCH_METHOD) == 0);
    RETURN_HR_IF(DISP_E_BADPARAMCOUNT, args.Count() < 3 || args.Count() > 4);
    ComPtr<IDispatch> root;
    ComPtr<IDispatch> addInInst;
    long mode = 0;
    RETURN_IF_FAILED(ObjectArgument(args.At(0), IID_IDispatch, root, argErr, args.Position(0)));
    RETURN_IF_FAILED(args.Long(1, &mode, argErr));
    RETURN_IF_FAILED(
        ObjectArgument(args.At(2), IID_IDispatch, addInInst, argErr, args.Position(2)));
    return self.OnConnection(root.Get(), static_cast<vbext_ConnectMode>(mode), addInInst.Get(),
                             args.ArrayRef(3));
}

HRESULT OnDisconnectionUntyped(IDTExtensibility& self, WORD flags, const DispArgs& args, VARIANT*,
                               UINT* argErr) {
    RETURN_HR_IF(DISP_E_MEMBERNOTFOUND, (flags & DISPATCH_METHOD) == 0);
    RETURN_HR_IF(DISP_E_BADPARAMCOUNT, args.Count() < 1 || args.Count() > 2);
    long mode = 0;
    RETURN_IF_FAILED(args.Long(0, &mode, argErr));
    return self.OnDisconnection(static_cast<vbext_DisconnectMode>(mode), args.ArrayRef(1));
}

constexpr UntypedMember<_Connect> kConnectUntyped[] = {
    {L"VBInstance", VBInstanceUntyped},
    {L"MenuHandler", MenuHandlerUntyped},
    {L"AddToAddInCommandBar", AddToAddInCommandBarUntyped},
};

constexpr UntypedMember<IDTExtensibility> kExtensibilityUntyped[] = {
    {L"OnConnection", OnConnectionUntyped},
    {L"OnDisconnection", OnDisconnectionUntyped},
};

void FillException(EXCEPINFO* exception, HRESULT hr, std::wstring description) {
    if (description.empty()) {
        description = DescribeFailure(hr);
    }
    if (exception->bstrSource == nullptr) {
        exception->bstrSource = SysAllocString(kProgId);
    }
    exception->bstrDescription =
        SysAllocStringLen(description.data(), static_cast<UINT>(description.size()));
    exception->scode = hr;
}

} // namespace

std::span<const UntypedMember<_Connect>> UntypedMembers(_Connect*) {
    return kConnectUntyped;
}

std::span<const UntypedMember<IDTExtensibility>> UntypedMembers(IDTExtensibility*) {
    return kExtensibilityUntyped;
}

void CompleteException(EXCEPINFO* exception) {
    if (exception == nullptr || exception->bstrDescription != nullptr) {
        return;
    }
    if (exception->pfnDeferredFillIn != nullptr) {
        exception->pfnDeferredFillIn(exception);
        if (exception->bstrDescription != nullptr) {
            return;
        }
    }
    HRESULT hr = FAILED(exception->scode) ? exception->scode : E_FAIL;
    FillException(exception, hr, win32util::TakeErrorInfoDescription());
}

HRESULT ExceptionFromFailure(HRESULT hr, EXCEPINFO* exception) {
    // Errors in the call itself (a wrong argument, a missing member) are reported as such.
    switch (hr) {
    case DISP_E_MEMBERNOTFOUND:
    case DISP_E_TYPEMISMATCH:
    case DISP_E_BADPARAMCOUNT:
    case DISP_E_PARAMNOTOPTIONAL:
        return hr;
    default:
        break;
    }
    if (SUCCEEDED(hr) || exception == nullptr) {
        return hr;
    }
    *exception = {};
    FillException(exception, hr, win32util::TakeErrorInfoDescription());
    return DISP_E_EXCEPTION;
}

} // namespace qvn::addin
