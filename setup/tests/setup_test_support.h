// Helpers of the setup tool tests: fresh program folders in the prefix, running a tool while
// its message boxes are read and closed, the add-in list parsed into sections and keys, the
// stand-in registration tool, and waiting for registration tools to finish.
#pragma once

#include "win32util/text.h"

#include "testsupport/message_box_watcher.h"
#include "testsupport/wine_helpers.h"

#include <windows.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace qvn::setup::testing {

namespace fs = std::filesystem;

// Section name -> key -> value, as a reader of the file sees them (layout ignored).
using IniContents = std::map<std::string, std::map<std::string, std::string>>;

std::optional<IniContents> ReadIni(const fs::path& file); // nullopt when there is no file
void WriteText(const fs::path& file, const std::string& text);
std::string ReadText(const fs::path& file);

fs::path ListFile();         // vbaddin.ini in the Windows folder
fs::path VirtualStoreList(); // %LOCALAPPDATA%\VirtualStore\Windows\vbaddin.ini
fs::path TestBinaries();     // the folder of this test program, beside the tools

struct ToolRun {
    DWORD exitCode = STILL_ACTIVE;
    std::vector<qvn::testing::SeenMessageBox> boxes; // in the order shown
};

inline constexpr wchar_t kInstall[] = L"QVNInstall.exe";
inline constexpr wchar_t kRemove[] = L"QVNRemove.exe";

// Creates `name` afresh under the tests' root in the prefix and copies both tools into it,
// and the component too when `withComponent`.
fs::path MakeToolFolder(const std::wstring& name, bool withComponent = true);

// Starts `tool` from `folder` (current directory elsewhere), closes every box it shows and
// waits for it to end.
ToolRun RunTool(const fs::path& folder, const wchar_t* tool, const std::wstring& arguments = {});

using qvn::testing::WaitForRegistrationTools;

// The stand-in registration tool at the classic path; it logs its command lines.
class FakeRegistrationTool {
public:
    FakeRegistrationTool();
    ~FakeRegistrationTool();
    FakeRegistrationTool(const FakeRegistrationTool&) = delete;
    FakeRegistrationTool& operator=(const FakeRegistrationTool&) = delete;
    std::vector<std::string> CommandLines() const;
    static void RemoveLeftovers();

private:
    bool createdFolder_ = false;
};

// Keeps the real list file and the user's virtual copy aside for one test and puts them back.
class ListFileGuard {
public:
    ListFileGuard();
    ~ListFileGuard();
    ListFileGuard(const ListFileGuard&) = delete;
    ListFileGuard& operator=(const ListFileGuard&) = delete;

private:
    std::optional<std::string> list_;
    std::optional<std::string> virtualCopy_;
};

std::string ShortPath(const fs::path& path);
// To and from the system's 8-bit code page.
inline std::string Narrow(const std::wstring& text) {
    return win32util::Narrow(text, CP_ACP);
}
inline std::wstring ToWide(const std::string& text) {
    return win32util::Widen(text, CP_ACP);
}

} // namespace qvn::setup::testing
