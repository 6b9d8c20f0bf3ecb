#include "setup/user_install.h"

#include "setup/elevation.h"
#include "setup/get_short_path.h"
#include "setup/registration_tool.h"
#include "setup/tool_message.h"

#include <windows.h>

#include <vector>

namespace qvn::setup {
namespace {

constexpr char kBreak[] = "\r\n";

struct Component {
    const char* relativePath;
    const char* office; // the Office it serves, as the message names it
    bool sixtyFourBit;
};

constexpr Component kComponents[] = {
    {"\\QVN.dll", "32-bit Office", false},
    {"\\x64\\QVN.dll", "64-bit Office", true},
};

bool IsFile(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsSixtyFourBitWindows() {
    if constexpr (sizeof(void*) == 8) {
        return true;
    }
    BOOL wow64 = FALSE;
    return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
}

std::string WindowsFolder() {
    char windows[MAX_PATH] = {};
    const UINT n = GetWindowsDirectoryA(windows, MAX_PATH);
    return std::string(windows, n < MAX_PATH ? n : 0);
}

// The registration tool of the component's bitness as this program reaches it: its own
// system folder, the 32-bit one from a 64-bit program, and from a 32-bit program on 64-bit
// Windows the 64-bit one through the alias that file-system redirection leaves alone.
std::string RegistrationToolFor(bool sixtyFourBit) {
    constexpr bool selfSixtyFour = sizeof(void*) == 8;
    if (sixtyFourBit == selfSixtyFour) {
        char system[MAX_PATH] = {};
        const UINT n = GetSystemDirectoryA(system, MAX_PATH);
        return std::string(system, n < MAX_PATH ? n : 0) + "\\regsvr32.exe";
    }
    if (sixtyFourBit) {
        return WindowsFolder() + "\\Sysnative\\regsvr32.exe";
    }
    char wow[MAX_PATH] = {};
    const UINT n = GetSystemWow64DirectoryA(wow, MAX_PATH);
    return std::string(wow, n < MAX_PATH ? n : 0) + "\\regsvr32.exe";
}

// Runs the tool on the component and waits for it; an empty text means success, anything
// else is the reason it failed.
std::string RegisterForUser(const std::string& component, bool sixtyFourBit, bool remove) {
    std::string path = Module1::GetShortPath(component);
    if (path.empty())
        path = component;
    std::string command = "\"" + RegistrationToolFor(sixtyFourBit) + "\" /s " +
                          (remove ? "/u " : "") + "/n /i:user \"" + path + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        return "the registration tool could not be started (" + SystemErrorText(GetLastError()) +
               ")";
    }
    win32util::unique_handle thread(process.hThread);
    const auto status = static_cast<DWORD>(WaitForExit(win32util::unique_handle(process.hProcess)));
    switch (status) {
    case 0:
        return {};
    case 3:
        return "the DLL could not be loaded";
    case 5:
        return std::string("the DLL's DllInstall failed");
    default:
        return "failed with exit status " + std::to_string(status);
    }
}

} // namespace

ToolMode ModeFromArguments(const std::string& arguments) {
    const auto first = arguments.find_first_not_of(" \t");
    if (first == std::string::npos)
        return ToolMode::Machine;
    const auto last = arguments.find_last_not_of(" \t");
    const std::string word = arguments.substr(first, last - first + 1);
    return CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, word.c_str(), -1, "/user", -1) ==
                   CSTR_EQUAL
               ? ToolMode::User
               : ToolMode::BadArgument;
}

std::string ProcessArguments() {
    const char* line = GetCommandLineA();
    // The program's name is quoted, or runs up to the first blank.
    if (*line == '"') {
        ++line;
        while (*line != '\0' && *line != '"')
            ++line;
        if (*line == '"')
            ++line;
    } else {
        while (*line != '\0' && *line != ' ' && *line != '\t')
            ++line;
    }
    return line;
}

int RunForUser(bool remove, const char* programTitle) {
    const std::string folder = ProgramFolder();
    const bool sixtyFourBitWindows = IsSixtyFourBitWindows();
    std::vector<std::string> done;
    std::vector<std::string> failed;
    for (const Component& component : kComponents) {
        const std::string path = folder + component.relativePath;
        if ((component.sixtyFourBit && !sixtyFourBitWindows) || !IsFile(path))
            continue;
        const std::string reason = RegisterForUser(path, component.sixtyFourBit, remove);
        if (reason.empty())
            done.push_back(std::string("  ") + component.office);
        else
            failed.push_back(std::string("  ") + component.office + ": " + reason);
    }
    if (done.empty() && failed.empty()) {
        ShowMessage("QVN.dll was not found in " + folder + "." + kEmptyLine + "Run " +
                        programTitle + " /user from the folder that holds QVN.dll.",
                    kFailureStyle, programTitle);
        return 16;
    }
    const std::string success = remove ? "QVN removed for this user from the VBA editor:"
                                       : "QVN installed for this user in the VBA editor:";
    std::string text;
    if (!failed.empty()) {
        text = remove ? "QVN could not be removed for this user:"
                      : "QVN could not be installed for this user:";
        for (const auto& line : failed)
            text += kBreak + line;
        if (!done.empty())
            text += kBreak + success;
    } else {
        text = success;
    }
    for (const auto& line : done)
        text += kBreak + line;
    ShowMessage(text, failed.empty() ? kInformationStyle : kFailureStyle, programTitle);
    return failed.empty() ? 0 : 8;
}

void ReportBadArgument(bool remove, const char* programTitle) {
    ShowMessage(std::string(programTitle) + " takes no argument, or /user to " +
                    (remove ? "remove it for this user only."
                            : "install for this user only (the "
                              "VBA editor)."),
                kFailureStyle, programTitle);
}

int ToolMain(bool remove, const char* programTitle, int (*machineMode)()) {
    switch (ModeFromArguments(ProcessArguments())) {
    case ToolMode::User:
        return RunForUser(remove, programTitle);
    case ToolMode::BadArgument:
        ReportBadArgument(remove, programTitle);
        return 4;
    case ToolMode::Machine:
        break;
    }
    if (const auto status = RunElevatedIfNeeded(remove, programTitle))
        return *status;
    return machineMode();
}

} // namespace qvn::setup
