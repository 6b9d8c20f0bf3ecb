// The entry points of qvn.dll. The library holds no state of its own beyond the module
// handle and the object count, so attaching and detaching need no setup of the framework.
#include "addin/class_factory.h"
#include "addin/module.h"
#include "addin/registration.h"
#include "win32util/com_object.h"

#include <olectl.h>
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        qvn::addin::SetModuleHandle(instance);
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

STDAPI DllCanUnloadNow() {
    return qvn::win32util::ObjectReferences() == 0 ? S_OK : S_FALSE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, LPVOID* object) {
    return qvn::addin::GetClassObject(clsid, riid, object);
}

STDAPI DllRegisterServer() {
    return qvn::addin::RegisterServer();
}

STDAPI DllUnregisterServer() {
    return qvn::addin::UnregisterServer();
}

STDAPI DllInstall(BOOL install, LPCWSTR commandLine) {
    return qvn::addin::InstallForUser(install != FALSE, commandLine);
}
