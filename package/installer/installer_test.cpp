// The setup program as a user or an administrator's script runs it, in a fresh Wine prefix:
// silently for the user and for everyone, over an older installation, while a host holds
// QVN.dll, and when QVNInstall fails; each installation is removed again by its uninstaller
// and must leave the registry and the install folder as they were.
#include "setup/tests/setup_test_support.h"

#include "package/journey/ui_driver.h"
#include "package/package_files.h"
#include "standin/stand_in_ide.h"
#include "testsupport/registry_image.h"

#include <gtest/gtest.h>
#include <objbase.h>
#include <shlobj.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using qvn::setup::testing::ReadIni;
using qvn::setup::testing::ReadText;
using qvn::setup::testing::RunTool;
using qvn::setup::testing::WaitForRegistrationTools;
using qvn::setup::testing::WriteText;
using qvn::testing::Utf8;

constexpr wchar_t kUninstallKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
constexpr wchar_t kEntry[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Quorvane";
constexpr wchar_t kProgId[] = L"Quorvane.Connect";
constexpr wchar_t kVbaAddIns[] = L"Software\\Microsoft\\VBA\\VBE\\6.0\\Addins\\Quorvane.Connect";
constexpr wchar_t kVbaAddIns64[] =
    L"Software\\Microsoft\\VBA\\VBE\\6.0\\Addins64\\Quorvane.Connect";
// Where a downloaded setup program sits.
const fs::path kDownloads = L"C:\\qvn-installer-tests\\Downloads";
constexpr DWORD kInUse = 64;

// What the setup program puts into its folder: the package's files and its own uninstaller.
std::vector<fs::path> InstalledFiles() {
    std::vector<fs::path> files;
    for (const auto& file : qvn::package::kPackageFiles) {
        files.emplace_back(file.path);
    }
    files.emplace_back(L"Uninstall.exe");
    return files;
}

std::wstring KnownFolder(REFKNOWNFOLDERID id) {
    PWSTR path = nullptr;
    std::wstring result;
    if (SUCCEEDED(SHGetKnownFolderPath(id, 0, nullptr, &path))) {
        result = path;
    }
    CoTaskMemFree(path);
    return result;
}

fs::path ForMeFolder() {
    return fs::path(KnownFolder(FOLDERID_LocalAppData)) / L"Programs" / L"Quorvane";
}
fs::path ForEveryoneFolder() {
    return fs::path(KnownFolder(FOLDERID_ProgramFilesX86)) / L"Quorvane";
}

bool SixtyFourBitWindows() {
    BOOL wow64 = FALSE;
    return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
}

std::optional<std::wstring> RegString(HKEY root, const std::wstring& path, const wchar_t* name,
                                      REGSAM view = 0) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    wchar_t value[1024] = {};
    DWORD bytes = sizeof value - sizeof(wchar_t);
    DWORD type = 0;
    const LONG status =
        RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(value), &bytes);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS || type != REG_SZ) {
        return std::nullopt;
    }
    return std::wstring(value);
}

std::optional<DWORD> RegDword(HKEY root, const std::wstring& path, const wchar_t* name,
                              REGSAM view = 0) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    DWORD value = 0;
    DWORD bytes = sizeof value;
    DWORD type = 0;
    const LONG status =
        RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &bytes);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS || type != REG_DWORD) {
        return std::nullopt;
    }
    return value;
}

bool KeyExists(HKEY root, const std::wstring& path, REGSAM view = 0) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(key);
    return true;
}

// The Uninstall entries named Quorvane, in every root and view, as "root:view:key".
std::vector<std::wstring> QuorvaneEntries() {
    std::vector<std::wstring> found;
    const std::pair<HKEY, const wchar_t*> roots[] = {{HKEY_CURRENT_USER, L"HKCU"},
                                                     {HKEY_LOCAL_MACHINE, L"HKLM"}};
    const std::pair<REGSAM, const wchar_t*> views[] = {{KEY_WOW64_32KEY, L"32"},
                                                       {KEY_WOW64_64KEY, L"64"}};
    for (const auto& [root, rootName] : roots) {
        for (const auto& [view, viewName] : views) {
            HKEY list = nullptr;
            if (RegOpenKeyExW(root, kUninstallKey, 0, KEY_READ | view, &list) != ERROR_SUCCESS) {
                continue;
            }
            wchar_t name[256];
            for (DWORD i = 0;; ++i) {
                DWORD length = 256;
                if (RegEnumKeyExW(list, i, name, &length, nullptr, nullptr, nullptr, nullptr) !=
                    ERROR_SUCCESS) {
                    break;
                }
                const std::wstring key = std::wstring(kUninstallKey) + L"\\" + name;
                if (RegString(root, key, L"DisplayName", view) == L"Quorvane") {
                    found.push_back(std::wstring(rootName) + L":" + viewName + L":" + name);
                }
            }
            RegCloseKey(list);
        }
    }
    // HKCU has one view; Wine and Windows show it under both flags.
    std::set<std::wstring> unique;
    std::vector<std::wstring> result;
    for (auto& entry : found) {
        const std::wstring id = entry.starts_with(L"HKCU") ? L"HKCU:" + entry.substr(8) : entry;
        if (unique.insert(id).second) {
            result.push_back(id);
        }
    }
    return result;
}

