// The whole registry of a Wine prefix (or a Windows machine) as one comparable map, so that a
// test can show that an install or a registration followed by its undo leaves every key and
// value of every view exactly as it found it.
#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <vector>

namespace qvn::testing {

// "HKLM\path\to\key" -> nothing for the key itself, "HKLM\path\to\key|name" -> "type:data"
// for each of its values. Read through the 64-bit view, whose Software keys hold the 32-bit
// view below Wow6432Node, so one image covers both views on 64-bit Windows.
using RegistryImage = std::map<std::wstring, std::wstring>;

// HKEY_LOCAL_MACHINE and HKEY_CURRENT_USER, whole.
RegistryImage ReadRegistry();

// The entries added, removed or changed between two images, one line each ("+ key", "- key",
// "~ key|name: old -> new"), leaving out those that Wine changes by itself (wine_differences).
std::vector<std::string> RegistryChanges(const RegistryImage& before, const RegistryImage& after);

} // namespace qvn::testing
