// The JSON of qvn-compose --jsonl without a document per line: a settings record is read
// straight from the line's bytes into MsgBoxSettings, and results are written straight into
// the output buffer.
#pragma once

#include "composition/msgbox_settings.h"

#include <cstring>
#include <string>
#include <string_view>

namespace qvn::cli {

// Fills `settings` from one line holding one JSON object with the record's own field names;
// fields left out keep their load values and other keys are ignored. Returns the empty
// string, or the message of the line's "error" key when the line is not valid JSON or a
// field has the wrong type or value.
std::string ReadSettingsRecord(std::string_view line, MsgBoxSettings& settings);

// Reads the string member "code" of one line holding one JSON object into `code`. Returns
// the empty string, or the message of the line's "error" key: the one ReadSettingsRecord
// gives for a line that is not a JSON object, or that code must be a string.
std::string ReadCodeRecord(std::string_view line, std::string& code);

// Appends `settings` as one JSON object with the field names ReadSettingsRecord takes: each
// field whose value differs from the one it has when the window loads, in the record's order.
void AppendSettingsRecord(std::string& out, const MsgBoxSettings& settings);

// Appends `text` to `out` as a JSON string: quote, backslash and control characters escaped,
// other characters as they are, and each ill-formed UTF-8 sequence replaced by U+FFFD.
void AppendJsonString(std::string& out, std::string_view text);

// Writes JSON text into a block of its own that goes to `out` when it fills and when the
// writer is done: a result line is appended a few times instead of once for each piece.
class JsonWriter {
public:
    explicit JsonWriter(std::string& out) : out_(out) {}
    JsonWriter(const JsonWriter&) = delete;
    JsonWriter& operator=(const JsonWriter&) = delete;
    ~JsonWriter() { Flush(); }

    // `text` as it stands, which must be JSON already. Inline, so that the pieces the results
    // are made of are copied as the constants they are.
    void Raw(std::string_view text) {
        // Measured to the block's true end: a String may have left the write past the room.
        if (text.size() > static_cast<std::size_t>(block_ + sizeof block_ - write_)) {
            RawLong(text);
            return;
        }
        std::memcpy(write_, text.data(), text.size());
        write_ += text.size();
    }
    // `text` as a JSON string, as AppendJsonString writes it.
    void String(std::string_view text);
    // The same without the quotes: what a JSON string holds for `text`. A text cut where the
    // byte before the cut is ASCII gives the same as its two parts one after the other.
    void Chars(std::string_view text);
    void Flush();

private:
    void RawLong(std::string_view text);

    // One step of String writes at most 16 plain bytes, or fewer than 16 and then at most six
    // for one escape, so a step that starts within the room stays within the block.
    static constexpr std::size_t kRoom = 480;
    std::string& out_;
    char block_[kRoom + 32];
    char* write_ = block_;
};

} // namespace qvn::cli
