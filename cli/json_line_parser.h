// One line of JSON Lines parsed with simdjson's DOM parser, whose kernel is chosen at run
// time for the processor it runs on, and checked in full: every line that is not JSON is
// refused, whatever part of it a record reads.
#pragma once

#include <simdjson.h>

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

} // namespace qvn::cli
