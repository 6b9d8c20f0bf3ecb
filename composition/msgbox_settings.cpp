#include "msgbox_settings.h"

#include "option_tables.h"
#include "statement_lines.h"

#include <algorithm>
#include <cstring>
#include <string_view>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// Buffers a composition keeps between calls on its thread, so that composing needs no
// allocation. Not in the Windows builds: mingw-w64 may free a thread-local object's storage
// before its destructor runs at thread exit, which crashes the thread (the IDE's, for the
// add-in) now and then; there a composition runs once per click and takes fresh buffers.
#if defined(_WIN32)
#define QVN_KEPT_ON_THREAD
#else
#define QVN_KEPT_ON_THREAD thread_local
#endif

namespace qvn {
namespace {

constexpr std::string_view kCrName = kTextConstants[kCrConstant].name;
constexpr std::string_view kLfName = kTextConstants[kLfConstant].name;

// Puts `text` with every quote character doubled.
void PutEscaped(Gather& out, std::string_view text, std::string_view quote) {
    if (quote.size() == 1) {
        // The language's quote is one character, found with the library's byte search.
        const char* from = text.data();
        const char* const end = from + text.size();
        while (const void* hit =
                   std::memchr(from, quote[0], static_cast<std::size_t>(end - from))) {
            const char* const after = static_cast<const char*>(hit) + 1;
            out << std::string_view(from, static_cast<std::size_t>(after - from)) << quote[0];
            from = after;
        }
        out << std::string_view(from, static_cast<std::size_t>(end - from));
        return;
    }
    if (quote.empty()) {
        out << text;
        return;
    }
    std::size_t from = 0;
    for (std::size_t at = text.find(quote); at != std::string_view::npos;
         at = text.find(quote, from)) {
        out << text.substr(from, at + quote.size() - from) << quote;
        from = at + quote.size();
    }
    out << text.substr(from);
}

// A joining piece or constant of an expression, at most kMax bytes, copied in a few moves.
struct ShortPiece {
    static constexpr std::size_t kMax = 16;
    std::string_view text;

    char* CopyTo(char* to) const {
        CopyShortBytes(to, text.data(), text.size());
        return to + text.size();
    }
};

// A mask of the bytes that are `quote` or a line break among the next min(16, end - at) bytes
// from `at`, in the text from `begin` to `end`; `at` must be before `end`.
unsigned SpecialBytes(const char* begin, const char* at, const char* end, char quote) {
    const auto left = static_cast<std::size_t>(end - at);
#if defined(__SSE2__)
    // The sixteen bytes from `at`, or the last sixteen of the text with those before `at`
    // shifted out, or for a short text its bytes with zeros after them.
    const char* from = at;
    char tail[16] = {};
    if (left < 16) {
        if (end - begin >= 16) {
            from = end - 16;
        } else {
            CopyShortBytes(tail, at, left);
            from = tail;
        }
    }
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from));
    const __m128i special = _mm_or_si128(_mm_cmpeq_epi8(bytes, _mm_set1_epi8(quote)),
                                         _mm_or_si128(_mm_cmpeq_epi8(bytes, _mm_set1_epi8('\r')),
                                                      _mm_cmpeq_epi8(bytes, _mm_set1_epi8('\n'))));
    auto mask = static_cast<unsigned>(_mm_movemask_epi8(special));
    if (from != at && from != tail)
        mask >>= 16 - left;
    else if (from == tail)
        mask &= (1U << left) - 1;
    return mask;
#else
    (void)begin;
    unsigned mask = 0;
    for (std::size_t i = 0; i < std::min<std::size_t>(left, 16); ++i)
        if (at[i] == quote || at[i] == '\r' || at[i] == '\n')
            mask |= 1U << i;
    return mask;
#endif
}

// The check box behind each flag of the option table, in the table's order.
constexpr int MsgBoxSettings::*FlagBox(Flag flag) {
    switch (flag) {
    case Flag::Help:
        return &MsgBoxSettings::chkHelp;
    case Flag::SysModal:
        return &MsgBoxSettings::chkSysModal;
    case Flag::SetForeground:
        return &MsgBoxSettings::chkSetForeground;
    case Flag::RightAlign:
        return &MsgBoxSettings::chkRightAlign;
    case Flag::RtlReading:
        return &MsgBoxSettings::chkRtlReading;
    }
    return nullptr;
}

