// The JSON of qvn-compose --jsonl without a document per line: a settings record is read
// straight from the line's bytes into MsgBoxSettings, and results are written straight into
// the output buffer.
#pragma once

#include "composition/msgbox_settings.h"

#include <string>
#include <string_view>

namespace qvn::cli {

// Fills `settings` from one line holding one JSON object with the record's own field names;
// fields left out keep their load values and other keys are ignored. Returns the empty
// string, or the message of the line's "error" key when the line is not valid JSON or a
// field has the wrong type or value.
std::string ReadSettingsRecord(std::string_view line, MsgBoxSettings& settings);

// Appends `text` to `out` as a JSON string: quote, backslash and control characters escaped,
// other characters as they are, and each ill-formed UTF-8 sequence replaced by U+FFFD.
void AppendJsonString(std::string& out, std::string_view text);

} // namespace qvn::cli
