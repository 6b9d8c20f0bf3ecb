// Text at the point where a Windows function is called: the code base keeps UTF-8 in
// std::string, the system wants UTF-16 (or, for the few "A" functions, its ANSI code page).
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace qvn::win32util {

// Bytes in `codePage` to UTF-16 and back. Invalid input is converted as the system does
// (replacement characters), never refused.
std::wstring Widen(std::string_view bytes, UINT codePage);
std::string Narrow(std::wstring_view text, UINT codePage);

inline std::wstring Wide(std::string_view utf8) {
    return Widen(utf8, CP_UTF8);
}
inline std::string Utf8(std::wstring_view text) {
    return Narrow(text, CP_UTF8);
}
// A GUID as the registry writes it: {xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}, upper case.
std::wstring GuidText(REFGUID guid);

// UTF-8 to the ANSI code page.
inline std::string Ansi(std::string_view utf8) {
    return Narrow(Wide(utf8), CP_ACP);
}

} // namespace qvn::win32util
