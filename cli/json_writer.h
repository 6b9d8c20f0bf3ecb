// The JSON text qvn-compose writes: strings escaped as JSON needs them, written straight into
// the output buffer.
#pragma once

#include <cstring>
#include <string>
#include <string_view>

namespace qvn::cli {

// Appends `text` to `out` as a JSON string: quote, backslash and control characters escaped,
// other characters as they are, and each ill-formed UTF-8 sequence replaced by U+FFFD.
void AppendJsonString(std::string& out, std::string_view text);

// Writes JSON text into a block of its own that goes to `out` when it fills and when the
// writer is done: a result line is appended a few times instead of once for each piece.
class JsonWriter {
public:
    // What the block holds before it goes to `out`: room for a whole result line as a rule, so
    // that most lines are appended once. One step of String writes at most 16 plain bytes and
    // an escape for each of them (32 bytes, the last move of sixteen reaching 48), or fewer
    // than 16 and then at most six for one escape, so a step that starts within the room stays
    // within the block.
    static constexpr std::size_t kRoom = 4064;

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
    void Chars(std::string_view text) { Chars(text, false); }
    // Chars for a text known to be well-formed UTF-8, as every string the parser reads is: its
    // non-ASCII characters are copied as they are, unchecked.
    void WellFormedChars(std::string_view text) { Chars(text, true); }
    void Flush();

    // How many bytes have been written so far, those sent to `out` included.
    [[nodiscard]] std::size_t Position() const {
        return flushed_ + static_cast<std::size_t>(write_ - block_);
    }
    // Writes again the bytes written from Position `from` to Position `to`, when they are
    // still in the block and the block has room for them; false, writing nothing, otherwise.
    bool Repeat(std::size_t from, std::size_t to) {
        const std::size_t size = to - from;
        if (from < flushed_ || size > static_cast<std::size_t>(block_ + sizeof block_ - write_))
            return false;
        std::memcpy(write_, block_ + (from - flushed_), size);
        write_ += size;
        return true;
    }

private:
    void Chars(std::string_view text, bool wellFormed);
    void RawLong(std::string_view text);

    std::string& out_;
    char block_[kRoom + 48];
    char* write_ = block_;
    std::size_t flushed_ = 0; // bytes sent to `out`
};

} // namespace qvn::cli
