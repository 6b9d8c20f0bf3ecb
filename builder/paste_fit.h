// Fitting pasted code to the place it lands: indented like the code around the caret, and,
// for the "Variable Return" shape under Option Explicit, preceded by a declaration of its
// variable when nothing the code can see declares it yet. Plain text in, plain text out: the
// IDE is read by the caller, and any failed read means the code goes in as generated.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace qvn {

// The lines of a text whose lines are joined by CR LF.
std::vector<std::string> SplitCrLf(const std::string& text);

// The text every line of the pasted code starts with when it goes before `line` (from 1)
// of `module`: the caret line's own indentation, one level deeper when that line closes or
// continues a block; for a blank caret line the indentation of the code above it, deeper
// when that code opens a block.
std::string PasteIndent(const std::vector<std::string>& module, long line);

// One level of indentation as the module writes it: the most common step between
// consecutive lines, blanks or a tab; four blanks when the module shows none.
std::string IndentStep(const std::vector<std::string>& module);

// `code` (lines joined by CR LF) with `indent` before every line that has text, after
// `declaration` as a line of its own when that is not empty. Empty lines stay empty, so with
// no indent and no declaration the code comes back unchanged.
std::string IndentCode(std::string_view code, const std::string& indent,
                       std::string_view declaration);

// Whether the first `declarationLines` lines hold an Option Explicit statement.
bool HasOptionExplicit(const std::vector<std::string>& module, long declarationLines);

// A name the language accepts for a variable: a letter, then letters, digits and
// underscores, and not one of the words that would make a Dim line fail to compile.
bool IsPlainName(std::string_view name);

// The procedure whose Sub, Function or Property line is `bodyLine`: the line of its End
// statement (0 when none is found).
long ProcedureEndLine(const std::vector<std::string>& module, long bodyLine);

// Whether the procedure at `bodyLine`..`endLine` declares `name`: as its own name, a
// parameter, or in a Dim, Static, ReDim or Const statement anywhere in it.
bool ProcedureDeclares(const std::vector<std::string>& module, long bodyLine, long endLine,
                       std::string_view name);

// Whether the module's own level, outside every procedure, declares `name`: a variable,
// constant, declared procedure, enumeration or member, type, or a procedure of that name.
bool ModuleDeclares(const std::vector<std::string>& module, std::string_view name);

// Whether another module makes `name` visible project-wide: a Public or Global declaration,
// or a procedure not marked Private.
bool ProjectDeclares(const std::vector<std::string>& otherModule, std::string_view name);

} // namespace qvn
