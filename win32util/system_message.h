// What the system itself says about an error code, which module holds an address, and where
// a module's file is.
#pragma once

#include <windows.h>

#include <string>

namespace qvn::win32util {

// The system's text for a Win32 error or an HRESULT without trailing line breaks and blanks;
// empty when the system has none.
std::wstring SystemMessage(DWORD code);

// The module (DLL or program) whose image contains `address`, without a reference of its own.
HMODULE ModuleOfAddress(const void* address) noexcept;

// The full path of a loaded module's file (`module` null: the program's), however long;
// empty when the system cannot tell.
std::wstring ModulePath(HMODULE module);

} // namespace qvn::win32util
