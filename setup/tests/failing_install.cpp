// A component whose per-user installation fails: the registration tool reports it with its
// exit status for a failed DllInstall.
#include <windows.h>

extern "C" __declspec(dllexport) HRESULT STDAPICALLTYPE DllInstall(BOOL, LPCWSTR) {
    return E_FAIL;
}
