#include "testsupport/wine_helpers.h"

#include "win32util/registry.h"

#include <tlhelp32.h>

#include <string>
#include <thread>

namespace qvn::testing {

bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds deadline,
               std::chrono::milliseconds poll) {
    const auto until = std::chrono::steady_clock::now() + deadline;
    for (;;) {
        if (condition()) {
            return true;
        }
        if (std::chrono::steady_clock::now() >= until) {
            return false;
        }
        std::this_thread::sleep_for(poll);
    }
}

bool PumpUntil(const std::function<bool()>& condition, std::chrono::milliseconds deadline) {
    const auto until = std::chrono::steady_clock::now() + deadline;
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (condition()) {
            return true;
        }
        if (std::chrono::steady_clock::now() >= until) {
            return false;
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
}

bool ProgramRunning(const wchar_t* exeName) {
    bool running = false;
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) {
        return false;
    }
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot, &entry); more && !running;
         more = Process32NextW(snapshot, &entry)) {
        running = lstrcmpiW(entry.szExeFile, exeName) == 0;
    }
    CloseHandle(snapshot);
    return running;
}

bool WaitForRegistrationTools(std::chrono::milliseconds deadline) {
    return WaitUntil([] { return !ProgramRunning(L"regsvr32.exe"); }, deadline,
                     std::chrono::milliseconds(100));
}

bool RunningUnderWine() {
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

bool LetWinePlaceWindows(const wchar_t* exeName) {
    if (!RunningUnderWine()) {
        return false;
    }
    const std::wstring path = exeName != nullptr ? std::wstring(L"Software\\Wine\\AppDefaults\\") +
                                                       exeName + L"\\X11 Driver"
                                                 : std::wstring(L"Software\\Wine\\X11 Driver");
    return SUCCEEDED(win32util::WriteString(HKEY_CURRENT_USER, path, L"Managed", L"N"));
}

} // namespace qvn::testing
