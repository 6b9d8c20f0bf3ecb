#include "addin/registration.h"

#include "addin/identifiers.h"
#include "addin/module.h"
#include "addin/type_library.h"
#include "win32util/registry.h"
#include "win32util/result_macros.h"
#include "win32util/system_message.h"
#include "win32util/text.h"

#include <qvn.h>
#include <wrl/client.h>

#include <optional>
#include <string>
#include <vector>

namespace qvn::addin {

namespace {

using Microsoft::WRL::ComPtr;
using win32util::DeleteTree;
using win32util::GuidText;
using win32util::KeyExists;
using win32util::KeyIsEmpty;
using win32util::Subkeys;

HRESULT SetString(HKEY root, const std::wstring& path, const wchar_t* name,
                  const std::wstring& value) {
    return win32util::WriteString(root, path, name, value);
}
std::optional<std::wstring> ReadString(HKEY root, const std::wstring& path) {
    return win32util::ReadString(root, path, nullptr);
}

std::wstring ClassKey() {
    return L"CLSID\\" + GuidText(CLSID_Connect);
}
std::wstring LibraryKey() {
    return L"TypeLib\\" + GuidText(LIBID_Quorvane);
}
std::wstring LibraryVersionKey() {
    return LibraryKey() + L"\\" + kLibraryVersion;
}
std::wstring InterfaceKey(REFIID iid) {
    return L"Interface\\" + GuidText(iid);
}

// On 64-bit Windows the class and interface keys exist once per registry view, while the
// ProgID and the type library are shared: each build registers its class and its interface
// in its own view and its platform under the library's version key. 32-bit Windows has one
// view only.
constexpr REGSAM kOwnView = sizeof(void*) == 8 ? KEY_WOW64_64KEY : KEY_WOW64_32KEY;
constexpr REGSAM kOtherView = sizeof(void*) == 8 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;
constexpr const wchar_t* kPlatform = sizeof(void*) == 8 ? L"win64" : L"win32";

bool HasOtherView() {
    if constexpr (sizeof(void*) == 8) {
        return true;
    }
    BOOL wow64 = FALSE;
    return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
}

std::vector<REGSAM> Views() {
    if (HasOtherView()) {
        return {kOwnView, kOtherView};
    }
    return {kOwnView};
}

std::wstring LocaleKey() {
    wchar_t hex[16] = {};
    swprintf(hex, 16, L"%lx", static_cast<unsigned long>(kLibraryLocale));
    return LibraryVersionKey() + L"\\" + hex;
}

std::wstring PlatformKey() {
    return LocaleKey() + L"\\" + kPlatform;
}

// A registry key of one view with everything below it, kept in memory so that it can be put
// back exactly as it was.
struct KeySnapshot {
    struct Value {
        std::wstring name;
        DWORD type = REG_NONE;
        std::vector<BYTE> data;
    };
    bool present = false;
    std::vector<Value> values;
    std::vector<std::pair<std::wstring, KeySnapshot>> subkeys;
};

KeySnapshot Snapshot(HKEY root, const std::wstring& path, REGSAM view) {
    KeySnapshot snapshot;
    win32util::unique_hkey key;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | view, key.put()) != ERROR_SUCCESS) {
        return snapshot;
    }
    snapshot.present = true;
    DWORD maxName = 0;
    DWORD maxValueName = 0;
    DWORD maxData = 0;
    RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, nullptr, &maxName, nullptr, nullptr,
                     &maxValueName, &maxData, nullptr, nullptr);
    for (DWORD i = 0;; ++i) {
        std::vector<wchar_t> name(maxValueName + 2);
        DWORD nameLength = static_cast<DWORD>(name.size());
        KeySnapshot::Value value;
        value.data.resize(maxData + 2);
        DWORD dataLength = static_cast<DWORD>(value.data.size());
        if (RegEnumValueW(key.get(), i, name.data(), &nameLength, nullptr, &value.type,
                          value.data.data(), &dataLength) != ERROR_SUCCESS) {
            break;
        }
        value.name.assign(name.data(), nameLength);
        value.data.resize(dataLength);
        snapshot.values.push_back(std::move(value));
    }
    for (DWORD i = 0;; ++i) {
        std::vector<wchar_t> name(maxName + 2);
        DWORD nameLength = static_cast<DWORD>(name.size());
        if (RegEnumKeyExW(key.get(), i, name.data(), &nameLength, nullptr, nullptr, nullptr,
                          nullptr) != ERROR_SUCCESS) {
            break;
        }
        std::wstring child(name.data(), nameLength);
        snapshot.subkeys.emplace_back(child, Snapshot(root, path + L"\\" + child, view));
    }
    return snapshot;
}

