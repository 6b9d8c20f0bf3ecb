// The text of a code module as the IDE keeps it: a list of lines. Text crossing the object
// model joins lines with CR LF; a lone CR or LF also ends a line.
#pragma once

#include <string>
#include <vector>

namespace qvn::standin {

std::vector<std::wstring> SplitLines(const std::wstring& text);
std::wstring JoinLines(const std::vector<std::wstring>& lines, std::size_t first,
                       std::size_t count);
// Reads a module file's bytes (ANSI, or UTF-8 with or without a byte-order mark) as lines.
std::vector<std::wstring> LinesFromFileBytes(const std::string& bytes);

} // namespace qvn::standin

namespace qvn::standin {

// One procedure as the IDE's code module reports it. Its lines run from `start` (the first
// line after the previous procedure or the declarations, so comments and blanks above the
// Sub line belong to it) to `end` (its End line); `body` is the Sub, Function or Property
// line. Lines are numbered from 1; `kind` is 0 for Sub and Function, 1 Let, 2 Set, 3 Get.
struct ProcedureSpan {
    std::wstring name;
    long kind = 0;
    long start = 0;
    long body = 0;
    long end = 0;
};

std::vector<ProcedureSpan> ProceduresOf(const std::vector<std::wstring>& lines);
// The declarations section: the lines up to the last statement before the first procedure.
long DeclarationLinesOf(const std::vector<std::wstring>& lines);

} // namespace qvn::standin
