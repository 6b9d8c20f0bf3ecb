#include "win32util/variant.h"

#include <new>

namespace qvn::win32util {

using Microsoft::WRL::ComPtr;

Variant::Variant(long number) noexcept : Variant() {
    value_.vt = VT_I4;
    value_.lVal = number;
}

Variant::Variant(const std::wstring& text) : Variant() {
    BSTR copy = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    if (copy == nullptr) {
        throw std::bad_alloc();
    }
    value_.vt = VT_BSTR;
    value_.bstrVal = copy;
}

Variant::Variant(IDispatch* object) noexcept : Variant() {
    value_.vt = VT_DISPATCH;
    value_.pdispVal = object;
    if (object != nullptr) {
        object->AddRef();
    }
}

VARIANT* Variant::ReleaseAndGetAddressOf() noexcept {
    VariantClear(&value_);
    return &value_;
}

Variant Variant::Bool(bool value) noexcept {
    Variant v;
    v.value_.vt = VT_BOOL;
    v.value_.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
    return v;
}

Variant Variant::Missing() noexcept {
    Variant v;
    v.value_.vt = VT_ERROR;
    v.value_.scode = DISP_E_PARAMNOTFOUND;
    return v;
}

ComPtr<IUnknown> UnknownOf(const VARIANT& value) {
    IUnknown* unknown = nullptr;
    switch (value.vt) {
    case VT_DISPATCH:
        unknown = value.pdispVal;
        break;
    case VT_UNKNOWN:
        unknown = value.punkVal;
        break;
    case VT_DISPATCH | VT_BYREF:
        unknown = value.ppdispVal != nullptr ? *value.ppdispVal : nullptr;
        break;
    case VT_UNKNOWN | VT_BYREF:
        unknown = value.ppunkVal != nullptr ? *value.ppunkVal : nullptr;
        break;
    case VT_VARIANT | VT_BYREF:
        return value.pvarVal != nullptr ? UnknownOf(*value.pvarVal) : nullptr;
    default:
        break;
    }
    return ComPtr<IUnknown>(unknown);
}

ComPtr<IDispatch> ObjectOf(const VARIANT& value) {
    ComPtr<IDispatch> object;
    if (ComPtr<IUnknown> unknown = UnknownOf(value)) {
        unknown->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(object.GetAddressOf()));
    }
    return object;
}

namespace {

bool IsAbsent(const VARIANT* v) {
    return v->vt == VT_ERROR && v->scode == DISP_E_PARAMNOTFOUND;
}

} // namespace

UINT DispArgs::Count() const {
    return params_->cArgs - params_->cNamedArgs;
}

VARIANT* DispArgs::At(UINT index) const {
    if (index >= Count()) {
        return nullptr;
    }
    VARIANT* v = &params_->rgvarg[Position(index)];
    return IsAbsent(v) ? nullptr : v;
}

bool DispArgs::Has(UINT index) const {
    return At(index) != nullptr;
}

HRESULT DispArgs::Converted(UINT index, VARTYPE type, VARIANT* converted, UINT* argErr) const {
    VARIANT* v = At(index);
    if (v == nullptr) {
        *argErr = index;
        return DISP_E_PARAMNOTOPTIONAL;
    }
    VariantInit(converted);
    if (FAILED(VariantChangeType(converted, v, 0, type))) {
        *argErr = Position(index);
        return DISP_E_TYPEMISMATCH;
    }
    return S_OK;
}

HRESULT DispArgs::Long(UINT index, long* value, UINT* argErr) const {
    VARIANT converted;
    const HRESULT hr = Converted(index, VT_I4, &converted, argErr);
    if (SUCCEEDED(hr)) {
        *value = converted.lVal;
    }
    return hr;
}

HRESULT DispArgs::Bool(UINT index, VARIANT_BOOL* value, UINT* argErr) const {
    VARIANT converted;
    const HRESULT hr = Converted(index, VT_BOOL, &converted, argErr);
    if (SUCCEEDED(hr)) {
        *value = converted.boolVal;
    }
    return hr;
}

HRESULT DispArgs::String(UINT index, BSTR* value, UINT* argErr) const {
    *value = nullptr;
    VARIANT converted;
    const HRESULT hr = Converted(index, VT_BSTR, &converted, argErr);
    if (SUCCEEDED(hr)) {
        *value = converted.bstrVal; // the caller's to free
    }
    return hr;
}