constexpr auto kFlagBoxes = [] {
    std::array<int MsgBoxSettings::*, kFlags.size()> boxes{};
    for (std::size_t f = 0; f < kFlags.size(); ++f) {
        boxes[f] = FlagBox(kFlags[f].flag);
        if (boxes[f] == nullptr)
            throw "a flag without its check box"; // stops the build
    }
    return boxes;
}();

} // namespace

int MsgBoxSettings::FlagValue(int flagIndex) const {
    return this->*kFlagBoxes[static_cast<std::size_t>(flagIndex)];
}

std::string MsgBoxSettings::EncodeStringExpression(const std::string& text) const {
    std::string expr;
    AppendStringExpression(expr, text);
    return expr;
}

void MsgBoxSettings::AppendStringExpression(std::string& expr, std::string_view all) const {
    if (strQuote.size() != 1 || strConcat.size() > ShortPiece::kMax || strCrLfName.empty() ||
        strCrLfName.size() > ShortPiece::kMax) {
        AppendStringExpressionPieceByPiece(expr, all);
        return;
    }
    // The usual pieces: the text read once from the front, sixteen bytes at a step with a
    // mask of its quotes and line breaks, and the expression written into a block on the stack
    // that is appended to `expr` when nearly full. A literal is opened before the first plain
    // byte or quote of a line and closed at the line break after it.
    const char quote = strQuote[0];
    const ShortPiece concat{strConcat};
    const ShortPiece crlf{strCrLfName};
    const ShortPiece cr{kCrName};
    const ShortPiece lf{kLfName};
    constexpr std::size_t kRoom = 1024;
    // One step writes at most, for each of its sixteen bytes, a concatenation, a constant, a
    // quote and a move of sixteen bytes of text.
    char block[kRoom + 16 * 2 * (2 * ShortPiece::kMax + 4)];
    char* write = block;
    bool open = false;    // a literal is open
    bool written = false; // the expression has a term
    auto openLiteral = [&] {
        if (open)
            return;
        if (written)
            write = concat.CopyTo(write);
        written = true;
        *write++ = quote;
        open = true;
    };
    const char* const begin = all.data();
    const char* const end = begin + all.size();
    // Copies the plain bytes from `from` to `to`, at most sixteen, into an open literal.
    auto plain = [&](const char* from, const char* to) {
        openLiteral();
        if (end - from >= 16)
            std::memcpy(write, from, 16);
        else
            CopyShortBytes(write, from, static_cast<std::size_t>(to - from));
        write += to - from;
    };
    const char* at = begin;
    while (at < end) {
        if (write >= block + kRoom) {
            expr.append(block, static_cast<std::size_t>(write - block));
            write = block;
        }
        const char* const stepEnd = at + std::min<std::ptrdiff_t>(16, end - at);
        unsigned mask = SpecialBytes(begin, at, end, quote);
        const char* const step = at;
        while (mask != 0) {
            const char* const special = step + __builtin_ctz(mask);
            if (special > at)
                plain(at, special);
            if (*special == quote) {
                openLiteral();
                write[0] = quote;
                write[1] = quote;
                write += 2;
                at = special + 1;
            } else {
                // A line break: the literal before it closed, and the break written as its
                // constant; a CR is CR LF only when an LF follows it.
                if (open) {
                    *write++ = quote;
                    open = false;
                }
                if (written)
                    write = concat.CopyTo(write);
                written = true;
                if (*special == '\r' && special + 1 < end && special[1] == '\n') {
                    write = crlf.CopyTo(write);
                    at = special + 2;
                } else {
                    write = (*special == '\r' ? cr : lf).CopyTo(write);
                    at = special + 1;
                }
            }
            // The bits of the bytes written, the LF of a CR LF among them.
            mask &= ~0U << (at - step);
        }
        if (at < stepEnd) {
            plain(at, stepEnd);
            at = stepEnd;
        }
    }
    if (open)
        *write++ = quote;
    if (!written) {
        write[0] = quote;
        write[1] = quote;
        write += 2;
    }
    expr.append(block, static_cast<std::size_t>(write - block));
}

