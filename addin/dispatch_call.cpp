#include "addin/dispatch_call.h"

#include "ide/names.h"

#include <vector>

namespace qvn::addin {

namespace {

// The language's own error for a missing object, so that its text reads as users know it.
constexpr HRESULT kObjectRequired = names::kErrorObjectRequired;

ResultException ErrorFromCall(HRESULT hr, EXCEPINFO& info) {
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
    return ResultException(hr, std::move(description));
}

} // namespace

void Call(IDispatch* object, const wchar_t* name, WORD flags, std::initializer_list<VARIANT*> args,
          VARIANT* result) {
    if (object == nullptr) {
        ThrowFailure(kObjectRequired);
    }
    DISPID id = DISPID_UNKNOWN;
    auto* nameText = const_cast<LPOLESTR>(name);
    HRESULT hr = object->GetIDsOfNames(IID_NULL, &nameText, 1, LOCALE_USER_DEFAULT, &id);
    THROW_IF_FAILED(hr);

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
    if (SUCCEEDED(hr)) {
        return;
    }
    throw ErrorFromCall(hr, info);
}

ComPtr<IDispatch> GetObject(IDispatch* object, const wchar_t* name,
                            std::initializer_list<VARIANT*> args) {
    Variant result;
    Call(object, name, kGetFlags, args, result.Get());
    ComPtr<IDispatch> found = ObjectOf(result.Ref());
    if (found == nullptr) {
        ThrowFailure(kObjectRequired);
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
    return win32util::FailureText(hr);
}

void ThrowFailure(HRESULT hr) {
    throw ResultException(hr, DescribeFailure(hr));
}

} // namespace qvn::addin
