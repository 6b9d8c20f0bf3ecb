// The session the demo plays and the journey test repeats: the If-Then-Else example with a
// help file. Prompt "Quit now?", title "Confirm", the Help button switched on before the
// button set "Yes and No" is chosen (so the default-button choices read Yes, No, Help), the
// second button "No" as default, the code shape "If-Then-Else" with "<>", help file app.hlp
// and help context 100.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace qvn::drive {

// Composes the example in the open builder window through its native controls, checking
// after each step that the window shows its effect. Returns the first step that did not
// take effect, in words, or nothing when all did.
std::optional<std::string> ComposeIfThenElseExample(HWND builder);

// The code the composition engine writes for the example's settings.
std::string IfThenElseExampleCode();

// Splits text at CR LF, lone CR and lone LF; a final line break starts one more, empty,
// line, as the IDE's InsertLines takes it.
std::vector<std::string> SplitLines(const std::string& text);
// The lines of a module file: like SplitLines, but a final line break only ends the last line.
std::vector<std::string> FileLines(const std::string& bytes);
// Types `prompt`, chooses "Yes and No" and the "Variable Return" shape with `variable` as
// the name, checking each step as ComposeIfThenElseExample does.
std::optional<std::string> ComposeVariableReturn(HWND builder, const char* prompt,
                                                 const char* variable);

// `module` after `code` has been pasted before line `caret` (1-based), each of its lines that
// has text after `indent`.
std::vector<std::string> ModuleAfterPaste(std::vector<std::string> module, long caret,
                                          const std::string& code, const std::string& indent = {});

} // namespace qvn::drive