// Every file below `folder`, relative, with its size.
std::vector<std::string> FolderContents(const fs::path& folder) {
    std::vector<std::string> contents;
    std::error_code error;
    for (auto it = fs::recursive_directory_iterator(folder, error);
         !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
        std::string line = Utf8(fs::relative(it->path(), folder).wstring());
        if (it->is_regular_file()) {
            line += " " + std::to_string(it->file_size());
        }
        contents.push_back(line);
    }
    std::sort(contents.begin(), contents.end());
    return contents;
}

// The add-in's entry in the IDE's list, "" when there is none.
std::string ListedValue() {
    const auto list = ReadIni(qvn::setup::testing::ListFile());
    if (!list) {
        return {};
    }
    const auto section = list->find("Add-Ins32");
    if (section == list->end()) {
        return {};
    }
    const auto entry = section->second.find("Quorvane.Connect");
    return entry == section->second.end() ? std::string() : entry->second;
}

// An open handle that denies every other opener, as a host that keeps the file busy does.
class LockedFile {
public:
    explicit LockedFile(const fs::path& file)
        : handle_(CreateFileW(file.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr)) {}
    ~LockedFile() {
        if (handle_ != INVALID_HANDLE_VALUE) {
            CloseHandle(handle_);
        }
    }
    LockedFile(const LockedFile&) = delete;
    LockedFile& operator=(const LockedFile&) = delete;
    [[nodiscard]] bool Held() const { return handle_ != INVALID_HANDLE_VALUE; }

private:
    HANDLE handle_;
};

// Sets an environment variable for the programs this test starts, for one scope.
class ScopedEnvironment {
public:
    ScopedEnvironment(const wchar_t* name, const wchar_t* value) : name_(name) {
        SetEnvironmentVariableW(name, value);
    }
    ~ScopedEnvironment() { SetEnvironmentVariableW(name_, nullptr); }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    const wchar_t* name_;
};