void MsgBoxSettings::AppendStringExpressionPieceByPiece(std::string& expr,
                                                        std::string_view all) const {
    // Lines become quoted literals, line breaks become named constants, and the pieces are
    // joined by the concatenation operator. One pass from the front: linear in the text.
    expr.reserve(expr.size() + all.size() + all.size() / 8 + 2);
    const std::size_t start = expr.size();
    Gather out(expr);
    auto term = [&](auto&& write) {
        if (out.Size() > start)
            out << strConcat;
        write();
    };
    auto literal = [&](std::size_t from, std::size_t to) {
        if (to > from)
            term([&] {
                out << strQuote;
                PutEscaped(out, all.substr(from, to - from), strQuote);
                out << strQuote;
            });
    };
    // The next CR and the next LF, each found with the library's fast byte search.
    auto next = [&](char c, std::size_t from) {
        const void* at =
            from < all.size() ? std::memchr(all.data() + from, c, all.size() - from) : nullptr;
        return at != nullptr ? static_cast<std::size_t>(static_cast<const char*>(at) - all.data())
                             : all.size();
    };
    std::size_t lineStart = 0;
    std::size_t cr = next('\r', 0);
    std::size_t lf = next('\n', 0);
    while (std::min(cr, lf) < all.size()) {
        std::size_t i = std::min(cr, lf);
        literal(lineStart, i);
        std::string_view name;
        // `lf` is the text's size when there is no LF: a CR that ends the text is a lone CR.
        if (i == cr && lf == i + 1 && lf < all.size()) {
            name = strCrLfName;
            i += 2;
        } else {
            name = i == cr ? kCrName : kLfName;
            ++i;
        }
        term([&] { out << name; });
        lineStart = i;
        if (cr < i)
            cr = next('\r', i);
        if (lf < i)
            lf = next('\n', i);
    }
    literal(lineStart, all.size());
    if (out.Size() == start)
        out << strQuote << strQuote;
}

void MsgBoxSettings::EncodePromptText() {
    strPromptExpr.clear();
    AppendStringExpression(strPromptExpr, txtPrompt);
}

void MsgBoxSettings::BuildButtonsExpression() {
    strButtonsExpr.clear();
    lngButtonsValue = 0;
    Gather out(strButtonsExpr);
    auto add = [&](std::string_view constant, std::int32_t value) {
        if (out.Size() > 0)
            out << " + ";
        out << constant;
        lngButtonsValue += value;
    };
    if (intIcon > 0)
        add(kIcons[static_cast<std::size_t>(intIcon)].constant,
            kIcons[static_cast<std::size_t>(intIcon)].value);
    if (intButtonSet > 0)
        add(kButtonSets[static_cast<std::size_t>(intButtonSet)].constant,
            kButtonSets[static_cast<std::size_t>(intButtonSet)].value);
    if (intDefButton > 0)
        add(kDefaultButtons[static_cast<std::size_t>(intDefButton)].constant,
            kDefaultButtons[static_cast<std::size_t>(intDefButton)].value);
    // The boxes read through a table rather than a switch, which the loop would take a
    // different way at each flag.
    for (std::size_t f = 0; f < kFlags.size(); ++f)
        if (this->*kFlagBoxes[f] == 1)
            add(kFlags[f].constant, kFlags[f].value);
}

