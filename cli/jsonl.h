// JSON Lines mode of qvn-compose: one settings record in, one result out, per line.
#pragma once

#include <iosfwd>
#include <string>
#include <string_view>

namespace qvn::cli {

// Composes one input line. Returns the output line (without its line feed) and sets
// `failed` when the line was refused.
std::string ComposeJsonLine(std::string_view line, bool& failed);
// The same, appended to `out`.
void AppendComposedJsonLine(std::string_view line, std::string& out, bool& failed);

// Processes every line of `in`; returns 1 when any line failed, else 0.
int RunJsonLines(std::istream& in, std::ostream& out);

} // namespace qvn::cli
