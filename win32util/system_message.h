// What the system itself says about an error code, and which module holds an address.
#pragma once

#include <windows.h>

#include <string>

namespace qvn::win32util {

// The system's text for a Win32 error or an HRESULT without trailing line breaks and blanks;
// empty when the system has none.
std::wstring SystemMessage(DWORD code);

// The module (DLL or program) whose image contains `address`, without a reference of its own.
HMODULE ModuleOfAddress(const void* address) noexcept;

} // namespace qvn::win32util
