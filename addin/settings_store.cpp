#include "addin/settings_store.h"

#include "win32util/registry_key.h"

#include <windows.h>

#include <vector>

namespace qvn::addin {

namespace {

std::wstring KeyPath(const std::wstring& appName, const std::wstring& section) {
    return L"Software\\VB and VBA Program Settings\\" + appName + L"\\" + section;
}

} // namespace

std::wstring GetSetting(const std::wstring& appName, const std::wstring& section,
                        const std::wstring& key, const std::wstring& defaultValue) {
    win32util::RegistryKey hkey;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, KeyPath(appName, section).c_str(), 0, KEY_QUERY_VALUE,
                      hkey.Put()) != ERROR_SUCCESS) {
        return defaultValue;
    }
    std::wstring value = defaultValue;
    DWORD type = 0;
    DWORD bytes = 0;
    if (RegQueryValueExW(hkey.Get(), key.c_str(), nullptr, &type, nullptr, &bytes) ==
            ERROR_SUCCESS &&
        (type == REG_SZ || type == REG_EXPAND_SZ)) {
        std::vector<wchar_t> buffer(bytes / sizeof(wchar_t) + 1, L'\0');
        DWORD size = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
        if (RegQueryValueExW(hkey.Get(), key.c_str(), nullptr, &type,
                             reinterpret_cast<BYTE*>(buffer.data()), &size) == ERROR_SUCCESS) {
            // The stored text need not end in a null character.
            value.assign(buffer.data(), wcsnlen(buffer.data(), size / sizeof(wchar_t)));
        }
    }
    return value;
}

bool SaveSetting(const std::wstring& appName, const std::wstring& section, const std::wstring& key,
                 const std::wstring& value) {
    win32util::RegistryKey hkey;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, KeyPath(appName, section).c_str(), 0, nullptr, 0,
                        KEY_SET_VALUE, nullptr, hkey.Put(), nullptr) != ERROR_SUCCESS) {
        return false;
    }
    LONG status = RegSetValueExW(hkey.Get(), key.c_str(), 0, REG_SZ,
                                 reinterpret_cast<const BYTE*>(value.c_str()),
                                 static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    return status == ERROR_SUCCESS;
}

bool ReadDisplayOnConnect() {
    return GetSetting(kSettingsApp, kSettingsSection, kDisplayOnConnect, L"0") == L"1";
}

void WriteDisplayOnConnect(bool displayed) {
    SaveSetting(kSettingsApp, kSettingsSection, kDisplayOnConnect, displayed ? L"1" : L"0");
}

} // namespace qvn::addin
