#include "addin/type_library.h"

#include "addin/module.h"
#include "addin/result_macros.h"

#include <vector>

namespace qvn::addin {

std::wstring ModulePath() {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        DWORD length =
            GetModuleFileNameW(ModuleHandle(), buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) {
            return {};
        }
        if (length < buffer.size()) {
            return std::wstring(buffer.data(), length);
        }
        buffer.resize(buffer.size() * 2);
    }
}

HRESULT OwnTypeLibrary(ITypeLib** library) {
    RETURN_HR_IF_NULL(E_POINTER, library);
    *library = nullptr;
    // Loaded on every call rather than cached: the system keeps loaded libraries itself,
    // and a cached reference would outlive DllCanUnloadNow's answer.
    const std::wstring path = ModulePath();
    RETURN_HR_IF(E_FAIL, path.empty());
    return LoadTypeLibEx(path.c_str(), REGKIND_NONE, library);
}

HRESULT OwnTypeInfo(REFIID iid, ITypeInfo** info) {
    RETURN_HR_IF_NULL(E_POINTER, info);
    *info = nullptr;
    Microsoft::WRL::ComPtr<ITypeLib> library;
    RETURN_IF_FAILED(OwnTypeLibrary(library.GetAddressOf()));
    return library->GetTypeInfoOfGuid(iid, info);
}

} // namespace qvn::addin
