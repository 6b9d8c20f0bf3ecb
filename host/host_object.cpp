#include "host_object.h"

#include <oleauto.h>

#include <algorithm>
#include <mutex>

namespace qvn::host {

namespace {

bool IsAbsent(const VARIANT* v) {
    return v->vt == VT_ERROR && v->scode == DISP_E_PARAMNOTFOUND;
}

// Calling errors describe the call itself; only failures of the member become exceptions.
bool IsCallingError(HRESULT hr) {
    switch (hr) {
    case DISP_E_MEMBERNOTFOUND:
    case DISP_E_PARAMNOTFOUND:
    case DISP_E_TYPEMISMATCH:
    case DISP_E_BADPARAMCOUNT:
    case DISP_E_PARAMNOTOPTIONAL:
    case DISP_E_UNKNOWNNAME:
    case DISP_E_NONAMEDARGS:
    case DISP_E_BADVARTYPE:
        return true;
    default:
        return false;
    }
}

std::mutex gTypeLibMutex;
std::wstring gTypeLibFolder;

ITypeLib* LoadIdeLibrary(REFGUID libid, WORD major, const wchar_t* fileName) {
    ITypeLib* lib = nullptr;
    if (SUCCEEDED(LoadRegTypeLib(libid, major, 0, LOCALE_NEUTRAL, &lib))) {
        return lib;
    }
    std::vector<std::wstring> folders;
    wchar_t path[MAX_PATH] = {};
    if (GetModuleFileNameW(nullptr, path, MAX_PATH) > 0) {
        std::wstring exe = path;
        folders.push_back(exe.substr(0, exe.find_last_of(L"\\/") + 1));
    }
    if (!gTypeLibFolder.empty()) {
        folders.push_back(gTypeLibFolder + L"\\");
    }
    for (const auto& folder : folders) {
        if (SUCCEEDED(LoadTypeLibEx((folder + fileName).c_str(), REGKIND_NONE, &lib))) {
            return lib;
        }
    }
    return nullptr;
}

} // namespace

UINT Args::Count() const {
    return params_->cArgs - params_->cNamedArgs;
}

VARIANT* Args::At(UINT index) const {
    if (index >= Count()) {
        return nullptr;
    }
    VARIANT* v = &params_->rgvarg[params_->cArgs - 1 - index];
    return IsAbsent(v) ? nullptr : v;
}

bool Args::Has(UINT index) const {
    return At(index) != nullptr;
}

HRESULT Args::Long(UINT index, long* value, UINT* argErr) const {
    VARIANT* v = At(index);
    if (v == nullptr) {
        *argErr = index;
        return DISP_E_PARAMNOTOPTIONAL;
    }
    VARIANT converted;
    VariantInit(&converted);
    HRESULT hr = VariantChangeType(&converted, v, 0, VT_I4);
    if (FAILED(hr)) {
        *argErr = params_->cArgs - 1 - index;
        return DISP_E_TYPEMISMATCH;
    }
    *value = converted.lVal;
    return S_OK;
}

HRESULT Args::String(UINT index, BSTR* value, UINT* argErr) const {
    *value = nullptr;
    VARIANT* v = At(index);
    if (v == nullptr) {
        *argErr = index;
        return DISP_E_PARAMNOTOPTIONAL;
    }
    VARIANT converted;
    VariantInit(&converted);
    if (FAILED(VariantChangeType(&converted, v, 0, VT_BSTR))) {
        *argErr = params_->cArgs - 1 - index;
        return DISP_E_TYPEMISMATCH;
    }
    *value = converted.bstrVal;
    return S_OK;
}

HRESULT Args::Dispatch(UINT index, IDispatch** value, UINT* argErr) const {
    *value = nullptr;
    VARIANT* v = At(index);
    if (v == nullptr) {
        return S_OK;
    }
    VARIANT plain;
    VariantInit(&plain);
    if (FAILED(VariantCopyInd(&plain, v))) {
        *argErr = params_->cArgs - 1 - index;
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
    } else if (plain.vt != VT_EMPTY && plain.vt != VT_NULL && plain.vt != VT_UNKNOWN) {
        hr = DISP_E_TYPEMISMATCH;
    }
    if (hr == DISP_E_TYPEMISMATCH) {
        *argErr = params_->cArgs - 1 - index;
    }
    VariantClear(&plain);
    return hr;
}

VARIANT* Args::PutValue() const {
    for (UINT i = 0; i < params_->cNamedArgs; ++i) {
        if (params_->rgdispidNamedArgs[i] == DISPID_PROPERTYPUT) {
            return &params_->rgvarg[i];
        }
    }
    return params_->cArgs > 0 ? &params_->rgvarg[0] : nullptr;
}

HRESULT Args::SetLongOut(UINT index, long value, UINT* argErr) const {
    VARIANT* v = index < Count() ? &params_->rgvarg[params_->cArgs - 1 - index] : nullptr;
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
        *argErr = params_->cArgs - 1 - index;
        return DISP_E_TYPEMISMATCH;
    }
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

HostObject::HostObject(std::shared_ptr<HostState> state, const wchar_t* typeName)
    : state_(std::move(state)), typeName_(typeName) {
    state_->live.push_back(this);
}

HostObject::~HostObject() {
    auto& live = state_->live;
    live.erase(std::remove(live.begin(), live.end(), this), live.end());
}

ULONG HostObject::ReleaseImpl() {
    if (refs_ == 0 || destroying_) {
        return 0; // a stray Release during or after destruction must not delete twice
    }
    ULONG left = --refs_;
    if (left == 0) {
        destroying_ = true;
        delete this;
    }
    return left;
}

HRESULT NamesToIdsImpl(std::span<const DispMember> members, LPOLESTR* names, UINT count,
                       DISPID* ids) {
    if (names == nullptr || ids == nullptr || count == 0) {
        return E_INVALIDARG;
    }
    HRESULT hr = S_OK;
    for (UINT i = 0; i < count; ++i) {
        ids[i] = DISPID_UNKNOWN;
    }
    auto it = std::find_if(members.begin(), members.end(), [&](const DispMember& m) {
        return names[0] != nullptr && lstrcmpiW(m.name, names[0]) == 0;
    });
    if (it == members.end()) {
        return DISP_E_UNKNOWNNAME;
    }
    ids[0] = it->id;
    if (count > 1) {
        hr = DISP_E_UNKNOWNNAME; // argument names are not offered
    }
    return hr;
}

HRESULT ToDispatchResultImpl(HRESULT hr, EXCEPINFO* excepInfo) {
    if (SUCCEEDED(hr) || IsCallingError(hr) || excepInfo == nullptr) {
        return hr;
    }
    IErrorInfo* info = nullptr;
    *excepInfo = EXCEPINFO{};
    excepInfo->scode = hr;
    if (GetErrorInfo(0, &info) == S_OK && info != nullptr) {
        info->GetDescription(&excepInfo->bstrDescription);
        info->GetSource(&excepInfo->bstrSource);
        SetErrorInfo(0, info); // callers that read IErrorInfo instead still find it
        info->Release();
    }
    return DISP_E_EXCEPTION;
}

ITypeInfo* IdeTypeInfo(REFIID iid) {
    static const GUID vbide = {
        0xEF404E00, 0xEDA6, 0x101A, {0x8D, 0xAF, 0x00, 0xDD, 0x01, 0x0F, 0x7E, 0xBB}};
    static const GUID office = {
        0x2DF8D04C, 0x5BFA, 0x101B, {0xBD, 0xE5, 0x00, 0xAA, 0x00, 0x44, 0xDE, 0x52}};
    std::lock_guard lock(gTypeLibMutex);
    static ITypeLib* libs[2] = {};
    static bool tried[2] = {};
    const GUID* ids[2] = {&vbide, &office};
    const WORD majors[2] = {5, 2};
    const wchar_t* files[2] = {L"VB5EXT.OLB", L"MSO97.DLL"};
    for (int i = 0; i < 2; ++i) {
        if (!tried[i]) {
            libs[i] = LoadIdeLibrary(*ids[i], majors[i], files[i]);
            tried[i] = libs[i] != nullptr; // retry later when a folder is configured
        }
        ITypeInfo* info = nullptr;
        if (libs[i] != nullptr && SUCCEEDED(libs[i]->GetTypeInfoOfGuid(iid, &info))) {
            info->Release(); // the library keeps it alive for the process
            return info;
        }
    }
    return nullptr;
}

void SetIdeTypeLibraryFolder(const std::wstring& folder) {
    std::lock_guard lock(gTypeLibMutex);
    gTypeLibFolder = folder;
}

} // namespace qvn::host