class Installer : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        const fs::path built(QVN_INSTALLER);
        ASSERT_TRUE(fs::exists(built))
            << Utf8(built.wstring())
            << " is missing: cmake --build --preset win32 --target installer";
        fs::create_directories(kDownloads);
        fs::copy_file(built, kDownloads / built.filename(), fs::copy_options::overwrite_existing);
        setupName_ = built.filename().wstring();
    }

    // Runs the downloaded setup program; every message box of any process is answered.
    static qvn::setup::testing::ToolRun Setup(const std::wstring& arguments) {
        auto run = RunTool(kDownloads, setupName_.c_str(), arguments);
        EXPECT_TRUE(WaitForRegistrationTools()) << "regsvr32 still runs after the setup program";
        return run;
    }

    // Runs the installation's uninstaller from a copy, as it runs itself, but waited for, so
    // that its exit status is seen: `_?=` names the installation.
    static DWORD Uninstall(const fs::path& folder) {
        const fs::path copy = kDownloads.parent_path() / L"uninstaller";
        fs::create_directories(copy);
        fs::copy_file(folder / L"Uninstall.exe", copy / L"Uninstall.exe",
                      fs::copy_options::overwrite_existing);
        const auto run = RunTool(copy, L"Uninstall.exe", L"/S _?=" + folder.wstring());
        EXPECT_TRUE(run.boxes.empty()) << "the silent uninstaller showed a message box";
        EXPECT_TRUE(WaitForRegistrationTools()) << "regsvr32 still runs after the uninstaller";
        std::error_code ignored;
        fs::remove_all(copy, ignored);
        return run.exitCode;
    }

    // Exactly the listed files: one the uninstaller does not know of would stay behind.
    static void ExpectFilesIn(const fs::path& folder) {
        std::vector<std::wstring> listed;
        for (const fs::path& file : InstalledFiles()) {
            EXPECT_TRUE(fs::is_regular_file(folder / file))
                << Utf8(file.wstring()) << " is not installed";
            listed.push_back(file.wstring());
        }
        std::vector<std::wstring> found;
        for (const auto& item : fs::recursive_directory_iterator(folder)) {
            if (item.is_regular_file()) {
                found.push_back(fs::relative(item.path(), folder).wstring());
            }
        }
        std::sort(listed.begin(), listed.end());
        std::sort(found.begin(), found.end());
        EXPECT_EQ(found, listed) << "the install folder does not hold exactly the package's files";
    }

    static void ExpectFilesRemovedFrom(const fs::path& folder) {
        for (const fs::path& file : InstalledFiles()) {
            EXPECT_FALSE(fs::exists(folder / file)) << Utf8(file.wstring()) << " was not removed";
        }
    }

    static void ExpectEntry(HKEY root, REGSAM view, const fs::path& folder) {
        const std::wstring uninstaller = (folder / L"Uninstall.exe").wstring();
        EXPECT_EQ(RegString(root, kEntry, L"DisplayName", view), L"Quorvane");
        EXPECT_EQ(RegString(root, kEntry, L"DisplayVersion", view), L"" QVN_VERSION);
        EXPECT_EQ(RegString(root, kEntry, L"Publisher", view), L"Quorvane");
        EXPECT_EQ(RegString(root, kEntry, L"DisplayIcon", view), uninstaller + L",0");
        EXPECT_EQ(RegString(root, kEntry, L"InstallLocation", view), folder.wstring());
        EXPECT_EQ(RegString(root, kEntry, L"UninstallString", view), L"\"" + uninstaller + L"\"");
        EXPECT_EQ(RegString(root, kEntry, L"QuietUninstallString", view),
                  L"\"" + uninstaller + L"\" /S");
        EXPECT_EQ(RegDword(root, kEntry, L"NoModify", view), 1U);
        EXPECT_EQ(RegDword(root, kEntry, L"NoRepair", view), 1U);
        const auto size = RegDword(root, kEntry, L"EstimatedSize", view);
        ASSERT_TRUE(size.has_value()) << "no EstimatedSize";
        std::uintmax_t bytes = 0;
        for (const auto& file : qvn::package::kPackageFiles) {
            bytes += fs::file_size(folder / file.path);
        }
        // In KB, of the files the setup program carries.
        EXPECT_NEAR(static_cast<double>(*size), static_cast<double>(bytes) / 1024.0, 8.0);
    }

    void SetUp() override {
        // The lists Office makes for its VBA editor, which a fresh Wine prefix lacks; the
        // add-in's registration leaves them alone. (The user's class containers it makes
        // itself, and takes away again when they are left empty.)
        for (const wchar_t* shared : {L"Software\\Microsoft\\VBA\\VBE\\6.0\\Addins",
                                      L"Software\\Microsoft\\VBA\\VBE\\6.0\\Addins64"}) {
            HKEY key = nullptr;
            ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, shared, 0, nullptr, 0, KEY_READ, nullptr,
                                      &key, nullptr),
                      ERROR_SUCCESS);
            RegCloseKey(key);
        }
        ASSERT_FALSE(fs::exists(ForMeFolder())) << "an earlier case left its installation";
        ASSERT_FALSE(fs::exists(ForEveryoneFolder())) << "an earlier case left its installation";
        registryBefore_ = qvn::testing::ReadRegistry();
    }

    void ExpectRegistryAsBefore(const char* after, bool usedInTheIde = false) {
        auto changes = qvn::testing::RegistryChanges(registryBefore_, qvn::testing::ReadRegistry());
        if (usedInTheIde) {
            // The one setting the add-in keeps for the user on purpose: whether its window
            // was left open.
            std::erase_if(changes, [](const std::string& change) {
                return change.find("\\VB and VBA Program Settings") != std::string::npos;
            });
        }
        EXPECT_EQ(changes, std::vector<std::string>{}) << after << " changed the registry";
    }

    static std::wstring setupName_;
    qvn::testing::RegistryImage registryBefore_;
};
std::wstring Installer::setupName_;