HRESULT Restore(HKEY root, const std::wstring& path, REGSAM view, const KeySnapshot& snapshot) {
    RETURN_IF_FAILED(DeleteTree(root, path, view));
    if (!snapshot.present) {
        return S_OK;
    }
    win32util::unique_hkey key;
    LONG status = RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_WRITE | view, nullptr,
                                  key.put(), nullptr);
    RETURN_IF_FAILED(HRESULT_FROM_WIN32(status));
    for (const auto& value : snapshot.values) {
        status = RegSetValueExW(key.get(), value.name.c_str(), 0, value.type, value.data.data(),
                                static_cast<DWORD>(value.data.size()));
        if (status != ERROR_SUCCESS) {
            break;
        }
    }
    RETURN_IF_FAILED(HRESULT_FROM_WIN32(status));
    for (const auto& [name, child] : snapshot.subkeys) {
        RETURN_IF_FAILED(Restore(root, path + L"\\" + name, view, child));
    }
    return S_OK;
}

// Every interface our library describes: _Connect and those of the IDE it refers to.
std::vector<IID> DescribedInterfaces(ITypeLib* library) {
    std::vector<IID> interfaces;
    const UINT count = library->GetTypeInfoCount();
    for (UINT i = 0; i < count; ++i) {
        ComPtr<ITypeInfo> info;
        if (FAILED(library->GetTypeInfo(i, info.GetAddressOf()))) {
            continue;
        }
        TYPEATTR* attributes = nullptr;
        if (FAILED(info->GetTypeAttr(&attributes))) {
            continue;
        }
        if (attributes->typekind == TKIND_INTERFACE || attributes->typekind == TKIND_DISPATCH) {
            interfaces.push_back(attributes->guid);
        }
        info->ReleaseTypeAttr(attributes);
    }
    return interfaces;
}

// The library's help folder is the folder of the build registered last; when that build goes
// and the other stays, the folder becomes the remaining build's again.
HRESULT PointHelpFolderAtRemainingBuild() {
    const std::wstring helpKey = LibraryVersionKey() + L"\\HELPDIR";
    if (!KeyExists(HKEY_CLASSES_ROOT, helpKey)) {
        return S_OK;
    }
    const wchar_t* other = sizeof(void*) == 8 ? L"win32" : L"win64";
    const auto remaining = ReadString(HKEY_CLASSES_ROOT, LocaleKey() + L"\\" + other);
    if (!remaining) {
        return S_OK;
    }
    const auto slash = remaining->find_last_of(L"\\/");
    if (slash == std::wstring::npos) {
        return S_OK;
    }
    return SetString(HKEY_CLASSES_ROOT, helpKey, nullptr, remaining->substr(0, slash));
}

HRESULT RegisterClassKeys(const std::wstring& path) {
    const std::wstring clsid = GuidText(CLSID_Connect);
    RETURN_IF_FAILED(SetString(HKEY_CLASSES_ROOT, kProgId, nullptr, kProgId));
    RETURN_IF_FAILED(
        SetString(HKEY_CLASSES_ROOT, std::wstring(kProgId) + L"\\CLSID", nullptr, clsid));
    RETURN_IF_FAILED(SetString(HKEY_CLASSES_ROOT, ClassKey(), nullptr, kProgId));
    RETURN_IF_FAILED(SetString(HKEY_CLASSES_ROOT, ClassKey() + L"\\InprocServer32", nullptr, path));
    RETURN_IF_FAILED(SetString(HKEY_CLASSES_ROOT, ClassKey() + L"\\InprocServer32",
                               L"ThreadingModel", L"Apartment"));
    RETURN_IF_FAILED(SetString(HKEY_CLASSES_ROOT, ClassKey() + L"\\ProgID", nullptr, kProgId));
    RETURN_IF_FAILED(
        SetString(HKEY_CLASSES_ROOT, ClassKey() + L"\\TypeLib", nullptr, GuidText(LIBID_Quorvane)));
    RETURN_IF_FAILED(
        SetString(HKEY_CLASSES_ROOT, ClassKey() + L"\\VERSION", nullptr, kLibraryVersion));
    return S_OK;
}

