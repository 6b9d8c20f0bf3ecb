#include "standin/ide_object.h"

#include "win32util/system_message.h"

#include <office.h>
#include <standin_calls.h>
#include <vba_extensibility.h>
#include <vbide.h>

#include <oleauto.h>

#include <algorithm>
#include <mutex>
#include <span>
#include <vector>

namespace qvn::standin {

namespace {

std::mutex gTypeLibMutex;
std::wstring gTypeLibFolder;

struct Library {
    GUID libid;
    WORD major;
    WORD minor;
    const wchar_t* file;
    ITypeLib* loaded = nullptr; // kept for the process
};

ITypeLib* LoadIdeLibrary(const Library& wanted) {
    ITypeLib* lib = nullptr;
    if (SUCCEEDED(LoadRegTypeLib(wanted.libid, wanted.major, wanted.minor, LOCALE_NEUTRAL, &lib))) {
        // A registered library of the same id but the other flavour's version would describe
        // the wrong layout.
        TLIBATTR* attr = nullptr;
        const bool usable = SUCCEEDED(lib->GetLibAttr(&attr)) &&
                            attr->wMajorVerNum == wanted.major &&
                            attr->wMinorVerNum == wanted.minor;
        if (attr != nullptr) {
            lib->ReleaseTLibAttr(attr);
        }
        if (usable) {
            return lib;
        }
        lib->Release();
        lib = nullptr;
    }
    std::wstring program = win32util::ModulePath(nullptr);
    std::vector<std::wstring> folders{program.substr(0, program.find_last_of(L"\\/") + 1)};
    if (!gTypeLibFolder.empty()) {
        folders.push_back(gTypeLibFolder + L"\\");
    }
    for (const auto& folder : folders) {
        if (SUCCEEDED(LoadTypeLibEx((folder + wanted.file).c_str(), REGKIND_NONE, &lib))) {
            return lib;
        }
    }
    return nullptr;
}

// The stand-in's libraries are never registered: they are found beside the program.
// Registering them per user would not keep them to the user under Wine, whose
// RegisterTypeLibForUser writes machine-wide, where they would outlive the test.
std::span<Library> LibrariesOf(HostFlavour flavour) {
    // The stand-in's own call descriptions (standin_calls.idl) come with every flavour.
    static Library vb5[] = {{LIBID_VBIDE, 5, 0, L"VB5EXT.OLB"},
                            {LIBID_Office, 2, 0, L"MSO97.DLL"},
                            {LIBID_QvnStandInCalls, 1, 0, L"QVNSTANDIN.TLB"}};
    static Library vb6[] = {{LIBID_VBIDE, 5, 3, L"VB6EXT.OLB"},
                            {LIBID_Office, 2, 0, L"MSO97.DLL"},
                            {LIBID_QvnStandInCalls, 1, 0, L"QVNSTANDIN.TLB"}};
    static Library vba[] = {{LIBID_VbaVBIDE, 5, 3, L"VBE6EXT.OLB"},
                            {LIBID_Office, 2, 1, L"MSO.DLL"},
                            {LIBID_QvnStandInCalls, 1, 0, L"QVNSTANDIN.TLB"}};
    return flavour == HostFlavour::Vba   ? std::span<Library>(vba)
           : flavour == HostFlavour::Vb6 ? std::span<Library>(vb6)
                                         : std::span<Library>(vb5);
}

} // namespace

void LoadIdeLibraries(HostFlavour flavour) {
    std::lock_guard lock(gTypeLibMutex);
    for (Library& lib : LibrariesOf(flavour)) {
        if (lib.loaded == nullptr) {
            lib.loaded = LoadIdeLibrary(lib); // tried again later when a folder is configured
        }
    }
}

ITypeInfo* IdeTypeInfo(REFIID iid, HostFlavour flavour) {
    LoadIdeLibraries(flavour);
    std::lock_guard lock(gTypeLibMutex);
    for (const Library& lib : LibrariesOf(flavour)) {
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

IdeObject::IdeObject(std::shared_ptr<HostState> state, const wchar_t* typeName)
    : state_(std::move(state)), typeName_(typeName) {
    state_->live.push_back(this);
}

IdeObject::~IdeObject() {
    std::erase(state_->live, this);
}

namespace {

HRESULT Described(REFIID iid, HostFlavour flavour, ITypeInfo** info) {
    *info = IdeTypeInfo(iid, flavour);
    RETURN_HR_IF_NULL(TYPE_E_ELEMENTNOTFOUND, *info);
    (*info)->AddRef();
    return S_OK;
}

} // namespace

HRESULT IdeDescription::PublicInfo(ITypeInfo** info) const {
    return Described(*iid, flavour, info);
}

HRESULT IdeDescription::CallInfo(ITypeInfo** info) const {
    return Described(calls != nullptr ? *calls : *iid, flavour, info);
}

void IdeDescription::CompleteException(EXCEPINFO* exception) noexcept {
    if (exception == nullptr || exception->bstrDescription == nullptr) {
        return;
    }
    // The call through the description took the thread's error info into the EXCEPINFO;
    // callers that read IErrorInfo after a failed Invoke find it again.
    ReportError(exception->scode, exception->bstrDescription,
                exception->bstrSource != nullptr ? exception->bstrSource : L"", GUID_NULL);
}

HRESULT CopyText(const std::wstring& text, BSTR* out) noexcept {
    RETURN_HR_IF_NULL(E_POINTER, out);
    *out = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return *out != nullptr ? S_OK : E_OUTOFMEMORY;
}

std::wstring TextOf(BSTR text) {
    return text != nullptr ? std::wstring(text, SysStringLen(text)) : std::wstring();
}

} // namespace qvn::standin
