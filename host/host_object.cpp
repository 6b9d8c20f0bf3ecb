#include "host/host_object.h"

#include <oleauto.h>

#include <algorithm>
#include <mutex>

namespace qvn::host {

namespace {

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
