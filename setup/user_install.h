// The tools' per-user mode (/user): each component beside the tool is registered for this
// user by the registration tool of its own bitness, which writes the VBA editor's entry; one
// message sums up what was done. Nothing machine-wide, no add-in list.
#pragma once

#include <string>

namespace qvn::setup {

enum class ToolMode { Machine, User, BadArgument };

// The mode the command line after the program's name asks for: nothing, or "/user" in any case.
ToolMode ModeFromArguments(const std::string& arguments);
// The arguments of this process's command line, without the program's name.
std::string ProcessArguments();

// Registers (or, with `remove`, unregisters) "QVN.dll" and "x64\QVN.dll" of the program's
// folder for this user and shows the outcome. Returns the exit status: 0 when every
// applicable component succeeded, 8 when one failed, 16 when none was found.
int RunForUser(bool remove, const char* programTitle);

// The message of a bad argument (exit status 4).
void ReportBadArgument(bool remove, const char* programTitle);

// A tool's start: with /user it registers for this user only; with no argument it runs
// `machineMode` (the tool's Main), asking for administrator rights first when it has none;
// any other argument is refused. Returns the exit status.
int ToolMain(bool remove, const char* programTitle, int (*machineMode)());

} // namespace qvn::setup