TEST_F(Installer, ForMeSilentlyThenUninstallLeavesNothing) {
    const fs::path folder = ForMeFolder();
    const auto run = Setup(L"/S");
    EXPECT_EQ(run.exitCode, 0U);
    EXPECT_TRUE(run.boxes.empty()) << "the silent setup program showed a message box";
    ExpectFilesIn(folder);
    ExpectEntry(HKEY_CURRENT_USER, 0, folder);
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kEntry, KEY_WOW64_32KEY));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kEntry, KEY_WOW64_64KEY));

    // The VBA editor's entries and the classes, for this user alone.
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, kVbaAddIns));
    EXPECT_EQ(KeyExists(HKEY_CURRENT_USER, kVbaAddIns64), SixtyFourBitWindows());
    const auto clsid = RegString(
        HKEY_CURRENT_USER, std::wstring(L"Software\\Classes\\") + kProgId + L"\\CLSID", nullptr);
    ASSERT_TRUE(clsid.has_value()) << "the ProgID is not registered for the user";
    const auto server =
        RegString(HKEY_CURRENT_USER, L"Software\\Classes\\CLSID\\" + *clsid + L"\\InprocServer32",
                  nullptr, KEY_WOW64_32KEY);
    ASSERT_TRUE(server.has_value()) << "the 32-bit class has no server";
    // Wine keeps one view of the user's classes, so the 64-bit add-in, registered second,
    // may own the class there; either way it is served from the install folder.
    wchar_t longServer[MAX_PATH] = {};
    GetLongPathNameW(server->c_str(), longServer, MAX_PATH);
    const std::wstring served = longServer;
    EXPECT_TRUE(lstrcmpiW(served.c_str(), (folder / L"QVN.dll").c_str()) == 0 ||
                lstrcmpiW(served.c_str(), (folder / L"x64\\QVN.dll").c_str()) == 0)
        << Utf8(*server);
    // Nothing machine-wide.
    EXPECT_EQ(ListedValue(), "") << "the per-user installation listed the add-in in vbaddin.ini";

    EXPECT_EQ(Uninstall(folder), 0U);
    ExpectFilesRemovedFrom(folder);
    EXPECT_FALSE(fs::exists(folder)) << "the install folder is still there";
    ExpectRegistryAsBefore("installing for me and uninstalling");
}

TEST_F(Installer, ForEveryoneSilentlyServesTheVisualBasicIde) {
    const fs::path folder = ForEveryoneFolder();
    const auto run = Setup(L"/S /ALLUSERS");
    EXPECT_EQ(run.exitCode, 0U);
    EXPECT_TRUE(run.boxes.empty()) << "the silent setup program showed a message box";
    ExpectFilesIn(folder);
    // A 32-bit program's entry: the 32-bit view of HKLM.
    ExpectEntry(HKEY_LOCAL_MACHINE, KEY_WOW64_32KEY, folder);
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kEntry));
    EXPECT_EQ(ListedValue(), "1");
    const auto clsid = RegString(HKEY_CLASSES_ROOT, std::wstring(kProgId) + L"\\CLSID", nullptr);
    ASSERT_TRUE(clsid.has_value()) << "Quorvane.Connect is not registered for the machine";
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kVbaAddIns)) << "/user was run too";

    {
        // The IDE loads QVN.dll into this process; COM lets it go when the apartment ends, so
        // that the uninstaller finds it free.
        ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
        {
            qvn::standin::IdeHost ide;
            ASSERT_NE(ide.CreateMainWindow(SW_SHOWNORMAL), nullptr);
            EXPECT_EQ(ide.StartUp(), S_OK);
            EXPECT_EQ(ide.AddInsMenu(), std::vector<std::wstring>{L"Quorvane"});
            SendMessageW(ide.Window(), WM_CLOSE, 0, 0);
        }
        OleUninitialize();
    }

    EXPECT_EQ(Uninstall(folder), 0U);
    EXPECT_FALSE(fs::exists(folder)) << "the install folder is still there";
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kProgId));
    EXPECT_EQ(ListedValue(), "") << "the add-in is still listed in vbaddin.ini";
    ExpectRegistryAsBefore("installing for everyone and uninstalling", true);
}

