#include "setup/elevation.h"

#include "setup/tool_message.h"
#include "win32util/system_message.h"
#include "win32util/unique_handles.h"

#include <windows.h>

#include <shellapi.h>

#include <string>

namespace qvn::setup {
namespace {

constexpr int kNotElevated = 32;

bool IsElevated() {
    win32util::unique_handle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put()))
        return false;
    TOKEN_ELEVATION elevation = {};
    DWORD size = 0;
    return GetTokenInformation(token.get(), TokenElevation, &elevation, sizeof elevation, &size) &&
           elevation.TokenIsElevated != 0;
}

std::optional<std::string> StandIn() {
    char value[1024] = {};
    const DWORD n = GetEnvironmentVariableA("QVN_SETUP_ELEVATION", value, sizeof value);
    if (n == 0 || n >= sizeof value)
        return std::nullopt;
    return std::string(value, n);
}

int Refused(bool remove, const char* programTitle) {
    ShowMessage(std::string(remove ? "QVN was not removed" : "QVN was not installed") +
                    ": administrator rights are needed to change vbaddin.ini and register "
                    "QVN.dll for every user. Run " +
                    programTitle +
                    (remove ? " /user to remove it for yourself only."
                            : " /user to install for yourself only."),
                kFailureStyle, programTitle);
    return kNotElevated;
}

} // namespace

int WaitForExit(win32util::unique_handle process) {
    WaitForSingleObject(process.get(), INFINITE);
    DWORD status = 1;
    GetExitCodeProcess(process.get(), &status);
    return static_cast<int>(status);
}

std::optional<int> RunElevatedIfNeeded(bool remove, const char* programTitle) {
    const auto standIn = StandIn();
    if (!standIn && IsElevated())
        return std::nullopt;
    if (standIn && *standIn == "cancel")
        return Refused(remove, programTitle);
    if (standIn) {
        std::string command = *standIn;
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process = {};
        if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                            &startup, &process))
            return Refused(remove, programTitle);
        win32util::unique_handle thread(process.hThread);
        return WaitForExit(win32util::unique_handle(process.hProcess));
    }

    const std::wstring self = win32util::ModulePath(nullptr);
    if (self.empty())
        return Refused(remove, programTitle);
    SHELLEXECUTEINFOW run = {};
    run.cbSize = sizeof run;
    run.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC;
    run.lpVerb = L"runas";
    run.lpFile = self.c_str();
    run.nShow = SW_SHOWNORMAL;
    if (!ShellExecuteExW(&run) || run.hProcess == nullptr) {
        // A refused prompt (ERROR_CANCELLED) and every other failure to gain the rights end
        // the same way: nothing was changed.
        return Refused(remove, programTitle);
    }
    return WaitForExit(win32util::unique_handle(run.hProcess));
}

} // namespace qvn::setup
