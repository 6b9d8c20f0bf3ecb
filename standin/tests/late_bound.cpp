#include "standin/tests/late_bound.h"

namespace qvn::standin::testing {

CallResult::CallResult() {
    VariantInit(&value);
}

CallResult::~CallResult() {
    VariantClear(&value);
}

CallResult::CallResult(CallResult&& other) noexcept
    : hr(other.hr), value(other.value), scode(other.scode), description(other.description) {
    VariantInit(&other.value);
}

Microsoft::WRL::ComPtr<IDispatch> CallResult::Object() const {
    return value.vt == VT_DISPATCH ? value.pdispVal : nullptr;
}

Microsoft::WRL::ComPtr<IUnknown> CallResult::Unknown() const {
    return value.vt == VT_UNKNOWN || value.vt == VT_DISPATCH ? value.punkVal : nullptr;
}

std::wstring CallResult::Text() const {
    return value.vt == VT_BSTR && value.bstrVal != nullptr
               ? std::wstring(value.bstrVal, SysStringLen(value.bstrVal))
               : std::wstring();
}

long CallResult::Number() const {
    VARIANT n;
    VariantInit(&n);
    VariantChangeType(&n, const_cast<VARIANT*>(&value), 0, VT_I4);
    return n.vt == VT_I4 ? n.lVal : -1;
}

DISPID IdOf(IDispatch* object, const wchar_t* name, HRESULT* hr) {
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    HRESULT result = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (hr != nullptr) {
        *hr = result;
    }
    return id;
}

CallResult Call(IDispatch* object, const wchar_t* name, WORD flags, std::vector<VARIANT> args) {
    CallResult result;
    DISPID id = IdOf(object, name, &result.hr);
    if (FAILED(result.hr)) {
        return result;
    }
    std::vector<VARIANT> reversed(args.rbegin(), args.rend());
    DISPID putId = DISPID_PROPERTYPUT;
    DISPPARAMS params{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
    if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
        params.rgdispidNamedArgs = &putId;
        params.cNamedArgs = 1;
    }
    EXCEPINFO excep{};
    UINT argErr = 0;
    result.hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, &result.value,
                               &excep, &argErr);
    if (result.hr == DISP_E_EXCEPTION) {
        result.scode = excep.scode;
        if (excep.bstrDescription != nullptr) {
            result.description = excep.bstrDescription;
        }
    }
    SysFreeString(excep.bstrDescription);
    SysFreeString(excep.bstrSource);
    SysFreeString(excep.bstrHelpFile);
    for (auto& arg : args) {
        if (arg.vt == VT_BSTR) {
            VariantClear(&arg);
        }
    }
    return result;
}

CallResult Get(IDispatch* object, const wchar_t* name, std::vector<VARIANT> args) {
    return Call(object, name, DISPATCH_METHOD | DISPATCH_PROPERTYGET, std::move(args));
}

CallResult Method(IDispatch* object, const wchar_t* name, std::vector<VARIANT> args) {
    return Call(object, name, DISPATCH_METHOD, std::move(args));
}

HRESULT Put(IDispatch* object, const wchar_t* name, VARIANT value) {
    return Call(object, name, DISPATCH_PROPERTYPUT, {value}).hr;
}

VARIANT Long(long value) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = value;
    return v;
}

VARIANT Text(const wchar_t* text) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_BSTR;
    v.bstrVal = SysAllocString(text);
    return v;
}

VARIANT Object(IDispatch* object) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_DISPATCH;
    v.pdispVal = object;
    return v;
}

VARIANT LongRef(long* value) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_I4 | VT_BYREF;
    v.plVal = value;
    return v;
}

VARIANT Missing() {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_ERROR;
    v.scode = DISP_E_PARAMNOTFOUND;
    return v;
}

} // namespace qvn::standin::testing

namespace qvn::standin::testing {
std::string Utf8Name(const wchar_t* name) {
    std::string out;
    for (const wchar_t* p = name; *p != L'\0'; ++p) {
        out.push_back(*p < 128 ? static_cast<char>(*p) : '?');
    }
    return out;
}
} // namespace qvn::standin::testing
