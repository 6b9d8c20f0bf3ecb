// The records of qvn-compose's JSON Lines: a settings record read from one line of JSON into
// MsgBoxSettings, the code of a code record, and a settings record written out.
#pragma once

#include "cli/json_writer.h"
#include "composition/msgbox_settings.h"

#include <simdjson.h>

#include <string>
#include <string_view>

namespace qvn::cli {

// Fills `settings` from one line holding one JSON object with the record's own field names;
// fields left out keep their load values and other keys are ignored. Returns the empty
// string, or the message of the line's "error" key when the line is not valid JSON or a
// field has the wrong type or value. `padded`: kLinePadding readable bytes follow the line.
std::string ReadSettingsRecord(std::string_view line, MsgBoxSettings& settings,
                               bool padded = false);
// The same for a line already parsed, from its root.
std::string ReadSettingsRecord(simdjson::dom::element root, MsgBoxSettings& settings);

// Reads the string member "code" of one line holding one JSON object into `code`. Returns
// the empty string, or the message of the line's "error" key: the one ReadSettingsRecord
// gives for a line that is not a JSON object, or that code must be a string.
std::string ReadCodeRecord(std::string_view line, std::string& code, bool padded = false);
std::string ReadCodeRecord(simdjson::dom::element root, std::string& code);

// Appends `settings` as one JSON object with the field names ReadSettingsRecord takes: each
// field whose value differs from the one it has when the window loads, in the record's order.
void AppendSettingsRecord(std::string& out, const MsgBoxSettings& settings);
void AppendSettingsRecord(OutputBuffer& out, const MsgBoxSettings& settings);

} // namespace qvn::cli
