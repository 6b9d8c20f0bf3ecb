#include "dispatch_call.h"

#include "result_macros.h"

#include <cstdio>
#include <vector>

namespace qvn::addin {

namespace {

// The language's own error for a missing object, so that its text reads as users know it.
constexpr HRESULT kObjectRequired = static_cast<HRESULT>(0x800A005B);

std::wstring WithoutTrailingBreaks(std::wstring text) {
    while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' ')) {
        text.pop_back();
    }
    return text;
}

DispatchError ErrorFromCall(HRESULT hr, EXCEPINFO& info) {
    std::wstring description;
    if (hr == DISP_E_EXCEPTION) {
        if (info.pfnDeferredFillIn != nullptr) {
            info.pfnDeferredFillIn(&info);
        }
        if (info.bstrDescription != nullptr) {
            description.assign(info.bstrDescription, SysStringLen(info.bstrDescription));
        }
        if (FAILED(info.scode)) {
            hr = info.scode;
        } else if (info.wCode != 0) {
            hr = MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, info.wCode);
        }
    } else {
        description = TakeErrorInfoDescription();
    }
    SysFreeString(info.bstrSource);
    SysFreeString(info.bstrDescription);
    SysFreeString(info.bstrHelpFile);
    info = {};
    if (description.empty()) {
        description = DescribeFailure(hr);
    }
    return DispatchError(hr, std::move(description));
}

} // namespace

DispatchError::DispatchError(HRESULT hr, std::wstring description)
    : IdeError(Utf8(description)), hr_(hr), description_(std::move(description)) {}

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

void Call(IDispatch* object, const wchar_t* name, WORD flags, std::initializer_list<VARIANT*> args,
          VARIANT* result) {
    if (object == nullptr) {
        throw DispatchError(kObjectRequired, DescribeFailure(kObjectRequired));
    }
    DISPID id = DISPID_UNKNOWN;
    auto* nameText = const_cast<LPOLESTR>(name);
    HRESULT hr = object->GetIDsOfNames(IID_NULL, &nameText, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(hr)) {
        throw DispatchError(hr, DescribeFailure(hr));
    }

    // DISPPARAMS holds the arguments last first.
    std::vector<VARIANT> reversed;
    reversed.reserve(args.size());
    for (auto it = std::rbegin(args); it != std::rend(args); ++it) {
        reversed.push_back(**it);
    }
    DISPID putId = DISPID_PROPERTYPUT;
    DISPPARAMS params{};
    params.cArgs = static_cast<UINT>(reversed.size());
    params.rgvarg = reversed.empty() ? nullptr : reversed.data();
    if ((flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0) {
        params.cNamedArgs = 1;
        params.rgdispidNamedArgs = &putId;
    }

    Variant ignored;
    VARIANT* out = result != nullptr ? result : ignored.Get();
    EXCEPINFO info{};
    UINT argError = 0;
    SetErrorInfo(0, nullptr); // a stale description must not be taken for this call's
    hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, out, &info, &argError);
    if (FAILED(hr)) {
        throw ErrorFromCall(hr, info);
    }
}

ComPtr<IDispatch> ObjectOf(const VARIANT& value) {
    ComPtr<IDispatch> object;
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
        return value.pvarVal != nullptr ? ObjectOf(*value.pvarVal) : nullptr;
    default:
        return nullptr;
    }
    if (unknown != nullptr) {
        unknown->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(object.GetAddressOf()));
    }
    return object;
}

ComPtr<IDispatch> GetObject(IDispatch* object, const wchar_t* name,
                            std::initializer_list<VARIANT*> args) {
    Variant result;
    Call(object, name, kGetFlags, args, result.Get());
    ComPtr<IDispatch> found = ObjectOf(result.Ref());
    if (found == nullptr) {
        throw DispatchError(kObjectRequired, DescribeFailure(kObjectRequired));
    }
    return found;
}

void CallMethod(IDispatch* object, const wchar_t* name, std::initializer_list<VARIANT*> args) {
    Call(object, name, DISPATCH_METHOD, args, nullptr);
}

void PutProperty(IDispatch* object, const wchar_t* name, VARIANT* value) {
    Call(object, name, DISPATCH_PROPERTYPUT, {value}, nullptr);
}

std::wstring DescribeFailure(HRESULT hr) {
    if (hr == kObjectRequired) {
        return L"Object variable or With block variable not set";
    }
    wchar_t* buffer = nullptr;
    DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(hr), 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text;
    if (length != 0 && buffer != nullptr) {
        text = WithoutTrailingBreaks(std::wstring(buffer, length));
    }
    LocalFree(buffer);
    if (text.empty()) {
        wchar_t fallback[64];
        std::swprintf(fallback, 64, L"Unexpected failure 0x%08lX.", static_cast<unsigned long>(hr));
        text = fallback;
    }
    return text;
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

std::wstring Wide(const std::string& utf8) {
    if (utf8.empty()) {
        return {};
    }
    int length =
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring text(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), text.data(),
                        length);
    return text;
}

std::string Utf8(const std::wstring& text) {
    if (text.empty()) {
        return {};
    }
    int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                     nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), utf8.data(), length,
                        nullptr, nullptr);
    return utf8;
}

} // namespace qvn::addin
