#include "composition/msgbox_reader.h"

#include "composition/code_tokens.h"
#include "composition/option_tables.h"
#include "composition/utf8.h"

#include <array>
#include <optional>

namespace qvn {
namespace {

using Kind = CodeToken::Kind;

constexpr std::string_view kMsgBox = "MsgBox";
constexpr std::size_t kNoToken = static_cast<std::size_t>(-1);

// The arguments of MsgBox in their positions, with the names the language gives them.
enum Argument : std::size_t { kPrompt, kButtons, kTitle, kHelpFile, kContext, kArgumentCount };
constexpr std::array<std::string_view, kArgumentCount> kArgumentNames{"Prompt", "Buttons", "Title",
                                                                      "HelpFile", "Context"};
// How a refusal names each argument.
constexpr std::array<std::string_view, kArgumentCount> kArgumentPieces{
    "the prompt", "the buttons", "the title", "the help file", "the help context"};

// The character codes Chr may take: the ones the composer's texts hold that a literal cannot.
constexpr std::array<int, 4> kChrCodes{9, 10, 13, 34};

// The bit ranges of the buttons value: button set, icon, default button; the flags above.
constexpr std::int64_t kSetBits = 0xF;
constexpr std::int64_t kIconBits = 0xF0;
constexpr std::int64_t kDefaultBits = 0xF00;

// The name the flag is often mistaken for; in code it is an undeclared variable.
constexpr std::string_view kNotAConstant = "vbMsgBoxSystemModal";

struct Refused {
    std::string sentence;
};

// A whole number with the type the language gives it.
struct Whole {
    std::int64_t value = 0;
    NumberType type = NumberType::Integer;
};

bool Fits(std::int64_t value, NumberType type) {
    return type == NumberType::Integer ? value >= INT16_MIN && value <= INT16_MAX
                                       : value >= INT32_MIN && value <= INT32_MAX;
}

NumberType Wider(NumberType a, NumberType b) {
    return a == NumberType::Long || b == NumberType::Long ? NumberType::Long : NumberType::Integer;
}

// The index of the option of `table` whose value is `value`, or -1.
template <class Table> std::int16_t IndexOfValue(const Table& table, std::int64_t value) {
    for (std::size_t i = 0; i < table.size(); ++i)
        if (table[i].value == value)
            return static_cast<std::int16_t>(i);
    return -1;
}

class StatementReader {
public:
    explicit StatementReader(const std::vector<CodeToken>& tokens) : t_(tokens) {}

    // Reads the statement into `s`; throws Refused.
    void Read(MsgBoxSettings& s) {
        CheckWholeLine();
        std::size_t last = t_.size() - 1;
        if (last > 0 && t_[last - 1].kind == Kind::Comment)
            --last;
        // `last` is the first token after the statement: its comment or the end.
        if (t_[0].Is(kMsgBox)) {
            s.intCodeOption = kCodeStandard;
            const std::size_t close = t_[1].Is("(") ? Matching(1) : kNoToken;
            if (close + 1 == last)
                Arguments(2, close, s);
            else
                Arguments(1, last, s);
        } else if (t_[0].Is("Call") && t_[1].Is(kMsgBox) && t_[2].Is("(") &&
                   Matching(2) + 1 == last) {
            s.intCodeOption = kCodeStandard;
            Arguments(3, last - 1, s);
        } else if (t_[0].kind == Kind::Name && t_[1].Is("=") && t_[2].Is(kMsgBox) &&
                   t_[3].Is("(") && Matching(3) + 1 == last) {
            s.intCodeOption = kCodeVariableReturn;
            s.txtVarName = std::string(t_[0].source);
            Arguments(4, last - 1, s);
        } else if (t_[0].Is("If") && t_[1].Is(kMsgBox) && t_[2].Is("(") &&
                   Matching(2) != kNoToken && Matching(2) + 4 == last &&
                   (t_[Matching(2) + 1].Is("=") || t_[Matching(2) + 1].Is("<>")) &&
                   t_[last - 1].Is("Then")) {
            const std::size_t close = Matching(2);
            Arguments(3, close, s);
            IfTest(t_[close + 1].Is("<>"), t_[close + 2], s);
        } else {
            throw Refused{"the MsgBox call is part of a larger statement or expression, which the "
                          "builder cannot hold: " +
                          Excerpt(0, last)};
        }
    }

private:
    [[nodiscard]] bool Ends(std::size_t i) const {
        return i < t_.size() && (t_[i].kind == Kind::End || t_[i].kind == Kind::Comment);
    }

