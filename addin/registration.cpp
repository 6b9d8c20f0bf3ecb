#include "addin/registration.h"

#include "addin/identifiers.h"
#include "addin/module.h"
#include "win32util/registry.h"
#include "win32util/result_macros.h"
#include "win32util/system_message.h"
#include "win32util/text.h"
#include "win32util/unique_handles.h"

#include <qvn.h>

#include <algorithm>
#include <initializer_list>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace qvn::addin {

namespace {

using win32util::DeleteTree;
using win32util::GuidText;
using win32util::KeyExists;
using win32util::KeyIsEmpty;
using win32util::ReadString;

// For the machine the keys go under HKEY_CLASSES_ROOT; for one user under
// HKCU\Software\Classes, which Windows merges into HKEY_CLASSES_ROOT for that user, with the
// VBA editor's list entry of this build's bitness beside them. The library's keys are written
// here rather than by the system's library registration, which also writes the keys of every
// other interface the library describes (the IDE's own) in both registry views, and which
// Wine turns into a machine-wide registration even when asked for one user.
enum class Scope { Machine, User };

// On 64-bit Windows the class and interface keys exist once per registry view, while the
// ProgID and the type library are shared: each build registers its class and its interface in
// the view of its own bitness and its platform under the library's version key.
constexpr bool kSixtyFourBit = sizeof(void*) == 8;
constexpr REGSAM kOwnView = kSixtyFourBit ? KEY_WOW64_64KEY : KEY_WOW64_32KEY;
constexpr REGSAM kOtherView = kSixtyFourBit ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;
constexpr const wchar_t* kPlatform = kSixtyFourBit ? L"win64" : L"win32";
constexpr const wchar_t* kOtherPlatform = kSixtyFourBit ? L"win32" : L"win64";
constexpr const wchar_t* kDispatchProxy = L"{00020424-0000-0000-C000-000000000046}";

// The parts of the registration. A build's own parts go with it; the shared ones (the ProgID
// and the library's version key) go with the last build that uses them.
enum class Part { ProgId, Class, Interface, Library, Platform, AddInList };

// One value of the registration: below the scope's classes key, or for the add-in list
// below HKEY_CURRENT_USER itself. The first row of a part names the key that holds the rest.
struct Row {
    Part part;
    std::optional<Scope> only; // the row of one scope only; none: of both
    std::wstring key;
    const wchar_t* name; // null: the key's default value
    std::variant<std::wstring, DWORD> data;
    bool keepExisting = false; // written only where the key is not there yet
};

std::wstring Folder(const std::wstring& path) {
    const auto slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(0, slash);
}

std::wstring LibraryVersionKey() {
    return L"TypeLib\\" + GuidText(LIBID_Quorvane) + L"\\" + kLibraryVersion;
}

std::wstring PlatformKey(const wchar_t* platform) {
    wchar_t locale[16] = {};
    swprintf(locale, 16, L"%lx", static_cast<unsigned long>(kLibraryLocale));
    return LibraryVersionKey() + L"\\" + locale + L"\\" + platform;
}

std::wstring AddInListEntry(bool sixtyFourBit) {
    return std::wstring(sixtyFourBit ? names::kVbaAddIns64KeyW : names::kVbaAddInsKeyW) + L"\\" +
           kProgId;
}

// Everything a build at `path` registers, in the order it is written.
std::vector<Row> Rows(const std::wstring& path) {
    const std::wstring clsid = GuidText(CLSID_Connect);
    const std::wstring libid = GuidText(LIBID_Quorvane);
    const std::wstring classKey = L"CLSID\\" + clsid;
    const std::wstring interfaceKey = L"Interface\\" + GuidText(IID__Connect);
    const std::wstring version = LibraryVersionKey();
    const std::wstring entry = AddInListEntry(kSixtyFourBit);
    return {
        {Part::ProgId, {}, kProgId, nullptr, kProgId},
        {Part::ProgId, {}, std::wstring(kProgId) + L"\\CLSID", nullptr, clsid},
        {Part::Class, {}, classKey, nullptr, kProgId},
        {Part::Class, {}, classKey + L"\\InprocServer32", nullptr, path},
        {Part::Class, {}, classKey + L"\\InprocServer32", L"ThreadingModel", L"Apartment"},
        {Part::Class, {}, classKey + L"\\ProgID", nullptr, kProgId},
        {Part::Class, {}, classKey + L"\\TypeLib", nullptr, libid},
        {Part::Class, {}, classKey + L"\\VERSION", nullptr, kLibraryVersion},
        {Part::Library, {}, version, nullptr, names::kProductNameW},
        // The machine's library as the system registers it: flagged as having a disk image,
        // its help folder that of the build that registered it first.
        {Part::Library, Scope::Machine, version + L"\\FLAGS", nullptr, L"8"},
        {Part::Library, Scope::User, version + L"\\FLAGS", nullptr, L"0"},
        {Part::Library, Scope::Machine, version + L"\\HELPDIR", nullptr, Folder(path), true},
        {Part::Library, Scope::User, version + L"\\HELPDIR", nullptr, Folder(path)},
        {Part::Platform, {}, PlatformKey(kPlatform), nullptr, path},
        {Part::Interface, {}, interfaceKey, nullptr, L"_Connect"},
        {Part::Interface, {}, interfaceKey + L"\\ProxyStubClsid", nullptr, kDispatchProxy},
        {Part::Interface, {}, interfaceKey + L"\\ProxyStubClsid32", nullptr, kDispatchProxy},
        {Part::Interface, {}, interfaceKey + L"\\TypeLib", nullptr, libid},
        {Part::Interface, {}, interfaceKey + L"\\TypeLib", L"Version", kLibraryVersion},
        {Part::AddInList, Scope::User, entry, names::kVbaAddInFriendlyNameW, names::kProductNameW},
        {Part::AddInList, Scope::User, entry, names::kVbaAddInDescriptionW,
         L"Writes message-box code and pastes it into the code pane"},
        {Part::AddInList, Scope::User, entry, names::kVbaAddInLoadBehaviorW, DWORD{3}},
    };
}

// Where a scope's rows go.
class Target {
public:
    explicit Target(Scope scope) : scope_(scope) {}

