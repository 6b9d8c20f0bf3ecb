// Reads MsgBox code back into the settings the builder works on. It reads everything the
// generators write, and from hand-written code only what is fixed before the program runs:
// string literals, the language's named constants and numbers, in the statement forms the
// builder can write again. Anything else is refused with one sentence that names the piece,
// never guessed at, because the settings it gives may later replace the user's code.
#pragma once

#include "composition/msgbox_settings.h"

#include <string>
#include <string_view>
#include <variant>

namespace qvn {

struct ReadRefusal {
    std::string sentence; // what the builder cannot hold, naming the piece of code
};

// Reads one logical statement (with its continuation lines and a trailing comment), or the
// whole code of one of the generated shapes. Lines may end with CR LF or LF. The record's
// derived fields are left at their load values; the generators rebuild them.
std::variant<MsgBoxSettings, ReadRefusal> ReadMsgBoxCode(std::string_view code);

} // namespace qvn
