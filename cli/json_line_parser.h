// One line of JSON Lines parsed with simdjson's DOM parser, whose kernel is chosen at run
// time for the processor it runs on, and checked in full: every line that is not JSON is
// refused, whatever part of it a record reads.
#pragma once

#include <simdjson.h>

#include <cstddef>
#include <functional>
#include <string_view>

namespace qvn::cli {

// The readable bytes a padded line has after its end, for the parser's wide loads: a line
// parsed where it lies in the input instead of from a copy.
inline constexpr std::size_t kLinePadding = simdjson::SIMDJSON_PADDING;

// Parses `line`, a byte order mark at its start allowed, into `root`; `padded` says that
// kLinePadding readable bytes follow it, whatever they hold. The element and every string
// read from it stay valid until the next call on the same thread.
simdjson::error_code ParseJsonLine(std::string_view line, simdjson::dom::element& root,
                                   bool padded);

// What is handed each line that ParseJsonLines vouches for: the line without its line end, and
// its root, valid until the next call of ParseJsonLines on the same thread.
using ParsedLineVisitor = std::function<void(std::string_view line, simdjson::dom::element root)>;

// Parses `lines`, whole lines each ended by a line feed with kLinePadding readable bytes after
// the last, in one pass of the parser, and hands `visit` each line from the first that is one
// JSON object and nothing else, exactly as ParseJsonLine would give it. Stops at the first line
// that is not so, or at one the block pass cannot judge alone, and returns where that line
// starts (lines.size() when all were handed): such lines are left to ParseJsonLine.
std::size_t ParseJsonLines(std::string_view lines, const ParsedLineVisitor& visit);

} // namespace qvn::cli
