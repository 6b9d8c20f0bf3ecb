// Stands in for the registration tool at the classic path during the tests: appends the
// command line it was started with to "regsvr32.log" beside itself and ends, so that a test
// can read exactly what a setup tool started.
#include <windows.h>

#include <string>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    char self[MAX_PATH] = {};
    const DWORD n = GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string log(self, n);
    log.resize(log.find_last_of('\\') + 1);
    log += "regsvr32.log";
    const std::string line = std::string(GetCommandLineA()) + "\r\n";
    // Appends are serialised by the file system; a run that cannot log fails loudly.
    const HANDLE file = CreateFileA(log.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                                    OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 1;
    DWORD written = 0;
    const BOOL ok =
        WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == line.size() ? 0 : 1;
}