HRESULT RegisterLibrary(const std::wstring& path) {
    ComPtr<ITypeLib> library;
    RETURN_IF_FAILED(OwnTypeLibrary(library.GetAddressOf()));

    // The system registers every automation interface a library describes, and Wine does so
    // in both registry views. Only _Connect in this build's own view is ours to write: every
    // other interface key of either view is put back exactly as it was (absent ones removed
    // again), the IDE's as well as the other build's _Connect.
    struct Saved {
        std::wstring key;
        REGSAM view;
        KeySnapshot snapshot;
    };
    std::vector<Saved> saved;
    for (const IID& iid : DescribedInterfaces(library.Get())) {
        for (REGSAM view : Views()) {
            if (iid == IID__Connect && view == kOwnView) {
                continue;
            }
            saved.push_back(
                {InterfaceKey(iid), view, Snapshot(HKEY_CLASSES_ROOT, InterfaceKey(iid), view)});
        }
    }
    HRESULT hr = RegisterTypeLib(library.Get(), const_cast<OLECHAR*>(path.c_str()), nullptr);
    for (const auto& entry : saved) {
        HRESULT restored = Restore(HKEY_CLASSES_ROOT, entry.key, entry.view, entry.snapshot);
        if (SUCCEEDED(hr) && FAILED(restored)) {
            hr = restored;
        }
    }
    return hr;
}

} // namespace

HRESULT RegisterServer() noexcept try {
    const std::wstring path = win32util::ModulePath(ModuleHandle());
    RETURN_HR_IF(E_FAIL, path.empty());
    HRESULT hr = RegisterClassKeys(path);
    if (SUCCEEDED(hr)) {
        hr = RegisterLibrary(path);
    }
    if (FAILED(hr)) {
        // A half-written registration would leave a ProgID that cannot be created.
        UnregisterServer();
    }
    return hr;
}
CATCH_RETURN()

HRESULT UnregisterServer() noexcept try {
    // By hand rather than through the system's library unregistration, which would also
    // remove the keys of every other interface the library describes (the IDE's own) and the
    // other build's platform.
    HRESULT result = S_OK;
    auto note = [&result](HRESULT hr) {
        if (SUCCEEDED(result) && FAILED(hr)) {
            result = hr;
        }
    };
    note(DeleteTree(HKEY_CLASSES_ROOT, ClassKey()));
    note(DeleteTree(HKEY_CLASSES_ROOT, InterfaceKey(IID__Connect)));
    note(DeleteTree(HKEY_CLASSES_ROOT, PlatformKey()));
    // The shared keys go with the last build that uses them.
    if (KeyIsEmpty(HKEY_CLASSES_ROOT, LocaleKey())) {
        note(DeleteTree(HKEY_CLASSES_ROOT, LocaleKey()));
    }
    bool libraryInUse = false;
    for (const auto& name : Subkeys(HKEY_CLASSES_ROOT, LibraryVersionKey())) {
        libraryInUse |= CompareStringOrdinal(name.c_str(), -1, L"FLAGS", -1, TRUE) != CSTR_EQUAL &&
                        CompareStringOrdinal(name.c_str(), -1, L"HELPDIR", -1, TRUE) != CSTR_EQUAL;
    }
    if (libraryInUse) {
        note(PointHelpFolderAtRemainingBuild());
    } else {
        note(DeleteTree(HKEY_CLASSES_ROOT, LibraryVersionKey()));
        if (KeyIsEmpty(HKEY_CLASSES_ROOT, LibraryKey())) {
            note(DeleteTree(HKEY_CLASSES_ROOT, LibraryKey()));
        }
    }
    if (!HasOtherView() || !KeyExists(HKEY_CLASSES_ROOT, ClassKey(), kOtherView)) {
        note(DeleteTree(HKEY_CLASSES_ROOT, kProgId));
    }
    return result;
}
CATCH_RETURN()

