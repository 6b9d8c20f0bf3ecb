// The language's limits on one statement, and the first line of a generated shape written as
// physical lines within them: continued with " _" after a " &" or a "," where it is too long,
// and literals split into pieces joined by " & " where one alone is too long for a line.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace qvn {

// The IDE refuses a physical line of code longer than this many bytes ("Line too long").
inline constexpr std::size_t kMaxLineBytes = 1023;
// The IDE refuses a logical line continued over more than this many " _" line-continuations.
inline constexpr int kMaxLineContinuations = 24;

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
