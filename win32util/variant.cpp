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
