#include "module.h"

#include <atomic>

namespace qvn::addin {
namespace {

std::atomic<long> gReferences{0};
HMODULE gModule = nullptr;

} // namespace

HMODULE ModuleHandle() noexcept {
    if (gModule == nullptr) {
        // Linked into a program rather than loaded as qvn.dll: the resources live wherever
        // this code does.
        HMODULE self = nullptr;
        if (GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                   GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                               reinterpret_cast<LPCWSTR>(&ModuleHandle), &self)) {
            gModule = self;
        }
    }
    return gModule;
}

void SetModuleHandle(HMODULE module) noexcept {
    gModule = module;
}

void AddModuleReference() noexcept {
    ++gReferences;
}
void ReleaseModuleReference() noexcept {
    --gReferences;
}
long ModuleReferences() noexcept {
    return gReferences.load();
}

} // namespace qvn::addin
