#include "standin/host_state.h"

#include <oleauto.h>

#include <cwctype>

namespace qvn::standin {

std::wstring Lower(std::wstring text) {
    for (auto& c : text) {
        c = static_cast<wchar_t>(std::towlower(c));
    }
    return text;
}

HRESULT ReportError(HRESULT hr, const std::wstring& description, const wchar_t* source,
                    REFIID iid) {
    ICreateErrorInfo* create = nullptr;
    if (SUCCEEDED(CreateErrorInfo(&create))) {
        create->SetGUID(iid);
        create->SetSource(const_cast<LPOLESTR>(source));
        create->SetDescription(const_cast<LPOLESTR>(description.c_str()));
        IErrorInfo* info = nullptr;
        if (SUCCEEDED(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info)))) {
            SetErrorInfo(0, info);
            info->Release();
        }
        create->Release();
    }
    return hr;
}

HRESULT HostState::Check(const wchar_t* operation, const wchar_t* source) {
    auto it = failures.find(Lower(operation));
    if (it == failures.end() || it->second.remaining == 0) {
        return S_OK;
    }
    InjectedFailure failure = it->second;
    if (it->second.remaining > 0) {
        --it->second.remaining;
    }
    return ReportError(failure.hr, failure.description, source, GUID_NULL);
}

} // namespace qvn::standin