    // The refusals that concern the whole line, before its form is looked at.
    void CheckWholeLine() const {
        std::size_t calls = 0;
        for (const CodeToken& token : t_)
            calls += token.Is(kMsgBox) ? 1 : 0;
        if (calls == 0)
            throw Refused{"the code holds no MsgBox call"};
        if (calls > 1)
            throw Refused{"the line holds more than one MsgBox call"};
        if (t_[0].Is("If")) {
            for (std::size_t i = 1; i + 1 < t_.size(); ++i)
                if (t_[i].Is("Then") && !Ends(i + 1))
                    throw Refused{"a one-line If ... Then statement cannot be held by the "
                                  "builder, which writes the If as a block"};
        }
        for (const CodeToken& token : t_)
            if (token.Is(":"))
                throw Refused{"the line holds several statements separated by \":\", which the "
                              "builder cannot hold"};
    }

    // The closing parenthesis that matches the opening one at `open`, or kNoToken.
    [[nodiscard]] std::size_t Matching(std::size_t open) const {
        int depth = 0;
        for (std::size_t i = open; i < t_.size(); ++i) {
            if (t_[i].Is("("))
                ++depth;
            else if (t_[i].Is(")") && --depth == 0)
                return i;
        }
        return kNoToken;
    }

    // The code of tokens [from, to) on one line, as a refusal quotes it.
    [[nodiscard]] std::string Excerpt(std::size_t from, std::size_t to) const {
        if (from >= to)
            return {};
        const char* begin = t_[from].source.data();
        const char* end = t_[to - 1].source.data() + t_[to - 1].source.size();
        return OnOneLine(std::string_view(begin, static_cast<std::size_t>(end - begin)));
    }

    // The operand that starts at `from`: a name with its members and its parenthesised
    // arguments, or the one token. Ends at `to` at the latest.
    [[nodiscard]] std::size_t OperandEnd(std::size_t from, std::size_t to) const {
        std::size_t i = from + 1;
        if (t_[from].kind != Kind::Name)
            return i;
        while (i < to) {
            if ((t_[i].Is(".") || t_[i].Is("!")) && i + 1 < to && t_[i + 1].kind == Kind::Name) {
                i += 2;
            } else if (t_[i].Is("(") && Matching(i) != kNoToken && Matching(i) < to) {
                i = Matching(i) + 1;
            } else {
                break;
            }
        }
        return i;
    }

