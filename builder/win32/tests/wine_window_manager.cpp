// Under Wine on a bare X server (Xvfb, no window manager), hiding a top-level window waits two
// seconds for a window manager that never answers, which would make hundreds of openings of
// the window take minutes. This test program alone asks Wine to place its windows itself;
// what the window does on Windows is unchanged.
#include <windows.h>

namespace {

bool RunningUnderWine() {
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

const bool kUnmanaged = [] {
    if (!RunningUnderWine()) {
        return false;
    }
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER,
                        L"Software\\Wine\\AppDefaults\\builder_win32_tests.exe\\X11 Driver", 0,
                        nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS) {
        return false;
    }
    const wchar_t no[] = L"N";
    RegSetValueExW(key, L"Managed", 0, REG_SZ, reinterpret_cast<const BYTE*>(no), sizeof no);
    RegCloseKey(key);
    return true;
}();

} // namespace
