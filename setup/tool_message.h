// The one kind of message the setup tools show: a modal box titled with the program's title.
#pragma once

#include <windows.h>

#include <string>

namespace qvn::setup {

inline constexpr UINT kInformationStyle = 64; // information icon, OK
inline constexpr UINT kFailureStyle = 16;     // stop icon, OK
inline constexpr char kEmptyLine[] = "\r\n\r\n";

void ShowMessage(const std::string& text, UINT style, const char* programTitle);

// The system's own description of `error`, without the line break it ends in.
std::string SystemErrorText(DWORD error);

} // namespace qvn::setup
