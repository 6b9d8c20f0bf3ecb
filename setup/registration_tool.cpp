#include "setup/registration_tool.h"

#include "setup/get_short_path.h"
#include "setup/tool_message.h"
#include "win32util/system_message.h"
#include "win32util/text.h"
#include "win32util/unique_handles.h"

#include <windows.h>

namespace qvn::setup {
namespace {

constexpr char kComponentFile[] = "\\QVN.dll";
constexpr char kClassicTool[] = "c:\\windows\\system\\regsvr32";

bool IsFile(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

} // namespace

std::string ProgramFolder() {
    std::string path = win32util::Narrow(win32util::ModulePath(nullptr), CP_ACP);
    const auto slash = path.find_last_of('\\');
    if (slash == std::string::npos)
        return {};
    path.resize(slash);
    if (!path.empty() && path.back() == ':')
        path.push_back('\\');
    return path;
}

std::string RegistrationToolPrefix() {
    // The command line names the classic tool without its extension: CreateProcess adds
    // ".exe", and some systems also start a file of exactly that name.
    if (IsFile(kClassicTool) || IsFile(std::string(kClassicTool) + ".exe"))
        return std::string(kClassicTool) + " ";
    std::string system(MAX_PATH, '\0');
    const UINT n = GetSystemDirectoryA(system.data(), static_cast<UINT>(system.size()));
    system.resize(n < system.size() ? n : 0);
    std::string tool = system + "\\regsvr32.exe";
    if (tool.find(' ') != std::string::npos)
        tool = "\"" + tool + "\"";
    return tool + " ";
}

std::string RegistrationCommand(const std::string& switches, const std::string& componentPath) {
    return RegistrationToolPrefix() + switches + "\"" + componentPath + "\"";
}

bool StartRegistrationTool(const std::string& switches, const char* programTitle) {
    const std::string folder = ProgramFolder();
    const std::string component = folder + kComponentFile;
    if (!IsFile(component)) {
        ShowMessage("QVN.dll was not found in " + folder + "." + kEmptyLine + "Run " +
                        programTitle + " from the folder that holds QVN.dll.",
                    kFailureStyle, programTitle);
        return false;
    }
    std::string shortPath = Module1::GetShortPath(component);
    // Some file systems refuse the short-form query for a file that exists; the quoted long
    // path still reaches it.
    if (shortPath.empty())
        shortPath = component;
    std::string command = RegistrationCommand(Quiet() ? "/s " + switches : switches, shortPath);

    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        const DWORD error = GetLastError();
        ShowMessage("The registration tool could not be started:" + std::string("\r\n") + command +
                        kEmptyLine + SystemErrorText(error),
                    kFailureStyle, programTitle);
        return false;
    }
    // The tool makes its own report; nobody here waits for it.
    win32util::unique_handle thread(process.hThread);
    win32util::unique_handle tool(process.hProcess);
    return true;
}

} // namespace qvn::setup
