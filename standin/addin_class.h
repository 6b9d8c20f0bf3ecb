// How the VBA editor finds and creates an add-in's class for the user running it: the ProgID
// looked up in the user's classes before the machine's, and a class registered for the user
// alone loaded from its DLL directly.
//
// Wine does not activate per-user classes: CLSIDFromProgID and CoCreateInstance see only
// HKEY_CLASSES_ROOT, which under Wine is the machine's HKLM\Software\Classes and not merged
// with HKCU\Software\Classes as on Windows. An add-in that registers itself for the user
// (DllInstall with "user") would therefore never load in the stand-in. The stand-in reads the
// user's keys itself and does what COM on Windows would do for an in-process server.
#pragma once

#include <windows.h>

#include <unknwn.h>

#include <memory>
#include <string>

namespace qvn::standin {

struct AddInClass {
    CLSID clsid{};
    // The DLL of a class registered under HKCU\Software\Classes\CLSID\{clsid}\InprocServer32;
    // empty when the class is the machine's (created through COM).
    std::wstring perUserServer;
    bool perUserProgId = false; // the ProgID was found under HKCU\Software\Classes
};

// HKCU\Software\Classes\<progId>\CLSID first, then HKEY_CLASSES_ROOT\<progId>\CLSID; then
// whether the user has the class's in-process server of their own. Fails with
// REGDB_E_CLASSNOTREG when neither names a class.
HRESULT ResolveAddInClass(const std::wstring& progId, AddInClass* found);

// An add-in's DLL loaded by the host, freed when the last add-in object from it has gone and
// the DLL agrees (DllCanUnloadNow); a DLL that never agrees stays loaded, as COM would keep it.
class LoadedServer {
public:
    explicit LoadedServer(HMODULE module) : module_(module) {}
    ~LoadedServer();
    LoadedServer(const LoadedServer&) = delete;
    LoadedServer& operator=(const LoadedServer&) = delete;
    [[nodiscard]] HMODULE Module() const { return module_; }

private:
    HMODULE module_;
};

// Creates the class from its per-user DLL: LoadLibrary, DllGetClassObject, CreateInstance.
// On success `server` keeps the DLL loaded; release `object` before `server`.
HRESULT CreatePerUserObject(const AddInClass& addInClass, std::unique_ptr<LoadedServer>* server,
                            IUnknown** object);

// The class as the VBA editor creates it: per-user DLL or CoCreateInstance.
HRESULT CreateAddInObject(const std::wstring& progId, std::unique_ptr<LoadedServer>* server,
                          IUnknown** object);

} // namespace qvn::standin