    // Splits the argument list [from, to) at its commas and reads each argument.
    void Arguments(std::size_t from, std::size_t to, MsgBoxSettings& s) {
        std::array<std::pair<std::size_t, std::size_t>, kArgumentCount> given;
        given.fill({kNoToken, kNoToken});
        std::size_t position = 0;
        bool named = false;
        std::size_t start = from;
        int depth = 0;
        for (std::size_t i = from; i <= to; ++i) {
            if (i < to && t_[i].Is("("))
                ++depth;
            else if (i < to && t_[i].Is(")"))
                --depth;
            if (i < to && (depth > 0 || !t_[i].Is(",")))
                continue;
            if (depth < 0)
                throw Refused{"the parentheses of the MsgBox call do not match"};
            std::size_t slot = position;
            std::size_t valueStart = start;
            if (start + 1 < i && t_[start].kind == Kind::Name && t_[start + 1].Is(":=")) {
                slot = kArgumentCount;
                for (std::size_t a = 0; a < kArgumentCount; ++a)
                    if (t_[start].Is(kArgumentNames[a]))
                        slot = a;
                if (slot == kArgumentCount)
                    throw Refused{"MsgBox has no argument named " + std::string(t_[start].source)};
                if (given[slot].first != kNoToken)
                    throw Refused{"the argument " + std::string(kArgumentNames[slot]) +
                                  " is given twice"};
                named = true;
                valueStart = start + 2;
                if (valueStart == i)
                    throw Refused{"the argument " + std::string(kArgumentNames[slot]) +
                                  " has no value"};
            } else if (named) {
                throw Refused{"an argument without a name follows a named one, which the "
                              "language does not allow"};
            } else if (position >= kArgumentCount) {
                throw Refused{"the MsgBox call has more than five arguments"};
            } else if (start == i && i == to && position > 0) {
                throw Refused{"the argument list of the MsgBox call ends with a comma"};
            }
            if (valueStart < i)
                given[slot] = {valueStart, i};
            ++position;
            start = i + 1;
        }
        if (depth != 0)
            throw Refused{"the parentheses of the MsgBox call do not match"};
        if (given[kPrompt].first == kNoToken)
            throw Refused{"the MsgBox call has no prompt"};

        s.txtPrompt = Text(given[kPrompt], kPrompt);
        if (given[kTitle].first != kNoToken) {
            s.strTitle = Text(given[kTitle], kTitle);
            if (s.strTitle.empty())
                throw Refused{"the title is the empty text \"\", which the builder cannot hold "
                              "(it leaves the title out, and the box shows the program's name)"};
        }
        Buttons(given[kButtons], s);
        Help(given[kHelpFile], given[kContext], s);
    }

    // A string expression: literals, the named text constants and Chr of the codes above,
    // joined by & or +, in parentheses or not.
    std::string Text(std::pair<std::size_t, std::size_t> range, Argument argument) {
        std::string text;
        std::size_t at = range.first;
        TextSum(at, range.second, argument, text);
        if (at != range.second)
            Unreadable(at, range.second, argument);
        return text;
    }

    [[noreturn]] void Unreadable(std::size_t at, std::size_t to, Argument argument) const {
        const std::string piece(kArgumentPieces[argument]);
        // "the buttons" is plural.
        const std::string uses = argument == kButtons ? " use " : " uses ";
        if (at >= to)
            throw Refused{piece + (argument == kButtons ? " end" : " ends") +
                          " where a value should follow"};
        const std::size_t end = OperandEnd(at, to);
        if (t_[at].Is(kNotAConstant))
            throw Refused{piece + uses + std::string(kNotAConstant) +
                          ", which is not a constant of the language (the system-modal flag is " +
                          std::string(kFlags[static_cast<std::size_t>(Flag::SysModal)].constant) +
                          ")"};
        throw Refused{piece + uses + Excerpt(at, end) + ", which is not " +
                      (argument == kButtons ? "a buttons value" : "text") +
                      " the builder can hold"};
    }

    void TextSum(std::size_t& at, std::size_t to, Argument argument, std::string& text) {
        TextTerm(at, to, argument, text);
        while (at < to && (t_[at].Is("&") || t_[at].Is("+"))) {
            ++at;
            TextTerm(at, to, argument, text);
        }
    }

