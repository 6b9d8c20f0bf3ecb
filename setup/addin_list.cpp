#include "setup/addin_list.h"

#include <cstring>

namespace qvn::setup {

bool EntryPresent(const char* file) {
    std::string buffer(256, ' ');
    GetPrivateProfileStringA(kSection, kKey, kAbsentMark, buffer.data(), 256, file);
    return buffer.compare(0, 3, kAbsentMark) != 0;
}

std::optional<std::string> VirtualStoreCopy() {
    char localAppData[MAX_PATH] = {};
    const DWORD n = GetEnvironmentVariableA("LOCALAPPDATA", localAppData, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return std::nullopt;
    char windows[MAX_PATH] = {};
    const UINT w = GetWindowsDirectoryA(windows, MAX_PATH);
    if (w == 0 || w >= MAX_PATH)
        return std::nullopt;
    // The store mirrors the real path without its drive: C:\Windows becomes ...\Windows.
    std::string mirrored = windows;
    if (mirrored.size() >= 2 && mirrored[1] == ':')
        mirrored.erase(0, 2);
    if (mirrored.empty() || mirrored.front() != '\\')
        mirrored.insert(0, 1, '\\');
    if (mirrored.back() == '\\')
        mirrored.pop_back();
    std::string copy = std::string(localAppData) + "\\VirtualStore" + mirrored + "\\" + kListFile;
    const DWORD attributes = GetFileAttributesA(copy.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return std::nullopt;
    return copy;
}

DWORD LastWriteError() {
    const DWORD error = GetLastError();
    return error != ERROR_SUCCESS ? error : ERROR_WRITE_FAULT;
}

} // namespace qvn::setup
