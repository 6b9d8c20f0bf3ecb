// Self-registration: the ProgID, the class and the type library with _Connect, written under
// HKEY_CLASSES_ROOT and removed again, and nothing else. Interfaces that belong to the IDE
// are described inside our library too (the class implements one of them), but their keys
// are the IDE's: registering never creates or changes them.
#pragma once

#include <windows.h>

namespace qvn::addin {

HRESULT RegisterServer() noexcept;
HRESULT UnregisterServer() noexcept;

} // namespace qvn::addin
