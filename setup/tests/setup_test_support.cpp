#include "setup/tests/setup_test_support.h"

#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

namespace qvn::setup::testing {
namespace {

constexpr wchar_t kTestsRoot[] = L"C:\\qvn-setup-tests";
constexpr char kClassicFolder[] = "c:\\windows\\system";
constexpr char kClassicTool[] = "c:\\windows\\system\\regsvr32.exe";
constexpr char kClassicLog[] = "c:\\windows\\system\\regsvr32.log";

std::string Trim(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return {};
    const auto last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

// The list may be stored as UTF-16 with a byte-order mark; the tests only write 8-bit text.
std::string AsNarrowText(const std::string& bytes) {
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
        static_cast<unsigned char>(bytes[1]) == 0xFE) {
        std::wstring wide((bytes.size() - 2) / 2, L'\0');
        std::memcpy(wide.data(), bytes.data() + 2, wide.size() * 2);
        return Narrow(wide);
    }
    if (bytes.rfind("\xEF\xBB\xBF", 0) == 0)
        return bytes.substr(3);
    return bytes;
}

void RemoveFile(const fs::path& file) {
    SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);
    std::error_code ignored;
    fs::remove(file, ignored);
}

} // namespace

std::string ReadText(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteText(const fs::path& file, const std::string& text) {
    fs::create_directories(file.parent_path());
    RemoveFile(file);
    std::ofstream out(file, std::ios::binary);
    out << text;
}

std::optional<IniContents> ReadIni(const fs::path& file) {
    if (!fs::exists(file))
        return std::nullopt;
    IniContents ini;
    std::istringstream lines(AsNarrowText(ReadText(file)));
    std::string section;
    bool inSection = false;
    for (std::string line; std::getline(lines, line);) {
        line = Trim(line);
        if (line.empty() || line[0] == ';')
            continue;
        if (line.front() == '[' && line.back() == ']') {
            section = line.substr(1, line.size() - 2);
            ini[section];
            inSection = true;
            continue;
        }
        const auto equals = line.find('=');
        const std::string key = Trim(line.substr(0, equals));
        const std::string value = equals == std::string::npos ? "" : Trim(line.substr(equals + 1));
        ini[inSection ? section : std::string()][key] = value;
    }
    return ini;
}

fs::path ListFile() {
    wchar_t windows[MAX_PATH] = {};
    GetWindowsDirectoryW(windows, MAX_PATH);
    return fs::path(windows) / L"vbaddin.ini";
}

fs::path VirtualStoreList() {
    wchar_t local[MAX_PATH] = {};
    GetEnvironmentVariableW(L"LOCALAPPDATA", local, MAX_PATH);
    return fs::path(local) / L"VirtualStore" / L"Windows" / L"vbaddin.ini";
}

fs::path TestBinaries() {
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    return fs::path(self).parent_path();
}

fs::path MakeToolFolder(const std::wstring& name, bool withComponent) {
    const fs::path folder = fs::path(kTestsRoot) / name;
    std::error_code ignored;
    fs::remove_all(folder, ignored);
    fs::create_directories(folder);
    std::vector<std::wstring> files = {kInstall, kRemove};
    if (withComponent)
        files.push_back(L"qvn.dll");
    for (const auto& file : files)
        fs::copy_file(TestBinaries() / file, folder / file, fs::copy_options::overwrite_existing);
    return folder;
}

ToolRun RunTool(const fs::path& folder, const wchar_t* tool, const std::wstring& arguments) {
    qvn::testing::MessageBoxWatcher watcher;
    ToolRun run;
    const fs::path program = folder / tool;
    std::wstring command = L"\"" + program.wstring() + L"\"";
    if (!arguments.empty())
        command += L" " + arguments;
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    // Started from another current directory: the tools must look beside themselves.
    if (!CreateProcessW(program.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        L"C:\\", &startup, &process)) {
        ADD_FAILURE() << "cannot start " << program << ": error " << GetLastError();
        return run;
    }
    if (WaitForSingleObject(process.hProcess, 60000) != WAIT_OBJECT_0) {
        ADD_FAILURE() << program << " did not end within 60 s";
        TerminateProcess(process.hProcess, 99);
        WaitForSingleObject(process.hProcess, 5000);
    }
    GetExitCodeProcess(process.hProcess, &run.exitCode);
    for (auto& box : watcher.Seen())
        if (box.processId == process.dwProcessId)
            run.boxes.push_back(std::move(box));
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return run;
}

FakeRegistrationTool::FakeRegistrationTool() {
    RemoveLeftovers();
    if (GetFileAttributesA(kClassicFolder) == INVALID_FILE_ATTRIBUTES) {
        createdFolder_ = CreateDirectoryA(kClassicFolder, nullptr) != 0;
    }
    const fs::path fake = TestBinaries() / L"qvn_fake_regsvr32.exe";
    if (!CopyFileW(fake.c_str(), ToWide(kClassicTool).c_str(), FALSE))
        ADD_FAILURE() << "cannot place the stand-in registration tool: error " << GetLastError();
}

FakeRegistrationTool::~FakeRegistrationTool() {
    EXPECT_TRUE(WaitForRegistrationTools()) << "the stand-in registration tool did not end";
    RemoveLeftovers();
    if (createdFolder_)
        RemoveDirectoryA(kClassicFolder);
}

std::vector<std::string> FakeRegistrationTool::CommandLines() const {
    EXPECT_TRUE(WaitForRegistrationTools()) << "the stand-in registration tool did not end";
    std::vector<std::string> lines;
    std::istringstream log(ReadText(kClassicLog));
    for (std::string line; std::getline(log, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

void FakeRegistrationTool::RemoveLeftovers() {
    RemoveFile(kClassicTool);
    RemoveFile(kClassicLog);
}

ListFileGuard::ListFileGuard() {
    for (auto [file, saved] :
         {std::pair{ListFile(), &list_}, {VirtualStoreList(), &virtualCopy_}}) {
        if (fs::exists(file))
            *saved = ReadText(file);
        RemoveFile(file);
    }
}

ListFileGuard::~ListFileGuard() {
    for (auto [file, saved] :
         {std::pair{ListFile(), &list_}, {VirtualStoreList(), &virtualCopy_}}) {
        RemoveFile(file);
        if (*saved)
            WriteText(file, **saved);
    }
}

std::string ShortPath(const fs::path& path) {
    char buffer[1024] = {};
    const DWORD n = GetShortPathNameA(Narrow(path.wstring()).c_str(), buffer, sizeof buffer);
    return std::string(buffer, n < sizeof buffer ? n : 0);
}

} // namespace qvn::setup::testing
