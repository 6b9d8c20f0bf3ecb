#include "composition/code_tokens.h"

#include <cctype>

namespace qvn {
namespace {

constexpr std::string_view kLineBreak = "\r\n";

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}
bool IsLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
bool IsNameChar(char c) {
    return IsLetter(c) || IsDigit(c) || c == '_';
}
int HexDigit(char c) {
    if (IsDigit(c))
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Where a " _" continuation at `at` goes on: after the line break that follows the underscore
// and any blanks. npos when there is no continuation at `at`.
std::size_t ContinuationEnd(std::string_view code, std::size_t at, std::size_t lineStart) {
    if (at >= code.size() || code[at] != '_' || (at > lineStart && !IsBlank(code[at - 1])))
        return std::string_view::npos;
    std::size_t i = at + 1;
    while (i < code.size() && IsBlank(code[i]))
        ++i;
    if (code.substr(i, kLineBreak.size()) != kLineBreak)
        return std::string_view::npos;
    return i + kLineBreak.size();
}

class Lexer {
public:
    Lexer(std::string_view code, std::size_t from) : code_(code), at_(from), lineStart_(from) {}

    LogicalLine Read() {
        LogicalLine line;
        for (;;) {
            SkipSpace();
            if (!problem_.empty())
                break;
            if (at_ >= code_.size() || code_.substr(at_, kLineBreak.size()) == kLineBreak) {
                line.end = at_;
                break;
            }
            line.tokens.push_back(Next());
            if (!problem_.empty())
                break;
            if (line.tokens.back().kind == CodeToken::Kind::Comment) {
                line.end = at_;
                break;
            }
        }
        CodeToken end;
        end.source = code_.substr(std::min(at_, code_.size()), 0);
        line.tokens.push_back(end);
        line.problem = problem_;
        return line;
    }

private:
    // Blanks, and continuations, which join the next physical line to this one.
    void SkipSpace() {
        for (;;) {
            while (at_ < code_.size() && IsBlank(code_[at_]))
                ++at_;
            const std::size_t next = ContinuationEnd(code_, at_, lineStart_);
            if (next == std::string_view::npos) {
                if (at_ < code_.size() && code_[at_] == '_' && !IsNameChar(Peek(1)) &&
                    (at_ == lineStart_ || IsBlank(code_[at_ - 1])) && IsLastLine())
                    problem_ = "the statement ends with a line continuation \" _\" and no line "
                               "after it";
                return;
            }
            at_ = lineStart_ = next;
        }
    }

    [[nodiscard]] bool IsLastLine() const {
        std::size_t i = at_ + 1;
        while (i < code_.size() && IsBlank(code_[i]))
            ++i;
        return i == code_.size();
    }

    // Whether only a comment follows the ':' at the cursor: Rem after a statement needs one,
    // and the line then still holds a single statement.
    [[nodiscard]] bool CommentFollows() const {
        std::size_t i = at_ + 1;
        while (i < code_.size() && IsBlank(code_[i]))
            ++i;
        if (i < code_.size() && code_[i] == '\'')
            return true;
        return SameWord(code_.substr(i, 3), "Rem") &&
               (i + 3 >= code_.size() || !IsNameChar(code_[i + 3]));
    }

    [[nodiscard]] char Peek(std::size_t ahead) const {
        return at_ + ahead < code_.size() ? code_[at_ + ahead] : '\0';
    }

    CodeToken Make(CodeToken::Kind kind, std::size_t start) {
        CodeToken token;
        token.kind = kind;
        token.source = code_.substr(start, at_ - start);
        return token;
    }

    CodeToken Next() {
        const std::size_t start = at_;
        const char c = code_[at_];
        if (c == '\'' || (c == ':' && CommentFollows()))
            return Comment(start);
        if (c == '"')
            return Literal(start);
        if (IsDigit(c) || (c == '.' && IsDigit(Peek(1))))
            return Decimal(start);
        if (c == '&' && ((Peek(1) == 'H' || Peek(1) == 'h') && HexDigit(Peek(2)) >= 0))
            return Radix(start, 2, 16);
        if (c == '&' && (Peek(1) == 'O' || Peek(1) == 'o') && Peek(2) >= '0' && Peek(2) <= '7')
            return Radix(start, 2, 8);
        if (c == '&' && Peek(1) >= '0' && Peek(1) <= '7')
            return Radix(start, 1, 8);
        if (IsLetter(c)) {
            while (at_ < code_.size() && IsNameChar(code_[at_]))
                ++at_;
            // The type characters a name may carry that are not also operators.
            if (at_ < code_.size() && (code_[at_] == '$' || code_[at_] == '%'))
                ++at_;
            CodeToken name = Make(CodeToken::Kind::Name, start);
            if (name.Is("Rem"))
                return Comment(start);
            return name;
        }
        for (std::string_view pair : {":=", "<>", "<=", ">="}) {
            if (code_.substr(at_, 2) == pair) {
                at_ += 2;
                return Make(CodeToken::Kind::Symbol, start);
            }
        }
        // One character, a whole UTF-8 sequence when it is not ASCII.
        ++at_;
        while (at_ < code_.size() && (static_cast<unsigned char>(code_[at_]) & 0xC0) == 0x80 &&
               static_cast<unsigned char>(c) >= 0x80)
            ++at_;
        return Make(CodeToken::Kind::Symbol, start);
    }

    // A comment runs to the end of its line; one ending in " _" would take the next line with
    // it, which a single statement cannot describe.
    CodeToken Comment(std::size_t start) {
        const std::size_t lineEnd = std::min(code_.find(kLineBreak, at_), code_.size());
        std::size_t last = lineEnd;
        while (last > at_ && IsBlank(code_[last - 1]))
            --last;
        if (last > start + 1 && code_[last - 1] == '_' && IsBlank(code_[last - 2]))
            problem_ = "the comment ends with a line continuation \" _\", which would take the "
                       "next line into the comment";
        at_ = lineEnd;
        return Make(CodeToken::Kind::Comment, start);
    }

    CodeToken Literal(std::size_t start) {
        std::string text;
        for (++at_;; ++at_) {
            if (at_ >= code_.size() || code_.substr(at_, kLineBreak.size()) == kLineBreak) {
                problem_ = "a string literal is not closed on its line: " +
                           std::string(code_.substr(start, std::min<std::size_t>(at_ - start, 40)));
                return Make(CodeToken::Kind::Text, start);
            }
            if (code_[at_] == '"') {
                if (Peek(1) != '"')
                    break;
                ++at_;
            }
            text.push_back(code_[at_]);
        }
        ++at_;
        CodeToken token = Make(CodeToken::Kind::Text, start);
        token.text = std::move(text);
        return token;
    }

    // The type character after a number, if any.
    char Suffix() {
        const char c = Peek(0);
        if (c == '%' || c == '&' || c == '!' || c == '#' || c == '@') {
            ++at_;
            return c;
        }
        return '\0';
    }

    CodeToken Decimal(std::size_t start) {
        constexpr std::int64_t kTooLarge = std::int64_t{1} << 40;
        std::int64_t value = 0;
        bool whole = true;
        while (IsDigit(Peek(0))) {
            value = std::min(value * 10 + (code_[at_] - '0'), kTooLarge);
            ++at_;
        }
        if (Peek(0) == '.') {
            whole = false;
            ++at_;
            while (IsDigit(Peek(0)))
                ++at_;
        }
        if ((Peek(0) == 'E' || Peek(0) == 'e') &&
            (IsDigit(Peek(1)) || ((Peek(1) == '+' || Peek(1) == '-') && IsDigit(Peek(2))))) {
            whole = false;
            at_ += 2;
            while (IsDigit(Peek(0)))
                ++at_;
        }
        const char suffix = Suffix();
        CodeToken token = Make(CodeToken::Kind::Number, start);
        token.value = value;
        if (!whole || (suffix != '\0' && suffix != '%' && suffix != '&'))
            token.type = NumberType::Other;
        else if (value <= INT16_MAX && suffix != '&')
            token.type = NumberType::Integer;
        else if (value <= INT32_MAX && suffix != '%')
            token.type = NumberType::Long;
        else
            token.type = NumberType::Other;
        return token;
    }

    // &H and &O literals: up to four digits' worth of value is an Integer and up to eight a
    // Long, each read as its type's two's complement, as the language does.
    CodeToken Radix(std::size_t start, std::size_t prefix, int base) {
        at_ += prefix;
        std::uint64_t value = 0;
        bool tooLarge = false;
        for (int digit; (digit = HexDigit(Peek(0))) >= 0 && digit < base; ++at_) {
            value = value * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(digit);
            tooLarge = tooLarge || value > UINT32_MAX;
        }
        const char suffix = Suffix();
        CodeToken token = Make(CodeToken::Kind::Number, start);
        if (tooLarge || (suffix != '\0' && suffix != '%' && suffix != '&') ||
            (suffix == '%' && value > UINT16_MAX)) {
            token.type = NumberType::Other;
        } else if (value <= UINT16_MAX && suffix != '&') {
            token.type = NumberType::Integer;
            token.value = static_cast<std::int16_t>(static_cast<std::uint16_t>(value));
        } else {
            token.type = NumberType::Long;
            token.value = static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
        }
        return token;
    }

    std::string_view code_;
    std::size_t at_;
    std::size_t lineStart_;
    std::string problem_;
};

} // namespace

bool SameWord(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

bool CodeToken::Is(std::string_view word) const {
    return (kind == Kind::Name || kind == Kind::Symbol) && SameWord(source, word);
}

LogicalLine ReadLogicalLine(std::string_view code, std::size_t from) {
    return Lexer(code, from).Read();
}

std::string OnOneLine(std::string_view source) {
    std::string out;
    std::size_t lineStart = 0;
    for (std::size_t i = 0; i < source.size();) {
        const std::size_t next = ContinuationEnd(source, i, lineStart);
        if (next != std::string_view::npos) {
            i = lineStart = next;
            if (!out.empty() && out.back() != ' ')
                out.push_back(' ');
            continue;
        }
        const char c = source[i++];
        if (IsBlank(c) || c == '\r' || c == '\n') {
            if (!out.empty() && out.back() != ' ')
                out.push_back(' ');
        } else {
            out.push_back(c);
        }
    }
    while (!out.empty() && out.back() == ' ')
        out.pop_back();
    return out;
}

} // namespace qvn