namespace {

// Per-user registration: the same keys under HKCU\Software\Classes, which Windows merges into
// HKEY_CLASSES_ROOT for this user (ProgID and TypeLib shared by both bitnesses, CLSID and
// Interface per registry view, as for the machine), and the VBA editor's list entry of this
// build's bitness. The library's keys are written here rather than by the system's per-user
// library registration, which Wine turns into a machine-wide one.
constexpr const wchar_t* kUserClasses = L"Software\\Classes\\";
constexpr const wchar_t* kVbaAddIns = L"Software\\Microsoft\\VBA\\VBE\\6.0\\Addins";
constexpr const wchar_t* kVbaAddIns64 = L"Software\\Microsoft\\VBA\\VBE\\6.0\\Addins64";
constexpr const wchar_t* kDispatchProxy = L"{00020424-0000-0000-C000-000000000046}";

std::wstring UserKey(const std::wstring& path) {
    return kUserClasses + path;
}
std::wstring VbaEntry(bool sixtyFourBit) {
    return std::wstring(sixtyFourBit ? kVbaAddIns64 : kVbaAddIns) + L"\\" + kProgId;
}
std::wstring OwnVbaEntry() {
    return VbaEntry(sizeof(void*) == 8);
}
std::wstring OtherVbaEntry() {
    return VbaEntry(sizeof(void*) != 8);
}
std::wstring OtherPlatformKey() {
    return LocaleKey() + L"\\" + (sizeof(void*) == 8 ? L"win32" : L"win64");
}

// The class and interface keys of one build, pointing at `path`.
HRESULT WriteUserClass(const std::wstring& path) {
    const std::wstring clsid = GuidText(CLSID_Connect);
    const std::wstring classKey = UserKey(ClassKey());
    RETURN_IF_FAILED(SetString(HKEY_CURRENT_USER, classKey, nullptr, kProgId));
    RETURN_IF_FAILED(SetString(HKEY_CURRENT_USER, classKey + L"\\InprocServer32", nullptr, path));
    RETURN_IF_FAILED(SetString(HKEY_CURRENT_USER, classKey + L"\\InprocServer32", L"ThreadingModel",
                               L"Apartment"));
    RETURN_IF_FAILED(SetString(HKEY_CURRENT_USER, classKey + L"\\ProgID", nullptr, kProgId));
    RETURN_IF_FAILED(
        SetString(HKEY_CURRENT_USER, classKey + L"\\TypeLib", nullptr, GuidText(LIBID_Quorvane)));
    RETURN_IF_FAILED(
        SetString(HKEY_CURRENT_USER, classKey + L"\\VERSION", nullptr, kLibraryVersion));

    const std::wstring interfaceKey = UserKey(InterfaceKey(IID__Connect));
    RETURN_IF_FAILED(SetString(HKEY_CURRENT_USER, interfaceKey, nullptr, L"_Connect"));
    RETURN_IF_FAILED(
        SetString(HKEY_CURRENT_USER, interfaceKey + L"\\ProxyStubClsid", nullptr, kDispatchProxy));
    RETURN_IF_FAILED(SetString(HKEY_CURRENT_USER, interfaceKey + L"\\ProxyStubClsid32", nullptr,
                               kDispatchProxy));
    RETURN_IF_FAILED(SetString(HKEY_CURRENT_USER, interfaceKey + L"\\TypeLib", nullptr,
                               GuidText(LIBID_Quorvane)));
    return SetString(HKEY_CURRENT_USER, interfaceKey + L"\\TypeLib", L"Version", kLibraryVersion);
}

HRESULT InstallForUser() {
    const std::wstring path = win32util::ModulePath(ModuleHandle());
    RETURN_HR_IF(E_FAIL, path.empty());
    const std::wstring progId = UserKey(kProgId);
    RETURN_IF_FAILED(SetString(HKEY_CURRENT_USER, progId, nullptr, kProgId));
    RETURN_IF_FAILED(
        SetString(HKEY_CURRENT_USER, progId + L"\\CLSID", nullptr, GuidText(CLSID_Connect)));
    RETURN_IF_FAILED(WriteUserClass(path));

    const std::wstring version = UserKey(LibraryVersionKey());
    RETURN_IF_FAILED(SetString(HKEY_CURRENT_USER, version, nullptr, names::kProductNameW));
    RETURN_IF_FAILED(SetString(HKEY_CURRENT_USER, version + L"\\FLAGS", nullptr, L"0"));
    const auto slash = path.find_last_of(L"\\/");
    RETURN_IF_FAILED(SetString(HKEY_CURRENT_USER, version + L"\\HELPDIR", nullptr,
                               slash == std::wstring::npos ? path : path.substr(0, slash)));
    RETURN_IF_FAILED(SetString(HKEY_CURRENT_USER, UserKey(PlatformKey()), nullptr, path));

    const std::wstring entry = OwnVbaEntry();
    RETURN_IF_FAILED(SetString(HKEY_CURRENT_USER, entry, L"FriendlyName", names::kProductNameW));
    RETURN_IF_FAILED(SetString(HKEY_CURRENT_USER, entry, L"Description",
                               L"Writes message-box code and pastes it into the code pane"));
    return win32util::WriteDword(HKEY_CURRENT_USER, entry, L"LoadBehavior", 3);
}

HRESULT UninstallForUser() {
    HRESULT result = S_OK;
    auto note = [&result](HRESULT hr) {
        if (SUCCEEDED(result) && FAILED(hr)) {
            result = hr;
        }
    };
    const std::wstring path = win32util::ModulePath(ModuleHandle());
    note(DeleteTree(HKEY_CURRENT_USER, OwnVbaEntry()));
    // The other build is still registered for this user while its VBA entry is there.
    const bool otherRemains = KeyExists(HKEY_CURRENT_USER, OtherVbaEntry());
    const auto otherPath = ReadString(HKEY_CURRENT_USER, UserKey(OtherPlatformKey()));

    // The class key of this view is ours, unless it names the other build's DLL: a registry
    // that keeps one class key for both bitnesses (Wine's) then holds the other's.
    const auto server = ReadString(HKEY_CURRENT_USER, UserKey(ClassKey() + L"\\InprocServer32"));
    if (!server ||
        CompareStringOrdinal(server->c_str(), -1, path.c_str(), -1, TRUE) == CSTR_EQUAL) {
        note(DeleteTree(HKEY_CURRENT_USER, UserKey(ClassKey())));
        note(DeleteTree(HKEY_CURRENT_USER, UserKey(InterfaceKey(IID__Connect))));
        // With one class key for both bitnesses, the other build loses its class with ours:
        // it gets it back, pointing at its own DLL.
        if (otherRemains && otherPath && !KeyExists(HKEY_CURRENT_USER, UserKey(ClassKey()))) {
            note(WriteUserClass(*otherPath));
        }
    }
    note(DeleteTree(HKEY_CURRENT_USER, UserKey(PlatformKey())));
    if (KeyIsEmpty(HKEY_CURRENT_USER, UserKey(LocaleKey()))) {
        note(DeleteTree(HKEY_CURRENT_USER, UserKey(LocaleKey())));
    }
    if (!otherRemains || !otherPath) {
        note(DeleteTree(HKEY_CURRENT_USER, UserKey(LibraryVersionKey())));
        if (KeyIsEmpty(HKEY_CURRENT_USER, UserKey(LibraryKey()))) {
            note(DeleteTree(HKEY_CURRENT_USER, UserKey(LibraryKey())));
        }
    } else if (const auto slash = otherPath->find_last_of(L"\\/"); slash != std::wstring::npos) {
        note(SetString(HKEY_CURRENT_USER, UserKey(LibraryVersionKey() + L"\\HELPDIR"), nullptr,
                       otherPath->substr(0, slash)));
    }
    if (!otherRemains) {
        note(DeleteTree(HKEY_CURRENT_USER, UserKey(kProgId)));
    }
    // The containers the installation had to make, when nothing else is in them now: the
    // user's class keys hold nothing without the entries below them. (The VBA editor's
    // add-in lists stay: the editor keeps them.)
    for (const wchar_t* container : {L"CLSID", L"Interface", L"TypeLib"}) {
        if (KeyIsEmpty(HKEY_CURRENT_USER, UserKey(container))) {
            note(DeleteTree(HKEY_CURRENT_USER, UserKey(container)));
        }
    }
    if (KeyIsEmpty(HKEY_CURRENT_USER, L"Software\\Classes")) {
        note(DeleteTree(HKEY_CURRENT_USER, L"Software\\Classes"));
    }
    return result;
}

} // namespace

HRESULT InstallForUser(bool install, const wchar_t* commandLine) noexcept try {
    RETURN_HR_IF(E_INVALIDARG,
                 commandLine == nullptr ||
                     CompareStringOrdinal(commandLine, -1, L"user", -1, TRUE) != CSTR_EQUAL);
    if (!install) {
        return UninstallForUser();
    }
    HRESULT hr = InstallForUser();
    if (FAILED(hr)) {
        // A half-written registration would list an add-in that cannot be created.
        UninstallForUser();
    }
    return hr;
}
CATCH_RETURN()

} // namespace qvn::addin
