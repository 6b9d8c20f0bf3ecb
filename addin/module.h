// The module that holds the component's code and resources. (The count of live objects and
// server locks that DllCanUnloadNow reads is win32util's object count.)
#pragma once

#include <windows.h>

namespace qvn::addin {

// qvn.dll, or a test program that links the component statically.
HMODULE ModuleHandle() noexcept;
void SetModuleHandle(HMODULE module) noexcept;

} // namespace qvn::addin
