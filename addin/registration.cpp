#include "registration.h"

#include "identifiers.h"
#include "result_macros.h"
#include "type_library.h"

#include <qvn.h>
#include <wrl/client.h>

#include <string>
#include <vector>

namespace qvn::addin {

namespace {

using Microsoft::WRL::ComPtr;

std::wstring GuidText(REFGUID guid) {
    wchar_t text[40] = {};
    StringFromGUID2(guid, text, 40);
    return text;
}

std::wstring ClassKey() {
    return L"CLSID\\" + GuidText(CLSID_Connect);
}
std::wstring LibraryKey() {
    return L"TypeLib\\" + GuidText(LIBID_Quorvane);
}
std::wstring LibraryVersionKey() {
    return LibraryKey() + L"\\" + kLibraryVersion;
}
std::wstring InterfaceKey(REFIID iid) {
    return L"Interface\\" + GuidText(iid);
}

HRESULT SetString(HKEY root, const std::wstring& path, const wchar_t* name,
                  const std::wstring& value) {
    HKEY key = nullptr;
    LONG status =
        RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr);
    if (status == ERROR_SUCCESS) {
        status = RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
        RegCloseKey(key);
    }
    return HRESULT_FROM_WIN32(status);
}

HRESULT DeleteTree(HKEY root, const std::wstring& path) {
    LONG status = RegDeleteTreeW(root, path.c_str());
    if (status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND) {
        status = RegDeleteKeyW(root, path.c_str());
    }
    if (status == ERROR_FILE_NOT_FOUND) {
        status = ERROR_SUCCESS;
    }
    return HRESULT_FROM_WIN32(status);
}

bool KeyIsEmpty(HKEY root, const std::wstring& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return false;
    }
    DWORD subkeys = 0;
    DWORD values = 0;
    LONG status = RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr,
                                   &values, nullptr, nullptr, nullptr, nullptr);
    RegCloseKey(key);
    return status == ERROR_SUCCESS && subkeys == 0 && values == 0;
}

// A registry key with everything below it, kept in memory so that it can be put back
// exactly as it was.
struct KeySnapshot {
    struct Value {
        std::wstring name;
        DWORD type = REG_NONE;
        std::vector<BYTE> data;
    };
    bool present = false;
    std::vector<Value> values;
    std::vector<std::pair<std::wstring, KeySnapshot>> subkeys;
};

KeySnapshot Snapshot(HKEY root, const std::wstring& path) {
    KeySnapshot snapshot;
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return snapshot;
    }
    snapshot.present = true;
    DWORD maxName = 0;
    DWORD maxValueName = 0;
    DWORD maxData = 0;
    RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, &maxName, nullptr, nullptr,
                     &maxValueName, &maxData, nullptr, nullptr);
    for (DWORD i = 0;; ++i) {
        std::vector<wchar_t> name(maxValueName + 2);
        DWORD nameLength = static_cast<DWORD>(name.size());
        KeySnapshot::Value value;
        value.data.resize(maxData + 2);
        DWORD dataLength = static_cast<DWORD>(value.data.size());
        if (RegEnumValueW(key, i, name.data(), &nameLength, nullptr, &value.type, value.data.data(),
                          &dataLength) != ERROR_SUCCESS) {
            break;
        }
        value.name.assign(name.data(), nameLength);
        value.data.resize(dataLength);
        snapshot.values.push_back(std::move(value));
    }
    for (DWORD i = 0;; ++i) {
        std::vector<wchar_t> name(maxName + 2);
        DWORD nameLength = static_cast<DWORD>(name.size());
        if (RegEnumKeyExW(key, i, name.data(), &nameLength, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS) {
            break;
        }
        std::wstring child(name.data(), nameLength);
        snapshot.subkeys.emplace_back(child, Snapshot(root, path + L"\\" + child));
    }
    RegCloseKey(key);
    return snapshot;
}

HRESULT Restore(HKEY root, const std::wstring& path, const KeySnapshot& snapshot) {
    RETURN_IF_FAILED(DeleteTree(root, path));
    if (!snapshot.present) {
        return S_OK;
    }
    HKEY key = nullptr;
    LONG status =
        RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr);
    RETURN_IF_FAILED(HRESULT_FROM_WIN32(status));
    for (const auto& value : snapshot.values) {
        status = RegSetValueExW(key, value.name.c_str(), 0, value.type, value.data.data(),
                                static_cast<DWORD>(value.data.size()));
        if (status != ERROR_SUCCESS) {
            break;
        }
    }
    RegCloseKey(key);
    RETURN_IF_FAILED(HRESULT_FROM_WIN32(status));
    for (const auto& [name, child] : snapshot.subkeys) {
        RETURN_IF_FAILED(Restore(root, path + L"\\" + name, child));
    }
    return S_OK;
}