    void TextTerm(std::size_t& at, std::size_t to, Argument argument, std::string& text) {
        if (at >= to)
            Unreadable(at, to, argument);
        const CodeToken& token = t_[at];
        if (token.kind == Kind::Text) {
            text += token.text;
            ++at;
            return;
        }
        if (token.Is("(")) {
            const std::size_t close = Matching(at);
            if (close == kNoToken || close >= to)
                Unreadable(at, to, argument);
            std::size_t inner = at + 1;
            TextSum(inner, close, argument, text);
            if (inner != close)
                Unreadable(inner, close, argument);
            at = close + 1;
            return;
        }
        for (const TextConstant& constant : kTextConstants) {
            if (token.Is(constant.name)) {
                text += constant.text;
                ++at;
                return;
            }
        }
        if ((token.Is("Chr") || token.Is("Chr$")) && at + 3 < to + 1 && t_[at + 1].Is("(") &&
            t_[at + 2].kind == Kind::Number && t_[at + 3].Is(")") &&
            t_[at + 2].type != NumberType::Other) {
            const std::int64_t code = t_[at + 2].value;
            if (code == 0)
                throw Refused{std::string(kArgumentPieces[argument]) + " uses " +
                              Excerpt(at, at + 4) +
                              ", a null character, which ends the text a message box shows"};
            for (int allowed : kChrCodes) {
                if (code == allowed) {
                    text.push_back(static_cast<char>(code));
                    at += 4;
                    return;
                }
            }
        }
        Unreadable(at, to, argument);
    }

    // The buttons: constants and whole numbers joined by + and Or, decoded by their value.
    void Buttons(std::pair<std::size_t, std::size_t> range, MsgBoxSettings& s) {
        std::int64_t value = 0;
        bool numbersOnly = true;
        if (range.first != kNoToken) {
            std::size_t at = range.first;
            value = ButtonsOr(at, range.second, numbersOnly).value;
            if (at != range.second)
                Unreadable(at, range.second, kButtons);
        }
        const std::int16_t set = IndexOfValue(kButtonSets, value & kSetBits);
        const std::int16_t icon = IndexOfValue(kIcons, value & kIconBits);
        const std::int16_t defaultButton = IndexOfValue(kDefaultButtons, value & kDefaultBits);
        std::int64_t rest = value & ~(kSetBits | kIconBits | kDefaultBits);
        std::array<int, kFlags.size()> flags{};
        for (std::size_t f = 0; f < kFlags.size(); ++f) {
            if ((rest & kFlags[f].value) != 0) {
                flags[f] = 1;
                rest &= ~static_cast<std::int64_t>(kFlags[f].value);
            }
        }
        const std::int64_t stray = value < 0           ? value
                                   : set < 0           ? value & kSetBits
                                   : icon < 0          ? value & kIconBits
                                   : defaultButton < 0 ? value & kDefaultBits
                                                       : rest;
        if (stray != 0)
            throw Refused{"the buttons have the value " + std::to_string(value) + ", whose part " +
                          std::to_string(stray) + " is none of the builder's choices"};
        s.intButtonSet = set;
        s.intIcon = icon;
        s.intDefButton = defaultButton;
        for (std::size_t f = 0; f < kFlags.size(); ++f) {
            switch (kFlags[f].flag) {
            case Flag::Help:
                s.chkHelp = flags[f];
                break;
            case Flag::SysModal:
                s.chkSysModal = flags[f];
                break;
            case Flag::SetForeground:
                s.chkSetForeground = flags[f];
                break;
            case Flag::RightAlign:
                s.chkRightAlign = flags[f];
                break;
            case Flag::RtlReading:
                s.chkRtlReading = flags[f];
                break;
            }
        }
        s.labels = DefaultButtonLabels(s.intButtonSet, s.chkHelp == 1);
        if (s.labels[static_cast<std::size_t>(s.intDefButton)].empty())
            throw Refused{"the buttons make button " + std::to_string(s.intDefButton + 1) +
                          " the default, which this message box does not have"};
        s.chkOptValOnly = numbersOnly && value > 0 ? 1 : 0;
    }

    Whole ButtonsOr(std::size_t& at, std::size_t to, bool& numbersOnly) {
        Whole left = ButtonsSum(at, to, numbersOnly);
        while (at < to && t_[at].Is("Or")) {
            ++at;
            // Both sides are sign-extended already, as the language widens an Integer.
            const Whole right = ButtonsSum(at, to, numbersOnly);
            left = {left.value | right.value, Wider(left.type, right.type)};
        }
        return left;
    }