void MsgBoxSettings::BuildMsgBoxCode() {
    if (chkOptValOnly == 1 && lngButtonsValue > 0)
        strButtonsExpr = " " + std::to_string(lngButtonsValue); // the language's Str form

    const bool withButtons = !strButtonsExpr.empty();
    const bool withTitle = !strTitle.empty();
    const bool withHelp = chkHelp == 1 && !txtHelpFile.empty();
    using Joiner = LinePiece::Joiner;

    // The first line of the shape as the pieces a long line may be cut between. Arguments
    // left out before a written one keep their position as an empty ", ". The pieces only
    // look at texts that outlive them.
    // Kept between calls like the pieces below, so that their buffers are made once.
    QVN_KEPT_ON_THREAD std::string title;
    QVN_KEPT_ON_THREAD std::string helpFile;
    title.clear();
    helpFile.clear();
    if (withTitle)
        AppendStringExpression(title, strTitle);
    if (withHelp)
        AppendStringExpression(helpFile, txtHelpFile);
    // The first line's pieces in order, each handed to `put`; with `terms`, each expression
    // split into its terms (to the vector of pieces only), which a line that must be cut needs.
    // Kept between calls, so that a composition needs no allocation for it: scripts compose
    // a million records a second.
    QVN_KEPT_ON_THREAD std::vector<LinePiece> first;
    auto build = [&](bool terms, auto&& put) {
        auto expression = [&](std::string_view text, Joiner joiner) {
            if (terms)
                AppendExpressionPieces(first, text, joiner);
            else
                put({joiner, text, false});
        };
        switch (intCodeOption) {
        case kCodeVariableReturn:
            put({Joiner::None, txtVarName, false});
            put({Joiner::None, " = MsgBox(", false});
            break;
        case kCodeIfThenElse:
            put({Joiner::None, "If MsgBox (", false});
            break;
        default:
            put({Joiner::None, "MsgBox ", false});
            break;
        }
        expression(strPromptExpr, Joiner::None);
        if (withButtons || withTitle || withHelp)
            put({Joiner::Comma, strButtonsExpr, false});
        if (withTitle)
            expression(title, Joiner::Comma);
        else if (withHelp)
            put({Joiner::Comma, "", false});
        if (withHelp) {
            expression(helpFile, Joiner::Comma);
            put({Joiner::Comma, txtHelpContext, false});
        }
        if (intCodeOption == kCodeVariableReturn) {
            put({Joiner::None, ")", false});
        } else if (intCodeOption == kCodeIfThenElse) {
            const std::string& label =
                intDefButton >= 0 && intDefButton < static_cast<int>(labels.size())
                    ? labels[static_cast<std::size_t>(intDefButton)]
                    : labels[0];
            put({Joiner::None, chkNotEqual == 1 ? ") <> vb" : ") = vb", false});
            put({Joiner::None, label, false});
            put({Joiner::None, " Then", false});
        }
    };

    // Built by appending into one buffer: the Copy pipeline runs on every click.
    std::string& code = strMsgBoxCode;
    code.clear();
    code.reserve(strPromptExpr.size() + title.size() + helpFile.size() + 2 * txtVarName.size() +
                 160);
    // Written first as one line, which is all a line that fits needs: the pieces are kept
    // only for a line that must be cut.
    {
        Gather line(code);
        build(false, [&](const LinePiece& piece) {
            if (piece.joiner == Joiner::Comma)
                line << ", ";
            if (piece.text.data() == strPromptExpr.data())
                promptExprAt = line.Size();
            line << piece.text;
        });
    }
    if (code.size() > kMaxLineBytes) {
        promptExprAt = std::string::npos;
        code.clear();
        first.clear();
        build(true, [&](const LinePiece& piece) { first.push_back(piece); });
        blnCodeTooLong = !WriteStatementLine(first, strLineBreak, strIndent, code);
        if (blnCodeTooLong) {
            code.clear();
            return;
        }
    } else {
        blnCodeTooLong = false;
    }
    AppendCodeTail(code);
}

void MsgBoxSettings::AppendCodeTail(std::string& code) const {
    const std::string& crlf = strLineBreak;
    Gather out(code);
    switch (intCodeOption) {
    case kCodeVariableReturn:
        if (chkAddSelect == 1) {
            out << crlf << crlf << "Select Case " << txtVarName << crlf << crlf;
            for (const std::string& each : labels)
                // The Help button never ends the message box, so it has no result to test.
                if (!each.empty() && each != kHelpLabel)
                    out << strIndent << "Case vb" << each << crlf << crlf;
            out << "End Select" << crlf << crlf;
        }
        break;
    case kCodeIfThenElse:
        out << crlf << crlf << "Else" << crlf << crlf << "End If" << crlf;
        break;
    default:
        break;
    }
}

std::array<std::string, 4> DefaultButtonLabels(int buttonSet, bool helpButton) {
    std::array<std::string, 4> labels;
    const auto& set = kButtonSets[static_cast<std::size_t>(buttonSet)];
    std::size_t count = 0;
    for (std::size_t i = 0; i < labels.size(); ++i) {
        labels[i] = std::string(set.labels[i]);
        if (!labels[i].empty())
            count = i + 1;
    }
    if (helpButton && count < labels.size())
        labels[count] = std::string(kHelpLabel);
    return labels;
}

} // namespace qvn
