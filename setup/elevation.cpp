#include "setup/elevation.h"

#include "setup/tool_message.h"

#include <windows.h>

#include <shellapi.h>

#include <string>

namespace qvn::setup {
namespace {

constexpr int kNotElevated = 32;

bool IsElevated() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return false;
    TOKEN_ELEVATION elevation = {};
    DWORD size = 0;
    const bool elevated =
        GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size) &&
        elevation.TokenIsElevated != 0;
    CloseHandle(token);
    return elevated;
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

int WaitForExit(HANDLE process) {
    WaitForSingleObject(process, INFINITE);
    DWORD status = 1;
    GetExitCodeProcess(process, &status);
    CloseHandle(process);
    return static_cast<int>(status);
}

} // namespace

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
        CloseHandle(process.hThread);
        return WaitForExit(process.hProcess);
    }

    char self[MAX_PATH] = {};
    const DWORD n = GetModuleFileNameA(nullptr, self, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return Refused(remove, programTitle);
    SHELLEXECUTEINFOA run = {};
    run.cbSize = sizeof run;
    run.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC;
    run.lpVerb = "runas";
    run.lpFile = self;
    run.nShow = SW_SHOWNORMAL;
    if (!ShellExecuteExA(&run) || run.hProcess == nullptr) {
        // A refused prompt (ERROR_CANCELLED) and every other failure to gain the rights end
        // the same way: nothing was changed.
        return Refused(remove, programTitle);
    }
    return WaitForExit(run.hProcess);
}

} // namespace qvn::setup
