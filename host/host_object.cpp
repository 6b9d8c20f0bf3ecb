#include "host/host_object.h"

#include <oleauto.h>

#include <algorithm>
#include <mutex>
#include <span>
#include <vector>

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

ITypeLib* LoadIdeLibrary(REFGUID libid, WORD major, WORD minor, const wchar_t* fileName) {
    ITypeLib* lib = nullptr;
    if (SUCCEEDED(LoadRegTypeLib(libid, major, minor, LOCALE_NEUTRAL, &lib))) {
        // A registered library of the same id but the other flavour's version would describe
        // the wrong layout.
        TLIBATTR* attr = nullptr;
        bool usable = SUCCEEDED(lib->GetLibAttr(&attr)) && attr->wMajorVerNum == major &&
                      attr->wMinorVerNum == minor;
        if (attr != nullptr) {
            lib->ReleaseTLibAttr(attr);
        }
        if (usable) {
            return lib;
        }
        lib->Release();
        lib = nullptr;
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

ITypeInfo* IdeTypeInfo(REFIID iid, HostFlavour flavour) {
    // The stand-in's libraries are never registered: they are found beside the program.
    // Registering them per user would not keep them to the user under Wine, whose
    // RegisterTypeLibForUser writes machine-wide, where they would outlive the test.
    struct Library {
        GUID libid;
        WORD major;
        WORD minor;
        const wchar_t* file;
        ITypeLib* loaded;
        bool tried;
    };
    static constexpr GUID kVbideLibrary = {
        0xEF404E00, 0xEDA6, 0x101A, {0x8D, 0xAF, 0x00, 0xDD, 0x01, 0x0F, 0x7E, 0xBB}};
    static constexpr GUID kOfficeLibrary = {
        0x2DF8D04C, 0x5BFA, 0x101B, {0xBD, 0xE5, 0x00, 0xAA, 0x00, 0x44, 0xDE, 0x52}};
    static constexpr GUID kVbaLibrary = {
        0x0002E157, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
    static Library vb5[] = {{kVbideLibrary, 5, 0, L"VB5EXT.OLB", nullptr, false},
                            {kOfficeLibrary, 2, 0, L"MSO97.DLL", nullptr, false}};
    static Library vb6[] = {{kVbideLibrary, 5, 3, L"VB6EXT.OLB", nullptr, false},
                            {kOfficeLibrary, 2, 0, L"MSO97.DLL", nullptr, false}};
    static Library vba[] = {{kVbaLibrary, 5, 3, L"VBE6EXT.OLB", nullptr, false},
                            {kOfficeLibrary, 2, 1, L"MSO.DLL", nullptr, false}};
    std::lock_guard lock(gTypeLibMutex);
    const std::span<Library> libraries = flavour == HostFlavour::Vba   ? std::span<Library>(vba)
                                         : flavour == HostFlavour::Vb6 ? std::span<Library>(vb6)
                                                                       : std::span<Library>(vb5);
    for (Library& lib : libraries) {
        if (!lib.tried) {
            lib.loaded = LoadIdeLibrary(lib.libid, lib.major, lib.minor, lib.file);
            lib.tried = lib.loaded != nullptr; // retry later when a folder is configured
        }
        ITypeInfo* info = nullptr;
        if (lib.loaded != nullptr && SUCCEEDED(lib.loaded->GetTypeInfoOfGuid(iid, &info))) {
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
