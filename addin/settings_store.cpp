#include "addin/settings_store.h"

#include "win32util/registry.h"

namespace qvn::addin {

namespace {

std::wstring KeyPath(const std::wstring& appName, const std::wstring& section) {
    return L"Software\\VB and VBA Program Settings\\" + appName + L"\\" + section;
}

} // namespace

std::wstring GetSetting(const std::wstring& appName, const std::wstring& section,
                        const std::wstring& key, const std::wstring& defaultValue) {
    return win32util::ReadString(HKEY_CURRENT_USER, KeyPath(appName, section), key.c_str())
        .value_or(defaultValue);
}

bool SaveSetting(const std::wstring& appName, const std::wstring& section, const std::wstring& key,
                 const std::wstring& value) {
    return SUCCEEDED(
        win32util::WriteString(HKEY_CURRENT_USER, KeyPath(appName, section), key.c_str(), value));
}

bool ReadDisplayOnConnect() {
    return GetSetting(kSettingsApp, kSettingsSection, kDisplayOnConnect, L"0") == L"1";
}

void WriteDisplayOnConnect(bool displayed) {
    SaveSetting(kSettingsApp, kSettingsSection, kDisplayOnConnect, displayed ? L"1" : L"0");
}

} // namespace qvn::addin
