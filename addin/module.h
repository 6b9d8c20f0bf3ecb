// Process-wide state of the component: its module handle and the count of live objects and
// server locks that DllCanUnloadNow reads.
#pragma once

#include <windows.h>

namespace qvn::addin {

// The module that holds this code and its resources (qvn.dll, or a test program that links
// the component statically).
HMODULE ModuleHandle() noexcept;
void SetModuleHandle(HMODULE module) noexcept;

// Bumped by every object's constructor and destructor and by IClassFactory::LockServer.
void AddModuleReference() noexcept;
void ReleaseModuleReference() noexcept;
[[nodiscard]] long ModuleReferences() noexcept;

// Holds a module reference for the lifetime of the object that contains it.
class ModuleReference {
public:
    ModuleReference() noexcept { AddModuleReference(); }
    ~ModuleReference() { ReleaseModuleReference(); }
    ModuleReference(const ModuleReference&) noexcept { AddModuleReference(); }
    ModuleReference& operator=(const ModuleReference&) noexcept { return *this; }
};

} // namespace qvn::addin