// Interfaces described in our library that are not ours to register.
std::vector<IID> ForeignInterfaces(ITypeLib* library) {
    std::vector<IID> foreign;
    const UINT count = library->GetTypeInfoCount();
    for (UINT i = 0; i < count; ++i) {
        ComPtr<ITypeInfo> info;
        if (FAILED(library->GetTypeInfo(i, info.GetAddressOf()))) {
            continue;
        }
        TYPEATTR* attributes = nullptr;
        if (FAILED(info->GetTypeAttr(&attributes))) {
            continue;
        }
        if ((attributes->typekind == TKIND_INTERFACE || attributes->typekind == TKIND_DISPATCH) &&
            attributes->guid != IID__Connect) {
            foreign.push_back(attributes->guid);
        }
        info->ReleaseTypeAttr(attributes);
    }
    return foreign;
}

HRESULT RegisterClassKeys(const std::wstring& path) {
    const std::wstring clsid = GuidText(CLSID_Connect);
    RETURN_IF_FAILED(SetString(HKEY_CLASSES_ROOT, kProgId, nullptr, kProgId));
    RETURN_IF_FAILED(
        SetString(HKEY_CLASSES_ROOT, std::wstring(kProgId) + L"\\CLSID", nullptr, clsid));
    RETURN_IF_FAILED(SetString(HKEY_CLASSES_ROOT, ClassKey(), nullptr, kProgId));
    RETURN_IF_FAILED(SetString(HKEY_CLASSES_ROOT, ClassKey() + L"\\InprocServer32", nullptr, path));
    RETURN_IF_FAILED(SetString(HKEY_CLASSES_ROOT, ClassKey() + L"\\InprocServer32",
                               L"ThreadingModel", L"Apartment"));
    RETURN_IF_FAILED(SetString(HKEY_CLASSES_ROOT, ClassKey() + L"\\ProgID", nullptr, kProgId));
    RETURN_IF_FAILED(
        SetString(HKEY_CLASSES_ROOT, ClassKey() + L"\\TypeLib", nullptr, GuidText(LIBID_Quorvane)));
    RETURN_IF_FAILED(
        SetString(HKEY_CLASSES_ROOT, ClassKey() + L"\\VERSION", nullptr, kLibraryVersion));
    return S_OK;
}

HRESULT RegisterLibrary(const std::wstring& path) {
    ComPtr<ITypeLib> library;
    RETURN_IF_FAILED(OwnTypeLibrary(library.GetAddressOf()));

    // The system registers every automation interface a library describes; the IDE's keys
    // are put back exactly as they were (absent ones removed again).
    std::vector<std::pair<std::wstring, KeySnapshot>> saved;
    for (const IID& iid : ForeignInterfaces(library.Get())) {
        saved.emplace_back(InterfaceKey(iid), Snapshot(HKEY_CLASSES_ROOT, InterfaceKey(iid)));
    }
    HRESULT hr = RegisterTypeLib(library.Get(), const_cast<OLECHAR*>(path.c_str()), nullptr);
    for (const auto& [key, snapshot] : saved) {
        HRESULT restored = Restore(HKEY_CLASSES_ROOT, key, snapshot);
        if (SUCCEEDED(hr) && FAILED(restored)) {
            hr = restored;
        }
    }
    return hr;
}

} // namespace

HRESULT RegisterServer() noexcept try {
    const std::wstring path = ModulePath();
    RETURN_HR_IF(E_FAIL, path.empty());
    HRESULT hr = RegisterClassKeys(path);
    if (SUCCEEDED(hr)) {
        hr = RegisterLibrary(path);
    }
    if (FAILED(hr)) {
        // A half-written registration would leave a ProgID that cannot be created.
        UnregisterServer();
    }
    return hr;
}
CATCH_RETURN()

HRESULT UnregisterServer() noexcept try {
    // By hand rather than through the system's library unregistration, which would also
    // remove the keys of every other interface the library describes: the IDE's own.
    HRESULT result = S_OK;
    auto note = [&result](HRESULT hr) {
        if (SUCCEEDED(result) && FAILED(hr)) {
            result = hr;
        }
    };
    note(DeleteTree(HKEY_CLASSES_ROOT, kProgId));
    note(DeleteTree(HKEY_CLASSES_ROOT, ClassKey()));
    note(DeleteTree(HKEY_CLASSES_ROOT, InterfaceKey(IID__Connect)));
    note(DeleteTree(HKEY_CLASSES_ROOT, LibraryVersionKey()));
    if (KeyIsEmpty(HKEY_CLASSES_ROOT, LibraryKey())) {
        note(DeleteTree(HKEY_CLASSES_ROOT, LibraryKey()));
    }
    return result;
}
CATCH_RETURN()

} // namespace qvn::addin