    Whole ButtonsSum(std::size_t& at, std::size_t to, bool& numbersOnly) {
        const std::size_t start = at;
        Whole sum = ButtonsTerm(at, to, numbersOnly);
        while (at < to && t_[at].Is("+")) {
            ++at;
            const Whole term = ButtonsTerm(at, to, numbersOnly);
            sum = {sum.value + term.value, Wider(sum.type, term.type)};
            if (!Fits(sum.value, sum.type))
                throw Refused{"the buttons sum " + Excerpt(start, at) +
                              " overflows its type, which fails when the program runs"};
        }
        return sum;
    }

    Whole ButtonsTerm(std::size_t& at, std::size_t to, bool& numbersOnly) {
        if (at >= to)
            Unreadable(at, to, kButtons);
        const CodeToken& token = t_[at];
        if (token.kind == Kind::Number && token.type != NumberType::Other) {
            ++at;
            return {token.value, token.type};
        }
        if (token.Is("(")) {
            const std::size_t close = Matching(at);
            if (close == kNoToken || close >= to)
                Unreadable(at, to, kButtons);
            std::size_t inner = at + 1;
            const Whole value = ButtonsOr(inner, close, numbersOnly);
            if (inner != close)
                Unreadable(inner, close, kButtons);
            at = close + 1;
            return value;
        }
        if (const std::optional<std::int32_t> value = ButtonsConstant(token)) {
            numbersOnly = false;
            ++at;
            return {*value, NumberType::Long};
        }
        Unreadable(at, to, kButtons);
    }

    // The value of a constant the buttons may name: the option tables' own, the ones for the
    // choices at index 0, and the results of the buttons, which are numbers like any other.
    static std::optional<std::int32_t> ButtonsConstant(const CodeToken& token) {
        if (token.kind != Kind::Name)
            return std::nullopt;
        for (std::string_view zero : kZeroStyleConstants)
            if (token.Is(zero))
                return 0;
        auto find = [&](const auto& table) -> std::optional<std::int32_t> {
            for (const auto& option : table)
                if (!option.constant.empty() && token.Is(option.constant))
                    return option.value;
            return std::nullopt;
        };
        if (auto value = find(kButtonSets))
            return value;
        if (auto value = find(kIcons))
            return value;
        if (auto value = find(kDefaultButtons))
            return value;
        if (auto value = find(kFlags))
            return value;
        if (const ButtonResult* result = Result(token))
            return result->value;
        return std::nullopt;
    }

    // The button result that `token` names ("vb" and a label), or null.
    static const ButtonResult* Result(const CodeToken& token) {
        constexpr std::string_view kPrefix = "vb";
        if (token.kind != Kind::Name || token.source.size() <= kPrefix.size() ||
            !SameWord(token.source.substr(0, kPrefix.size()), kPrefix))
            return nullptr;
        for (const ButtonResult& result : kButtonResults)
            if (SameWord(token.source.substr(kPrefix.size()), result.label))
                return &result;
        return nullptr;
    }

    void Help(std::pair<std::size_t, std::size_t> file, std::pair<std::size_t, std::size_t> context,
              MsgBoxSettings& s) {
        const bool hasFile = file.first != kNoToken;
        const bool hasContext = context.first != kNoToken;
        if (!hasFile && !hasContext)
            return;
        if (hasFile != hasContext)
            throw Refused{hasFile ? "the help file comes without a help context, which the "
                                    "builder cannot hold"
                                  : "the help context comes without a help file, which the "
                                    "builder cannot hold"};
        s.txtHelpFile = Text(file, kHelpFile);
        if (s.txtHelpFile.empty())
            throw Refused{"the help file is the empty text \"\", which the builder cannot hold"};
        const CodeToken& number = t_[context.first];
        if (context.second != context.first + 1 || number.kind != Kind::Number ||
            number.type == NumberType::Other || number.value < 0)
            throw Refused{"the help context is " + Excerpt(context.first, context.second) +
                          ", which is not a whole number the builder can hold"};
        s.txtHelpContext = std::string(number.source);
        if (s.chkHelp != 1)
            throw Refused{"the help file and context come without the Help button (" +
                          std::string(kFlags[static_cast<std::size_t>(Flag::Help)].constant) +
                          "), which the builder cannot hold"};
    }

