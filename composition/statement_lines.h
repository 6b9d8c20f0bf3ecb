// The language's limits on one statement, and the first line of a generated shape written as
// physical lines within them: continued with " _" after a " &" or a "," where it is too long,
// and literals split into pieces joined by " & " where one alone is too long for a line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace qvn {

// The IDE refuses a physical line of code longer than this many bytes ("Line too long").
inline constexpr std::size_t kMaxLineBytes = 1023;
// The IDE refuses a logical line continued over more than this many " _" line-continuations.
inline constexpr int kMaxLineContinuations = 24;

// Copies up to 16 bytes in a few moves, where a call to the library costs tens of
// instructions: two that may overlap, of the widest size that fits.
inline void CopyShortBytes(char* to, const char* from, std::size_t n) {
    auto pair = [&](auto word) {
        decltype(word) first;
        decltype(word) last;
        std::memcpy(&first, from, sizeof word);
        std::memcpy(&last, from + n - sizeof word, sizeof word);
        std::memcpy(to, &first, sizeof word);
        std::memcpy(to + n - sizeof word, &last, sizeof word);
    };
    if (n >= 8) {
        pair(std::uint64_t{});
    } else if (n >= 4) {
        pair(std::uint32_t{});
    } else if (n > 0) {
        to[0] = from[0];
        to[n / 2] = from[n / 2];
        to[n - 1] = from[n - 1];
    }
}

// Short texts gathered on the stack and appended to a string a block at a time: code is built
// from many short pieces, and each append to a string of its own costs a call into the
// library. Everything put is in the string once the gatherer is gone.
class Gather {
public:
    explicit Gather(std::string& out) : out_(out) {}
    Gather(const Gather&) = delete;
    Gather& operator=(const Gather&) = delete;
    ~Gather() { Flush(); }

    Gather& operator<<(std::string_view piece) {
        if (piece.size() <= 16 && used_ + 16 <= kRoom) {
            CopyShortBytes(block_ + used_, piece.data(), piece.size());
            used_ += piece.size();
            return *this;
        }
        return PutLong(piece);
    }
    Gather& operator<<(char c) {
        if (used_ == kRoom)
            Flush();
        block_[used_++] = c;
        return *this;
    }
    // How long the string is with what has been put so far.
    [[nodiscard]] std::size_t Size() const { return out_.size() + used_; }
    void Flush() {
        out_.append(block_, used_);
        used_ = 0;
    }

private:
    Gather& PutLong(std::string_view piece);

    static constexpr std::size_t kRoom = 240;
    std::string& out_;
    std::size_t used_ = 0;
    char block_[kRoom];
};

// One piece of a statement's line. A line may be cut before a piece joined by " & " or ", ";
// pieces joined by nothing are written together.
struct LinePiece {
    enum class Joiner { None, Ampersand, Comma };
    Joiner joiner = Joiner::None;
    std::string_view text; // as written; a literal with its quotes, inner quotes doubled
    bool literal = false;  // a quoted literal, which may be split into pieces
};

// The terms of a string expression ("a" & vbCrLf & "b") as pieces joined by " & ", the first
// one joined by `first`. The pieces look into `expression`, which must outlive them.
void AppendExpressionPieces(std::vector<LinePiece>& pieces, std::string_view expression,
                            LinePiece::Joiner first);

// The length of the pieces written on one line.
std::size_t LineLength(const std::vector<LinePiece>& pieces);

// Appends the pieces to `out` as one line when it is short enough, exactly as written;
// otherwise as physical lines joined by `lineBreak`, each continuation starting with
// `indent`. False, with `out` in an unspecified state, when no arrangement stays within the
// limits.
bool WriteStatementLine(const std::vector<LinePiece>& pieces, const std::string& lineBreak,
                        const std::string& indent, std::string& out);

} // namespace qvn
