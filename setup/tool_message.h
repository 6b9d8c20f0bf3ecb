// The one kind of message the setup tools show: a modal box titled with the program's title.
#pragma once

#include "ide/names.h"

#include <windows.h>

#include <string>

namespace qvn::setup {

inline constexpr UINT kInformationStyle = names::kStyleInformation; // information icon, OK
inline constexpr UINT kFailureStyle = names::kStyleCritical;        // stop icon, OK
inline constexpr char kEmptyLine[] = "\r\n\r\n";

// True when QVN_SETUP_QUIET is "1", as a silent installation sets it: the tools then show no
// message (and start the registration tool silently); their exit status tells the outcome.
bool Quiet();

void ShowMessage(const std::string& text, UINT style, const char* programTitle);

// The system's own description of `error`, without the line break it ends in.
std::string SystemErrorText(DWORD error);

} // namespace qvn::setup
