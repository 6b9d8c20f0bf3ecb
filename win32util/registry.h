// Registry operations on a path below a root, in a given registry view: 0 for the process's
// own, KEY_WOW64_64KEY or KEY_WOW64_32KEY for one of the two views of 64-bit Windows. A key
// or value that is not there is an answer (nullopt, false, nothing to delete), not a failure.
#pragma once

#include "win32util/unique_handles.h"

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace qvn::win32util {

// An open key, or none when it is absent or cannot be opened with `access`.
unique_hkey OpenKey(HKEY root, const std::wstring& path, REGSAM access = KEY_READ, REGSAM view = 0);
// The key, made with every key above it that is missing.
HRESULT CreateKey(HKEY root, const std::wstring& path, REGSAM access, unique_hkey& key,
                  REGSAM view = 0);
bool KeyExists(HKEY root, const std::wstring& path, REGSAM view = 0);
// True when the key is there and holds neither values nor subkeys.
bool KeyIsEmpty(HKEY root, const std::wstring& path, REGSAM view = 0);
// The names of a key's subkeys; none when the key is absent.
std::vector<std::wstring> Subkeys(HKEY root, const std::wstring& path, REGSAM view = 0);

// A value of type REG_SZ or REG_EXPAND_SZ (read as stored, without expansion), whatever its
// length; `name` null for the key's default value.
std::optional<std::wstring> ReadString(HKEY root, const std::wstring& path,
                                       const wchar_t* name = nullptr, REGSAM view = 0);
std::optional<DWORD> ReadDword(HKEY root, const std::wstring& path, const wchar_t* name,
                               REGSAM view = 0);
// Writes the value, creating the key (and those above it) when it is missing.
HRESULT WriteString(HKEY root, const std::wstring& path, const wchar_t* name,
                    const std::wstring& value, REGSAM view = 0);
HRESULT WriteDword(HKEY root, const std::wstring& path, const wchar_t* name, DWORD value,
                   REGSAM view = 0);

// Deletes a key with everything below it.
HRESULT DeleteTree(HKEY root, const std::wstring& path, REGSAM view = 0);

} // namespace qvn::win32util