TEST_F(Installer, OverAnOlderInstallationAndWhileQvnDllIsInUse) {
    const fs::path folder = ForMeFolder();
    ASSERT_EQ(Setup(L"/S").exitCode, 0U);
    const std::string readme = ReadText(folder / L"readme.txt");
    const std::string older = "Quorvane 1.0.0\r\n";
    WriteText(folder / L"readme.txt", older);
    HKEY entry = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, kEntry, 0, KEY_SET_VALUE, &entry), ERROR_SUCCESS);
    const wchar_t oldVersion[] = L"1.0.0";
    RegSetValueExW(entry, L"DisplayVersion", 0, REG_SZ, reinterpret_cast<const BYTE*>(oldVersion),
                   sizeof oldVersion);
    RegCloseKey(entry);

    EXPECT_EQ(Setup(L"/S").exitCode, 0U);
    EXPECT_EQ(ReadText(folder / L"readme.txt"), readme) << "the older file was not replaced";
    EXPECT_EQ(QuorvaneEntries(), std::vector<std::wstring>{L"HKCU:Quorvane"});
    ExpectEntry(HKEY_CURRENT_USER, 0, folder);

    {
        // A host holds QVN.dll: nothing is replaced, not even the files that are free.
        WriteText(folder / L"readme.txt", older);
        const auto contents = FolderContents(folder);
        const auto registry = qvn::testing::ReadRegistry();
        LockedFile host(folder / L"QVN.dll");
        ASSERT_TRUE(host.Held());
        const auto run = Setup(L"/S");
        EXPECT_EQ(run.exitCode, kInUse);
        EXPECT_TRUE(run.boxes.empty()) << "the silent setup program showed a message box";
        EXPECT_EQ(ReadText(folder / L"readme.txt"), older) << "a file was replaced";
        EXPECT_EQ(FolderContents(folder), contents);
        EXPECT_EQ(qvn::testing::RegistryChanges(registry, qvn::testing::ReadRegistry()),
                  std::vector<std::string>{});
        // The uninstaller does not take it away half either.
        EXPECT_EQ(Uninstall(folder), kInUse);
        EXPECT_EQ(FolderContents(folder), contents);
    }

    // A file of the user's stays, and with it the folder; the rest goes. This time the
    // uninstaller runs as the list of programs starts it: it hands over to a copy of itself
    // and returns at once, so the test waits for its work.
    WriteText(folder / L"my notes.txt", "mine");
    const auto quiet = RegString(HKEY_CURRENT_USER, kEntry, L"QuietUninstallString");
    ASSERT_TRUE(quiet.has_value());
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    std::wstring command = *quiet;
    qvn::testing::MessageBoxWatcher boxes; // QVNRemove reports in one
    ASSERT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                               L"C:\\", &startup, &process));
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    EXPECT_TRUE(qvn::drive::WaitUntil(
        [&] {
            return !KeyExists(HKEY_CURRENT_USER, kEntry) && !fs::exists(folder / L"Uninstall.exe");
        },
        60s))
        << "the uninstaller did not finish within 60 s";
    EXPECT_TRUE(WaitForRegistrationTools());
    ExpectFilesRemovedFrom(folder);
    EXPECT_EQ(FolderContents(folder), std::vector<std::string>{"my notes.txt 4"});
    fs::remove_all(folder);
    EXPECT_TRUE(QuorvaneEntries().empty());
    ExpectRegistryAsBefore("installing twice and uninstalling");
}

TEST_F(Installer, FailsWithQvnInstallsStatusWhenTheAddInListCannotBeWritten) {
    const fs::path folder = ForEveryoneFolder();
    {
        LockedFile list(qvn::setup::testing::ListFile());
        ASSERT_TRUE(list.Held());
        const auto run = Setup(L"/S /ALLUSERS");
        // QVNInstall's status: bit 0, the list was not updated.
        EXPECT_EQ(run.exitCode, 1U);
    }
    // What was installed can be removed.
    EXPECT_EQ(Uninstall(folder), 0U);
    EXPECT_FALSE(fs::exists(folder));
    ExpectRegistryAsBefore("a failed installation and its removal");
}

TEST_F(Installer, ForEveryoneWithoutAdministratorRightsStartsItselfElevated) {
    {
        // Refused: nothing is installed, and the status says why.
        ScopedEnvironment refuse(L"QVN_INSTALLER_ELEVATION", L"refuse");
        EXPECT_EQ(Setup(L"/S /ALLUSERS").exitCode, 32U);
        EXPECT_FALSE(fs::exists(ForEveryoneFolder()));
        ExpectRegistryAsBefore("a refused installation");
    }
    const fs::path folder = ForEveryoneFolder();
    {
        ScopedEnvironment relaunch(L"QVN_INSTALLER_ELEVATION", L"relaunch");
        EXPECT_EQ(Setup(L"/S /ALLUSERS").exitCode, 0U);
    }
    ExpectEntry(HKEY_LOCAL_MACHINE, KEY_WOW64_32KEY, folder);
    {
        ScopedEnvironment relaunch(L"QVN_INSTALLER_ELEVATION", L"relaunch");
        EXPECT_EQ(Uninstall(folder), 0U);
    }
    EXPECT_FALSE(fs::exists(folder));
    ExpectRegistryAsBefore("an elevated installation and its removal");
}

} // namespace