    auto Root() const { return scope_ == Scope::Machine ? HKEY_CLASSES_ROOT : HKEY_CURRENT_USER; }
    // A row's key as a path below Root().
    std::wstring Path(const Row& row) const { return Path(row.part, row.key); }
    std::wstring Path(Part part, const std::wstring& key) const {
        return scope_ == Scope::User && part != Part::AddInList ? L"Software\\Classes\\" + key
                                                                : key;
    }
    bool Applies(const Row& row) const { return !row.only || *row.only == scope_; }

    HRESULT Write(const Row& row) const {
        const std::wstring path = Path(row);
        if (row.keepExisting && KeyExists(Root(), path, kOwnView)) {
            return S_OK;
        }
        if (const auto* text = std::get_if<std::wstring>(&row.data)) {
            return win32util::WriteString(Root(), path, row.name, *text, kOwnView);
        }
        return win32util::WriteDword(Root(), path, row.name, std::get<DWORD>(row.data), kOwnView);
    }

    // Writes every row of the scope (of `parts` only, when given) for the build at `path`.
    HRESULT WriteRows(const std::wstring& path, std::initializer_list<Part> parts = {}) const {
        for (const Row& row : Rows(path)) {
            const bool wanted =
                parts.size() == 0 || std::find(parts.begin(), parts.end(), row.part) != parts.end();
            if (wanted && Applies(row)) {
                RETURN_IF_FAILED(Write(row));
            }
        }
        return S_OK;
    }

    // Deletes the key of a part. The library's keys nest (version, locale, platform): each
    // key above them that is left empty goes too, up to the TypeLib container.
    HRESULT Remove(Part part) const {
        std::wstring key = TopKey(part);
        RETURN_IF_FAILED(DeleteTree(Root(), Path(part, key), kOwnView));
        if (part != Part::Library && part != Part::Platform) {
            return S_OK;
        }
        for (auto slash = key.rfind(L'\\'); slash != std::wstring::npos; slash = key.rfind(L'\\')) {
            key.resize(slash);
            if (key.find(L'\\') == std::wstring::npos ||
                !KeyIsEmpty(Root(), Path(part, key), kOwnView)) {
                break;
            }
            RETURN_IF_FAILED(DeleteTree(Root(), Path(part, key), kOwnView));
        }
        return S_OK;
    }

    std::wstring TopKey(Part part) const {
        for (const Row& row : Rows(L"")) {
            if (row.part == part && Applies(row)) {
                return row.key;
            }
        }
        return {};
    }

    // Whether the other build is still registered in this scope: for the machine its class
    // key in the other view, for a user its add-in list entry.
    bool OtherBuildRegistered() const {
        if (scope_ == Scope::User) {
            return KeyExists(Root(), AddInListEntry(!kSixtyFourBit));
        }
        BOOL wow64 = FALSE;
        return (kSixtyFourBit || (IsWow64Process(GetCurrentProcess(), &wow64) && wow64)) &&
               KeyExists(Root(), Path(Part::Class, TopKey(Part::Class)), kOtherView);
    }