HRESULT DispArgs::Dispatch(UINT index, IDispatch** value, UINT* argErr) const {
    *value = nullptr;
    VARIANT* v = At(index);
    if (v == nullptr) {
        return S_OK;
    }
    VARIANT plain;
    VariantInit(&plain);
    if (FAILED(VariantCopyInd(&plain, v))) {
        *argErr = Position(index);
        return DISP_E_TYPEMISMATCH;
    }
    HRESULT hr = S_OK;
    if (plain.vt == VT_DISPATCH) {
        *value = plain.pdispVal;
        if (*value != nullptr) {
            (*value)->AddRef();
        }
    } else if (plain.vt == VT_UNKNOWN && plain.punkVal != nullptr) {
        hr = plain.punkVal->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(value));
        if (FAILED(hr)) {
            hr = DISP_E_TYPEMISMATCH;
        }
    } else if (plain.vt != VT_EMPTY && plain.vt != VT_NULL && plain.vt != VT_UNKNOWN) {
        hr = DISP_E_TYPEMISMATCH;
    }
    if (hr == DISP_E_TYPEMISMATCH) {
        *argErr = Position(index);
    }
    VariantClear(&plain);
    return hr;
}

VARIANT* DispArgs::PutValue() const {
    for (UINT i = 0; i < params_->cNamedArgs; ++i) {
        if (params_->rgdispidNamedArgs[i] == DISPID_PROPERTYPUT) {
            return &params_->rgvarg[i];
        }
    }
    return params_->cArgs > 0 ? &params_->rgvarg[0] : nullptr;
}

HRESULT DispArgs::SetLongOut(UINT index, long value, UINT* argErr) const {
    VARIANT* v = index < Count() ? &params_->rgvarg[Position(index)] : nullptr;
    if (v == nullptr) {
        *argErr = index;
        return DISP_E_PARAMNOTOPTIONAL;
    }
    switch (v->vt) {
    case VT_I4 | VT_BYREF:
        *v->plVal = value;
        return S_OK;
    case VT_I2 | VT_BYREF:
        *v->piVal = static_cast<SHORT>(value);
        return S_OK;
    case VT_INT | VT_BYREF:
        *v->pintVal = static_cast<INT>(value);
        return S_OK;
    case VT_VARIANT | VT_BYREF:
        VariantClear(v->pvarVal);
        v->pvarVal->vt = VT_I4;
        v->pvarVal->lVal = value;
        return S_OK;
    default:
        *argErr = Position(index);
        return DISP_E_TYPEMISMATCH;
    }
}

SAFEARRAY** DispArgs::ArrayRef(UINT index) const {
    VARIANT* v = At(index);
    if (v != nullptr && v->vt == (VT_VARIANT | VT_BYREF) && v->pvarVal != nullptr) {
        v = v->pvarVal;
    }
    if (v != nullptr && (v->vt & (VT_ARRAY | VT_BYREF)) == (VT_ARRAY | VT_BYREF)) {
        return v->pparray;
    }
    return nullptr;
}

bool IsGet(WORD flags) {
    return (flags & (DISPATCH_PROPERTYGET | DISPATCH_METHOD)) != 0;
}

bool IsPut(WORD flags) {
    return (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
}

void SetResult(VARIANT* result, long value) {
    VariantClear(result);
    result->vt = VT_I4;
    result->lVal = value;
}

void SetResult(VARIANT* result, VARIANT_BOOL value) {
    VariantClear(result);
    result->vt = VT_BOOL;
    result->boolVal = value;
}

void SetResult(VARIANT* result, BSTR value) {
    VariantClear(result);
    result->vt = VT_BSTR;
    result->bstrVal = value;
}

void SetResult(VARIANT* result, IDispatch* value) {
    VariantClear(result);
    result->vt = VT_DISPATCH;
    result->pdispVal = value;
}

void SetUnknownResult(VARIANT* result, IUnknown* value) {
    VariantClear(result);
    result->vt = VT_UNKNOWN;
    result->punkVal = value;
}

std::wstring TakeErrorInfoDescription() {
    ComPtr<IErrorInfo> info;
    if (GetErrorInfo(0, info.GetAddressOf()) != S_OK || info == nullptr) {
        return {};
    }
    BSTR description = nullptr;
    std::wstring text;
    if (SUCCEEDED(info->GetDescription(&description)) && description != nullptr) {
        text.assign(description, SysStringLen(description));
    }
    SysFreeString(description);
    return text;
}

} // namespace qvn::win32util
