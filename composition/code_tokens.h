// The tokens of one logical line of the language's code: its physical lines joined where they
// end with a " _" continuation, comments and all. Only what a MsgBox statement may hold is told
// apart finely; everything else is a symbol, for the reader to refuse by name.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qvn {

// The type the language gives a whole-number literal, which decides where sums overflow.
enum class NumberType {
    Integer, // 16 bits
    Long,    // 32 bits
    Other,   // a fraction, another type suffix, or too large for a Long
};

struct CodeToken {
    enum class Kind { Name, Text, Number, Symbol, Comment, End };
    Kind kind = Kind::End;
    std::string_view source; // as written
    std::string text;        // Text: the literal's characters, doubled quotes made single
    std::int64_t value = 0;  // Number: the value in its type
    NumberType type = NumberType::Other;

    // A name, keyword or symbol equal to `word`, letter case ignored.
    [[nodiscard]] bool Is(std::string_view word) const;
};

struct LogicalLine {
    std::vector<CodeToken> tokens; // the last one is End
    std::size_t end = 0;           // where the line break that ends it starts, or the code's size
    std::string problem;           // why the line cannot be read at all, or empty
};

// Reads the logical line that starts at `from` in `code`, whose line breaks must be CR LF.
LogicalLine ReadLogicalLine(std::string_view code, std::size_t from);

// Letter case ignored, ASCII only, as the language compares names.
bool SameWord(std::string_view a, std::string_view b);

// `source` on one line: each " _" continuation and each run of blanks becomes one blank.
std::string OnOneLine(std::string_view source);

} // namespace qvn