    HRESULT Register(const std::wstring& path) const {
        RETURN_HR_IF(E_FAIL, path.empty());
        // A half-written registration would leave a ProgID, or list an add-in, that cannot be
        // created: it goes again.
        auto rollback = win32util::scope_exit([&]() noexcept {
            try {
                Unregister(path);
            }
            CATCH_LOG()
        });
        RETURN_IF_FAILED(WriteRows(path));
        rollback.release();
        return S_OK;
    }

    HRESULT Unregister(const std::wstring& path) const {
        HRESULT result = S_OK;
        auto note = [&result](HRESULT hr) {
            if (SUCCEEDED(result) && FAILED(hr)) {
                result = hr;
            }
        };
        if (scope_ == Scope::User) {
            note(Remove(Part::AddInList));
        }
        // The shared keys stay while the other build uses them; its DLL is where its platform
        // key says.
        const bool otherRegistered = OtherBuildRegistered();
        const std::optional<std::wstring> otherPath =
            otherRegistered ? ReadString(Root(), Path(Part::Platform, PlatformKey(kOtherPlatform)))
                            : std::nullopt;
        note(RemoveClass(path, otherPath));
        note(Remove(Part::Platform));
        const std::wstring help = Path(Part::Library, LibraryVersionKey() + L"\\HELPDIR");
        if (!otherPath) {
            note(Remove(Part::Library));
        } else if (KeyExists(Root(), help, kOwnView)) {
            // The library's help folder becomes the remaining build's.
            note(win32util::WriteString(Root(), help, nullptr, Folder(*otherPath), kOwnView));
        }
        if (!otherRegistered) {
            note(Remove(Part::ProgId));
        }
        if (scope_ == Scope::User) {
            note(RemoveEmptyContainers());
        }
        return result;
    }

private:
    // The class and interface keys of this view are this build's, unless the class names the
    // other build's DLL: a registry that keeps one class key for both bitnesses (Wine's, for
    // a user's classes) then holds the other's. When the other build loses its class with
    // ours, it gets it back, pointing at its own DLL.
    HRESULT RemoveClass(const std::wstring& path,
                        const std::optional<std::wstring>& otherPath) const {
        const std::wstring classKey = Path(Part::Class, TopKey(Part::Class));
        if (scope_ == Scope::User) {
            const auto server = ReadString(Root(), classKey + L"\\InprocServer32", nullptr);
            if (server &&
                CompareStringOrdinal(server->c_str(), -1, path.c_str(), -1, TRUE) != CSTR_EQUAL) {
                return S_OK;
            }
        }
        RETURN_IF_FAILED(Remove(Part::Class));
        RETURN_IF_FAILED(Remove(Part::Interface));
        if (scope_ == Scope::User && otherPath && !KeyExists(Root(), classKey)) {
            return WriteRows(*otherPath, {Part::Class, Part::Interface});
        }
        return S_OK;
    }

    // The user's class containers the installation had to make, when nothing else is in them
    // now. (The VBA editor's add-in lists stay: the editor keeps them.)
    HRESULT RemoveEmptyContainers() const {
        for (const wchar_t* container :
             {L"Software\\Classes\\CLSID", L"Software\\Classes\\Interface",
              L"Software\\Classes\\TypeLib", L"Software\\Classes"}) {
            if (KeyIsEmpty(Root(), container)) {
                RETURN_IF_FAILED(DeleteTree(Root(), container));
            }
        }
        return S_OK;
    }

    Scope scope_;
};

std::wstring OwnPath() {
    return win32util::ModulePath(ModuleHandle());
}

} // namespace

HRESULT RegisterServer() noexcept try { return Target(Scope::Machine).Register(OwnPath()); }
CATCH_RETURN()

HRESULT UnregisterServer() noexcept try { return Target(Scope::Machine).Unregister(OwnPath()); }
CATCH_RETURN()

HRESULT InstallForUser(bool install, const wchar_t* commandLine) noexcept try {
    RETURN_HR_IF(E_INVALIDARG,
                 commandLine == nullptr ||
                     CompareStringOrdinal(commandLine, -1, L"user", -1, TRUE) != CSTR_EQUAL);
    const Target user(Scope::User);
    return install ? user.Register(OwnPath()) : user.Unregister(OwnPath());
}
CATCH_RETURN()

} // namespace qvn::addin
