#include "addin/module.h"

#include "win32util/system_message.h"

namespace qvn::addin {
namespace {

HMODULE gModule = nullptr;

} // namespace

HMODULE ModuleHandle() noexcept {
    if (gModule == nullptr) {
        // Linked into a program rather than loaded as qvn.dll: the resources live wherever
        // this code does.
        gModule = win32util::ModuleOfAddress(reinterpret_cast<const void*>(&ModuleHandle));
    }
    return gModule;
}

void SetModuleHandle(HMODULE module) noexcept {
    gModule = module;
}

} // namespace qvn::addin
