// Self-registration: the ProgID, the class and the type library with _Connect, written under
// HKEY_CLASSES_ROOT and removed again, and nothing else. Interfaces that belong to the IDE
// are described inside our library too (the class implements one of them), but their keys
// are the IDE's: registering never creates or changes them.
#pragma once

#include <windows.h>

namespace qvn::addin {

HRESULT RegisterServer() noexcept;
HRESULT UnregisterServer() noexcept;
// DllInstall: with the command line "user" (in any case), the same keys for this user only
// under HKCU\Software\Classes and the VBA editor's add-in entry of this build's bitness;
// nothing machine-wide. Any other command line is refused with E_INVALIDARG.
HRESULT InstallForUser(bool install, const wchar_t* commandLine) noexcept;

} // namespace qvn::addin
