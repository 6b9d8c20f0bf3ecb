// The text of a code module as the IDE keeps it: a list of lines. Text crossing the object
// model joins lines with CR LF; a lone CR or LF also ends a line.
#pragma once

#include <string>
#include <vector>

namespace qvn::host {

std::vector<std::wstring> SplitLines(const std::wstring& text);
std::wstring JoinLines(const std::vector<std::wstring>& lines, std::size_t first,
                       std::size_t count);
// Reads a module file's bytes (ANSI, or UTF-8 with or without a byte-order mark) as lines.
std::vector<std::wstring> LinesFromFileBytes(const std::string& bytes);

} // namespace qvn::host
