#include "addin/type_library.h"

#include "addin/module.h"
#include "win32util/result_macros.h"
#include "win32util/system_message.h"

#include <string>

namespace qvn::addin {

HRESULT OwnTypeLibrary(ITypeLib** library, int resource) {
    RETURN_HR_IF_NULL(E_POINTER, library);
    *library = nullptr;
    // Loaded on every call rather than cached: the system keeps loaded libraries itself,
    // and a cached reference would outlive DllCanUnloadNow's answer.
    std::wstring path = win32util::ModulePath(ModuleHandle());
    RETURN_HR_IF(E_FAIL, path.empty());
    // The first resource is the module's own path; another one is named after it.
    if (resource != kRegisteredLibrary)
        path += L"\\" + std::to_wstring(resource);
    return LoadTypeLibEx(path.c_str(), REGKIND_NONE, library);
}

HRESULT OwnTypeInfo(REFIID iid, ITypeInfo** info, int resource) {
    RETURN_HR_IF_NULL(E_POINTER, info);
    *info = nullptr;
    Microsoft::WRL::ComPtr<ITypeLib> library;
    RETURN_IF_FAILED(OwnTypeLibrary(library.GetAddressOf(), resource));
    return library->GetTypeInfoOfGuid(iid, info);
}

} // namespace qvn::addin
