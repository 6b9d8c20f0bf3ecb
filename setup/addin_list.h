// The IDE's add-in list file and the add-in's entry in it, read and written through the
// platform's private-profile service in the system's 8-bit code page.
#pragma once

#include "ide/names.h"

#include <windows.h>

#include <optional>
#include <string>

namespace qvn::setup {

// Given without a folder, so the service keeps the file in the Windows folder.
inline constexpr const char* kListFile = names::kAddInListFile;
inline constexpr const char* kSection = names::kAddInListSection;
inline constexpr const char* kKey = names::kProgId;
// What the lookup yields for an absent key; a stored value starting with it counts as absent.
inline constexpr char kAbsentMark[] = "***";

// True when `file` holds the add-in's key, whatever its value (an empty one included).
bool EntryPresent(const char* file);

// The copy of the list that a virtualised IDE reads instead of the real file, when the user
// has one. Only an existing copy is named: the tools never create one.
std::optional<std::string> VirtualStoreCopy();

// The error a failed write or delete left, never "success", so a report always has a cause.
DWORD LastWriteError();

} // namespace qvn::setup