    // The If block tests the default button's result, with = or <>. In a box with exactly two
    // results, testing the other one is the opposite test of the default one.
    void IfTest(bool notEqual, const CodeToken& tested, MsgBoxSettings& s) const {
        s.intCodeOption = kCodeIfThenElse;
        const ButtonResult* result = Result(tested);
        if (result == nullptr)
            throw Refused{"the If compares the result with " + std::string(tested.source) +
                          ", which is not the result of a button"};
        const std::string& defaultLabel = s.labels[static_cast<std::size_t>(s.intDefButton)];
        if (SameWord(result->label, defaultLabel)) {
            s.chkNotEqual = notEqual ? 1 : 0;
            return;
        }
        std::size_t results = 0;
        bool other = false;
        for (const std::string& label : s.labels) {
            if (label.empty() || label == kHelpLabel)
                continue;
            ++results;
            other = other || SameWord(result->label, label);
        }
        if (results == 2 && s.chkHelp == 0 && other) {
            s.chkNotEqual = notEqual ? 0 : 1;
            return;
        }
        throw Refused{"the If tests " + std::string(tested.source) +
                      ", which is not the result of the default button (" + defaultLabel + ")"};
    }

    const std::vector<CodeToken>& t_;
};

// CR LF, lone CR and lone LF all end a line; the lexer sees CR LF only. A byte order mark at
// the start goes.
std::string NormalizedCode(std::string_view code) {
    constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
    if (code.starts_with(kByteOrderMark))
        code.remove_prefix(kByteOrderMark.size());
    std::string out;
    out.reserve(code.size() + 16);
    for (std::size_t i = 0; i < code.size(); ++i) {
        const char c = code[i];
        if (c == '\r' || c == '\n') {
            out += "\r\n";
            if (c == '\r' && i + 1 < code.size() && code[i + 1] == '\n')
                ++i;
        } else {
            out.push_back(c);
        }
    }
    return out;
}

std::string_view TrimEnd(std::string_view text) {
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r' ||
                             text.back() == '\n'))
        text.remove_suffix(1);
    return text;
}

std::string_view TrimStart(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t' || text.front() == '\r' ||
                             text.front() == '\n'))
        text.remove_prefix(1);
    return text;
}

} // namespace

std::variant<MsgBoxSettings, ReadRefusal> ReadMsgBoxCode(std::string_view input) {
    if (!IsUtf8(input))
        return ReadRefusal{"the code is not UTF-8 text"};
    const std::string code = NormalizedCode(input);
    const std::string_view all(code);
    const std::size_t start = all.size() - TrimStart(all).size();
    const LogicalLine line = ReadLogicalLine(all, start);
    if (!line.problem.empty())
        return ReadRefusal{line.problem};
    MsgBoxSettings s;
    try {
        StatementReader(line.tokens).Read(s);
    } catch (const Refused& refused) {
        return ReadRefusal{refused.sentence};
    }

    // What follows the statement must be the rest of its generated shape, or nothing.
    const std::string_view rest = TrimEnd(all.substr(line.end));
    if (!rest.empty()) {
        if (s.intCodeOption == kCodeVariableReturn)
            s.chkAddSelect = 1;
        std::string tail;
        s.AppendCodeTail(tail);
        if (rest != TrimEnd(tail)) {
            const std::string_view next = TrimStart(rest);
            return ReadRefusal{"the code goes on after the MsgBox statement with " +
                               std::string(next.substr(0, std::min(next.find('\r'), next.size()))) +
                               ", and the builder holds one statement"};
        }
    }
    return s;
}

} // namespace qvn
