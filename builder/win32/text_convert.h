// UTF-8 (the code base's text) to and from the system's UTF-16 and ANSI code page, at the
// point where a Windows function is called.
#pragma once

#include <string>
#include <string_view>

namespace qvn::win32 {

std::wstring Wide(std::string_view utf8);
std::string Utf8(std::wstring_view wide);
// The text in the ANSI code page, for the few functions that have only an "A" form.
std::string Ansi(std::string_view utf8);

} // namespace qvn::win32
