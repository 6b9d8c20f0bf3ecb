// The JSON text qvn-compose writes: strings escaped as JSON needs them, written straight into
// the output buffer.
#pragma once

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>

namespace qvn::cli {

// Appends `text` to `out` as a JSON string: quote, backslash and control characters escaped,
// other characters as they are, and each ill-formed UTF-8 sequence replaced by U+FFFD.
void AppendJsonString(std::string& out, std::string_view text);

// The bytes of the output not yet handed on, with room after them that a JsonWriter writes
// into in place. The room is zero-filled once, when the buffer grows, and not for each line.
class OutputBuffer {
public:
    [[nodiscard]] std::string_view View() const { return {bytes_.data(), size_}; }
    [[nodiscard]] std::size_t Size() const { return size_; }
    [[nodiscard]] char* Data() { return bytes_.data(); }
    void Clear() { size_ = 0; }
    // At least `room` writable bytes after the end; returns where the end is.
    char* Room(std::size_t room) {
        if (bytes_.size() - size_ < room)
            bytes_.resize(std::max(2 * bytes_.size(), size_ + room));
        return bytes_.data() + size_;
    }
    // The bytes up to `end`, written into the room, become part of the output.
    void Commit(const char* end) { size_ = static_cast<std::size_t>(end - bytes_.data()); }
    void Append(std::string_view text) {
        std::memcpy(Room(text.size()), text.data(), text.size());
        size_ += text.size();
    }
    void Push(char c) { *Room(1) = c, ++size_; }

private:
    std::string bytes_;
    std::size_t size_ = 0;
};

// Appends `text` to `out` as a JSON string, as AppendJsonString does.
void AppendJsonString(OutputBuffer& out, std::string_view text);

// Writes JSON text straight into an OutputBuffer, making room a few times a line rather than
// checking it for every piece.
class JsonWriter {
public:
    // The room made at a time. One step of Chars writes at most 16 plain bytes and an escape
    // for each of them (32 bytes, the last move of sixteen reaching 48), or fewer than 16 and
    // then at most six for one escape, so a step that starts within the room stays within
    // the room and its slack.
    static constexpr std::size_t kRoom = 4064;
    static constexpr std::size_t kSlack = 48;

    explicit JsonWriter(OutputBuffer& out) : out_(out) { MakeRoom(0); }
    JsonWriter(const JsonWriter&) = delete;
    JsonWriter& operator=(const JsonWriter&) = delete;
    ~JsonWriter() { out_.Commit(write_); }

    // `text` as it stands, which must be JSON already. Inline, so that the pieces the results
    // are made of are copied as the constants they are.
    void Raw(std::string_view text) {
        // Measured to the room's true end: a step of Chars may have left the write past it.
        if (text.size() > static_cast<std::size_t>(limit_ + kSlack - write_))
            MakeRoom(text.size());
        std::memcpy(write_, text.data(), text.size());
        write_ += text.size();
    }
    // `text` as a JSON string, as AppendJsonString writes it.
    void String(std::string_view text);
    // The same without the quotes: what a JSON string holds for `text`. A text cut where the
    // byte before the cut is ASCII gives the same as its two parts one after the other.
    void Chars(std::string_view text) { Escape<false>(text); }
    // Chars for a text known to be well-formed UTF-8, as every string the parser reads is: its
    // non-ASCII characters are copied as they are, unchecked.
    void WellFormedChars(std::string_view text) { Escape<true>(text); }

    // Where the next byte goes in the output buffer.
    [[nodiscard]] std::size_t Position() const {
        return static_cast<std::size_t>(write_ - out_.Data());
    }
    // Writes again the bytes written from Position `from` to Position `to`.
    void Repeat(std::size_t from, std::size_t to) {
        const std::size_t size = to - from;
        if (size > static_cast<std::size_t>(limit_ + kSlack - write_))
            MakeRoom(size);
        std::memcpy(write_, out_.Data() + from, size);
        write_ += size;
    }

private:
    // Chars, compiled apart for text known to be well-formed and for text that is checked, so
    // that the steps over plain bytes do not ask which it is.
    template <bool kWellFormed> void Escape(std::string_view text);
    // Commits what is written and makes kRoom bytes of room, and `extra` more, after it.
    void MakeRoom(std::size_t extra) {
        out_.Commit(write_ == nullptr ? out_.Data() + out_.Size() : write_);
        write_ = out_.Room(kRoom + kSlack + extra);
        limit_ = write_ + kRoom + extra;
    }

    OutputBuffer& out_;
    char* write_ = nullptr;
    char* limit_ = nullptr; // a step of Chars starts before here
};

} // namespace qvn::cli
