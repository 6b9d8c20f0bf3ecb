// JSON Lines modes of qvn-compose: one settings record in and one result out per line, or
// one piece of code in and the settings record read from it out.
#pragma once

#include "cli/json_line_parser.h"
#include "cli/json_writer.h"

#include <iosfwd>
#include <string>
#include <string_view>

namespace qvn::cli {

// Composes one input line. Returns the output line (without its line feed) and sets
// `failed` when the line was refused.
std::string ComposeJsonLine(std::string_view line, bool& failed);
// The same, appended to `out`, for a line that kLinePadding readable bytes follow, as
// RunLines hands them.
void AppendComposedJsonLine(std::string_view line, std::string& out, bool& failed);

// Processes every line of `in`; returns 1 when any line failed, else 0.
int RunJsonLines(std::istream& in, std::ostream& out);

// Reads the code of one input line, {"code": "..."}, and appends the settings record read
// from it, or {"error": ...} with `failed` set. kLinePadding readable bytes follow the line.
void AppendReadJsonLine(std::string_view line, std::string& out, bool& failed);
// --read --jsonl: every line of `in` read; returns 1 when any line failed, else 0.
int RunReadJsonLines(std::istream& in, std::ostream& out);

// Turns one input line (without its line end, and with kLinePadding readable bytes after it)
// into one output line appended to `out`; `root` is the line's root when it is parsed already,
// else null.
using LineHandler = void (*)(std::string_view line, const simdjson::dom::element* root,
                             OutputBuffer& out, bool& failed);
// Hands each line of `in` to `handle` and writes the results, each ended by a line feed;
// returns 1 when any line failed, else 0. A CR before a line feed is not part of the line.
int RunLines(std::istream& in, std::ostream& out, LineHandler handle);

} // namespace qvn::cli
