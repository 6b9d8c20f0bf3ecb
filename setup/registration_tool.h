// Starting the system's registration tool on the component beside the setup program.
#pragma once

#include <string>

namespace qvn::setup {

// The folder the program was started from, without a closing separator (except at a root).
std::string ProgramFolder();

// The registration tool's command up to its arguments, ending in one blank: the fixed path
// of old systems when that file exists there, otherwise the one in the system directory.
std::string RegistrationToolPrefix();

// The command line that registers (`switches` empty) or unregisters ("/u ") the component.
// The path is quoted: without short names on its volume it keeps its blanks.
std::string RegistrationCommand(const std::string& switches, const std::string& componentPath);

// Runs the registration step of the tool titled `programTitle` on "QVN.dll" in the program's
// folder: reports a missing component instead of starting the tool on nothing, starts the
// tool in a normal window without waiting for it. True when the tool was started.
bool StartRegistrationTool(const std::string& switches, const char* programTitle);

} // namespace qvn::setup
