// The per-user settings store in the place and format the language's GetSetting and
// SaveSetting use (HKEY_CURRENT_USER\Software\VB and VBA Program Settings\<app>\<section>,
// string values), so a value written by such a program is read here and the other way round.
#pragma once

#include "ide/names.h"

#include <string>

namespace qvn::addin {

std::wstring GetSetting(const std::wstring& appName, const std::wstring& section,
                        const std::wstring& key, const std::wstring& defaultValue);
// Returns false when the value could not be written.
bool SaveSetting(const std::wstring& appName, const std::wstring& section, const std::wstring& key,
                 const std::wstring& value);

// The add-in's one setting: whether the builder window was open at the last disconnection.
inline constexpr const wchar_t* kSettingsApp = names::kShortNameW;
inline constexpr const wchar_t* kSettingsSection = L"Settings";
inline constexpr const wchar_t* kDisplayOnConnect = L"DisplayOnConnect";

// True only for the exact string "1".
bool ReadDisplayOnConnect();
void WriteDisplayOnConnect(bool displayed);

} // namespace qvn::addin
