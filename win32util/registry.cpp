#include "win32util/registry.h"

namespace qvn::win32util {

namespace {

HRESULT WriteValue(HKEY root, const std::wstring& path, const wchar_t* name, DWORD type,
                   const void* data, DWORD bytes, REGSAM view) {
    unique_hkey key;
    const HRESULT hr = CreateKey(root, path, KEY_SET_VALUE, key, view);
    if (FAILED(hr)) {
        return hr;
    }
    return HRESULT_FROM_WIN32(
        RegSetValueExW(key.get(), name, 0, type, static_cast<const BYTE*>(data), bytes));
}

} // namespace

unique_hkey OpenKey(HKEY root, const std::wstring& path, REGSAM access, REGSAM view) {
    unique_hkey key;
    if (RegOpenKeyExW(root, path.c_str(), 0, access | view, key.put()) != ERROR_SUCCESS) {
        key.reset();
    }
    return key;
}

HRESULT CreateKey(HKEY root, const std::wstring& path, REGSAM access, unique_hkey& key,
                  REGSAM view) {
    return HRESULT_FROM_WIN32(RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, access | view,
                                              nullptr, key.put(), nullptr));
}

bool KeyExists(HKEY root, const std::wstring& path, REGSAM view) {
    return static_cast<bool>(OpenKey(root, path, KEY_READ, view));
}

bool KeyIsEmpty(HKEY root, const std::wstring& path, REGSAM view) {
    const unique_hkey key = OpenKey(root, path, KEY_READ, view);
    DWORD subkeys = 0;
    DWORD values = 0;
    return key &&
           RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr,
                            &values, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS &&
           subkeys == 0 && values == 0;
}

std::vector<std::wstring> Subkeys(HKEY root, const std::wstring& path, REGSAM view) {
    std::vector<std::wstring> names;
    const unique_hkey key = OpenKey(root, path, KEY_READ, view);
    DWORD longest = 0;
    if (!key || RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, nullptr, &longest, nullptr,
                                 nullptr, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
        return names;
    }
    std::wstring name(longest + 1, L'\0');
    for (DWORD i = 0;; ++i) {
        DWORD length = static_cast<DWORD>(name.size());
        if (RegEnumKeyExW(key.get(), i, name.data(), &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS) {
            return names;
        }
        names.emplace_back(name.data(), length);
    }
}

std::optional<std::wstring> ReadString(HKEY root, const std::wstring& path, const wchar_t* name,
                                       REGSAM view) {
    const unique_hkey key = OpenKey(root, path, KEY_QUERY_VALUE, view);
    if (!key) {
        return std::nullopt;
    }
    // The value may change between the size query and the read: asked again until it fits.
    for (DWORD bytes = 0;;) {
        DWORD type = REG_NONE;
        std::wstring text(bytes / sizeof(wchar_t) + 1, L'\0');
        DWORD size = static_cast<DWORD>(text.size() * sizeof(wchar_t));
        const LONG status = RegQueryValueExW(key.get(), name, nullptr, &type,
                                             reinterpret_cast<BYTE*>(text.data()), &size);
        if (status == ERROR_MORE_DATA) {
            bytes = size;
            continue;
        }
        if (status != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) {
            return std::nullopt;
        }
        // The stored text need not end in a null character.
        text.resize(wcsnlen(text.data(), size / sizeof(wchar_t)));
        return text;
    }
}

std::optional<DWORD> ReadDword(HKEY root, const std::wstring& path, const wchar_t* name,
                               REGSAM view) {
    const unique_hkey key = OpenKey(root, path, KEY_QUERY_VALUE, view);
    DWORD type = REG_NONE;
    DWORD value = 0;
    DWORD size = sizeof value;
    if (!key ||
        RegQueryValueExW(key.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) !=
            ERROR_SUCCESS ||
        type != REG_DWORD || size != sizeof value) {
        return std::nullopt;
    }
    return value;
}

HRESULT WriteString(HKEY root, const std::wstring& path, const wchar_t* name,
                    const std::wstring& value, REGSAM view) {
    return WriteValue(root, path, name, REG_SZ, value.c_str(),
                      static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)), view);
}

HRESULT WriteDword(HKEY root, const std::wstring& path, const wchar_t* name, DWORD value,
                   REGSAM view) {
    return WriteValue(root, path, name, REG_DWORD, &value, sizeof value, view);
}

HRESULT DeleteTree(HKEY root, const std::wstring& path, REGSAM view) {
    unique_hkey key;
    LONG status = RegOpenKeyExW(root, path.c_str(), 0, KEY_ALL_ACCESS | view, key.put());
    if (status == ERROR_SUCCESS) {
        status = RegDeleteTreeW(key.get(), nullptr);
        key.reset(); // the key itself goes from its parent, once its own handle is closed
    }
    if (status == ERROR_SUCCESS) {
        status = RegDeleteKeyExW(root, path.c_str(), view, 0);
    }
    return status == ERROR_FILE_NOT_FOUND ? S_OK : HRESULT_FROM_WIN32(status);
}

} // namespace qvn::win32util
