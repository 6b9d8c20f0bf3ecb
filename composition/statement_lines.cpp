#include "statement_lines.h"

#include <algorithm>
#include <optional>

namespace qvn {
namespace {

using Joiner = LinePiece::Joiner;

constexpr char kQuote = '"';
constexpr std::string_view kConcat = " & ";
constexpr std::string_view kContinuation = " _";

// What stands between two pieces on one line, and what ends a line cut before the second:
// the operator without the blank after it.
std::string_view JoinText(Joiner joiner) {
    switch (joiner) {
    case Joiner::Ampersand:
        return kConcat;
    case Joiner::Comma:
        return ", ";
    case Joiner::None:
        break;
    }
    return {};
}
std::string_view CutText(Joiner joiner) {
    const std::string_view join = JoinText(joiner);
    return join.empty() ? join : join.substr(0, join.size() - 1);
}

std::string Quoted(std::string_view raw) {
    std::string out(1, kQuote);
    for (char c : raw) {
        out.push_back(c);
        if (c == kQuote)
            out.push_back(kQuote);
    }
    out.push_back(kQuote);
    return out;
}

std::string Unquoted(std::string_view literal) {
    std::string raw;
    for (std::size_t i = 1; i + 1 < literal.size(); ++i) {
        raw.push_back(literal[i]);
        if (literal[i] == kQuote)
            ++i; // the second quote of a doubled one
    }
    return raw;
}

// Pieces written together: what stands before the group's literal, the literal (unquoted),
// and what stands after it.
struct Group {
    Joiner joiner = Joiner::None;
    std::string prefix;
    std::optional<std::string> raw;
    std::string suffix;

    [[nodiscard]] std::string Text() const { return prefix + (raw ? Quoted(*raw) : "") + suffix; }
};

std::vector<Group> Groups(const std::vector<LinePiece>& pieces) {
    std::vector<Group> groups;
    for (const LinePiece& piece : pieces) {
        if (groups.empty() || piece.joiner != Joiner::None)
            groups.push_back(Group{piece.joiner, {}, std::nullopt, {}});
        Group& group = groups.back();
        if (piece.literal && !group.raw)
            group.raw = Unquoted(piece.text);
        else
            (group.raw ? group.suffix : group.prefix).append(piece.text);
    }
    return groups;
}

// The longest start of `raw` whose quoted form takes at most `budget` bytes between its
// quotes, cut between two characters (never inside one, and a quote stays whole with its
// double), leaving at least one character for the rest.
std::size_t FittingStart(std::string_view raw, std::size_t budget) {
    std::size_t best = 0;
    std::size_t cost = 0;
    for (std::size_t i = 0; i < raw.size(); ++i) {
        const auto byte = static_cast<unsigned char>(raw[i]);
        if ((byte & 0xC0) != 0x80 && i > 0) {
            if (cost > budget)
                break;
            best = i;
        }
        cost += raw[i] == kQuote ? 2 : 1;
    }
    return best;
}

} // namespace

void AppendExpressionPieces(std::vector<LinePiece>& pieces, std::string_view expression,
                            LinePiece::Joiner first) {
    std::size_t at = 0;
    Joiner joiner = first;
    while (at <= expression.size()) {
        std::size_t end = at;
        if (end < expression.size() && expression[end] == kQuote) {
            for (++end; end < expression.size(); ++end) {
                if (expression[end] != kQuote)
                    continue;
                if (end + 1 < expression.size() && expression[end + 1] == kQuote)
                    ++end;
                else
                    break;
            }
            end = std::min(end + 1, expression.size());
        } else {
            end = std::min(expression.find(kConcat, at), expression.size());
        }
        const std::string_view term = expression.substr(at, end - at);
        pieces.push_back(LinePiece{joiner, term, !term.empty() && term[0] == kQuote});
        joiner = Joiner::Ampersand;
        if (expression.substr(end, kConcat.size()) != kConcat)
            break;
        at = end + kConcat.size();
    }
}

Gather& Gather::PutLong(std::string_view piece) {
    if (piece.size() > kRoom - used_) {
        Flush();
        if (piece.size() > kRoom) {
            out_.append(piece);
            return *this;
        }
    }
    // An empty piece may have no bytes at all to copy from.
    if (!piece.empty())
        std::memcpy(block_ + used_, piece.data(), piece.size());
    used_ += piece.size();
    return *this;
}

std::size_t LineLength(const std::vector<LinePiece>& pieces) {
    std::size_t length = 0;
    for (const LinePiece& piece : pieces)
        length += JoinText(piece.joiner).size() + piece.text.size();
    return length;
}

bool WriteStatementLine(const std::vector<LinePiece>& pieces, const std::string& lineBreak,
                        const std::string& indent, std::string& out) {
    const std::size_t start = out.size();
    {
        Gather line(out);
        for (const LinePiece& piece : pieces)
            line << JoinText(piece.joiner) << piece.text;
    }
    const std::size_t length = out.size() - start;
    if (length <= kMaxLineBytes)
        return true;
    out.resize(start);
    // Cutting a line never makes the text shorter, so a statement longer than all its
    // physical lines together can hold cannot be written at all.
    if (length > (kMaxLineContinuations + 1) * kMaxLineBytes)
        return false;

    std::vector<Group> groups = Groups(pieces);
    std::vector<std::string> lines;
    std::string line;
    bool placed = false; // the line holds at least one group
    auto cutBefore = [&](Joiner joiner) {
        line.append(CutText(joiner)).append(kContinuation);
        lines.push_back(std::move(line));
        line = indent;
        placed = false;
        return lines.size() <= static_cast<std::size_t>(kMaxLineContinuations);
    };
    for (std::size_t i = 0; i < groups.size();) {
        Group& group = groups[i];
        const std::string text = group.Text();
        // Room kept for cutting the line after this group, when more follows.
        const std::size_t tail =
            i + 1 < groups.size() ? CutText(groups[i + 1].joiner).size() + kContinuation.size() : 0;
        const std::string_view join = placed ? JoinText(group.joiner) : std::string_view{};
        if (line.size() + join.size() + text.size() + tail <= kMaxLineBytes) {
            line.append(join).append(text);
            placed = true;
            ++i;
            continue;
        }
        // A group that fits on a line of its own goes there whole.
        if (placed && indent.size() + text.size() + tail <= kMaxLineBytes) {
            if (!cutBefore(group.joiner))
                return false;
            continue;
        }
        // Only a literal can be split; the first piece fills what is left of the line.
        if (!group.raw)
            return false;
        const std::string lead = line + std::string(join) + group.prefix;
        const std::size_t used =
            lead.size() + 2 + CutText(Joiner::Ampersand).size() + kContinuation.size();
        const std::size_t keep =
            used < kMaxLineBytes ? FittingStart(*group.raw, kMaxLineBytes - used) : 0;
        if (keep == 0) {
            if (!placed || !cutBefore(group.joiner))
                return false;
            continue;
        }
        line = lead + Quoted(std::string_view(*group.raw).substr(0, keep));
        placed = true;
        group.joiner = Joiner::Ampersand;
        group.prefix.clear();
        group.raw->erase(0, keep);
        if (!cutBefore(Joiner::Ampersand))
            return false;
    }
    lines.push_back(std::move(line));
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i > 0)
            out.append(lineBreak);
        out.append(lines[i]);
    }
    return true;
}

} // namespace qvn
