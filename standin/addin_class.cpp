#include "standin/addin_class.h"

#include "win32util/registry.h"
#include "win32util/result_macros.h"

#include <wrl/client.h>

#include <objbase.h>

namespace qvn::standin {

namespace {

// The default value of HKCU or HKCR `subKey`, or empty. Read through the process's own
// registry view: on 64-bit Windows a 32-bit host sees the 32-bit classes, as COM would show
// it. Wine keeps a single HKCU\Software\Classes\CLSID for both bitnesses, so there the last
// per-user registration of either bitness wins, and a DLL of the other bitness fails to load
// (Connect returns LoadLibrary's error) instead of being passed over.
std::wstring DefaultValue(HKEY root, const std::wstring& subKey) {
    return win32util::ReadString(root, subKey).value_or(L"");
}

std::wstring ExpandPath(const std::wstring& path) {
    wchar_t expanded[MAX_PATH * 2] = {};
    DWORD n = ExpandEnvironmentStringsW(path.c_str(), expanded, MAX_PATH * 2);
    return n > 0 && n <= MAX_PATH * 2 ? std::wstring(expanded) : path;
}

using GetClassObjectFunction = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
using CanUnloadNowFunction = HRESULT(STDAPICALLTYPE*)();

} // namespace

HRESULT ResolveAddInClass(const std::wstring& progId, AddInClass* found) {
    if (found == nullptr) {
        return E_POINTER;
    }
    *found = AddInClass{};
    if (progId.empty()) {
        return REGDB_E_CLASSNOTREG;
    }
    std::wstring clsid =
        DefaultValue(HKEY_CURRENT_USER, L"Software\\Classes\\" + progId + L"\\CLSID");
    found->perUserProgId = !clsid.empty();
    if (clsid.empty()) {
        clsid = DefaultValue(HKEY_CLASSES_ROOT, progId + L"\\CLSID");
    }
    if (clsid.empty() || FAILED(CLSIDFromString(clsid.c_str(), &found->clsid))) {
        *found = AddInClass{};
        return REGDB_E_CLASSNOTREG;
    }
    found->perUserServer = ExpandPath(DefaultValue(
        HKEY_CURRENT_USER, L"Software\\Classes\\CLSID\\" + clsid + L"\\InprocServer32"));
    return S_OK;
}

LoadedServer::~LoadedServer() {
    auto canUnload = reinterpret_cast<CanUnloadNowFunction>(
        reinterpret_cast<void*>(GetProcAddress(module_, "DllCanUnloadNow")));
    if (canUnload == nullptr || canUnload() == S_OK) {
        FreeLibrary(module_);
    }
}

HRESULT CreatePerUserObject(const AddInClass& addInClass, std::unique_ptr<LoadedServer>* server,
                            IUnknown** object) {
    if (server == nullptr || object == nullptr) {
        return E_POINTER;
    }
    *object = nullptr;
    HMODULE module =
        LoadLibraryExW(addInClass.perUserServer.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (module == nullptr) {
        return HRESULT_FROM_WIN32(GetLastError());
    }
    auto loaded = std::make_unique<LoadedServer>(module);
    auto getClassObject = reinterpret_cast<GetClassObjectFunction>(
        reinterpret_cast<void*>(GetProcAddress(module, "DllGetClassObject")));
    if (getClassObject == nullptr) {
        return CO_E_ERRORINDLL;
    }
    Microsoft::WRL::ComPtr<IClassFactory> factory;
    RETURN_IF_FAILED(getClassObject(addInClass.clsid, IID_IClassFactory,
                                    reinterpret_cast<void**>(factory.GetAddressOf())));
    RETURN_IF_FAILED(
        factory->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(object)));
    *server = std::move(loaded);
    return S_OK;
}

HRESULT CreateAddInObject(const std::wstring& progId, std::unique_ptr<LoadedServer>* server,
                          IUnknown** object) {
    if (server == nullptr || object == nullptr) {
        return E_POINTER;
    }
    *object = nullptr;
    AddInClass addInClass;
    RETURN_IF_FAILED(ResolveAddInClass(progId, &addInClass));
    if (!addInClass.perUserServer.empty()) {
        return CreatePerUserObject(addInClass, server, object);
    }
    return CoCreateInstance(addInClass.clsid, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                            IID_IUnknown, reinterpret_cast<void**>(object));
}

} // namespace qvn::standin
