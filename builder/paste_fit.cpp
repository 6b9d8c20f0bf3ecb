#include "builder/paste_fit.h"

#include "composition/code_tokens.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <map>

namespace qvn {

namespace {

using Kind = CodeToken::Kind;

bool IsBlank(std::string_view line) {
    return line.find_first_not_of(" \t") == std::string_view::npos;
}

std::string LeadingSpace(std::string_view line) {
    return std::string(line.substr(0, std::min(line.find_first_not_of(" \t"), line.size())));
}

bool Continues(std::string_view line) {
    const std::size_t end = line.find_last_not_of(" \t");
    return end != std::string_view::npos && end >= 1 && line[end] == '_' && line[end - 1] == ' ';
}

// The first line of the logical line that `index` (from 0) belongs to.
std::size_t FirstOfStatement(const std::vector<std::string>& module, std::size_t index) {
    while (index > 0 && Continues(module[index - 1]))
        --index;
    return index;
}

// The statements of the module's lines [first, last) (from 0), each logical line taken
// whole; `firstLine` of each statement is the physical line it starts on.
class StatementReader {
public:
    struct Statement {
        std::size_t firstLine = 0;
        std::vector<CodeToken> tokens;
    };

    StatementReader(const std::vector<std::string>& module, std::size_t first, std::size_t last) {
        for (std::size_t i = first; i < last && i < module.size(); ++i) {
            if (i > first)
                code_ += "\r\n";
            code_ += module[i];
        }
        std::size_t line = first;
        for (std::size_t at = 0; at <= code_.size();) {
            LogicalLine logical = ReadLogicalLine(code_, at);
            if (!logical.problem.empty())
                readable_ = false;
            Statement current{line, {}};
            for (CodeToken& token : logical.tokens) {
                if (token.kind == Kind::End || token.kind == Kind::Comment ||
                    (token.kind == Kind::Symbol && token.source == ":")) {
                    if (!current.tokens.empty())
                        statements_.push_back(std::move(current));
                    current = Statement{line, {}};
                    continue;
                }
                current.tokens.push_back(std::move(token));
            }
            line += static_cast<std::size_t>(
                std::count(code_.begin() + static_cast<std::ptrdiff_t>(at),
                           code_.begin() + static_cast<std::ptrdiff_t>(logical.end), '\n'));
            if (logical.end >= code_.size())
                break;
            at = logical.end + 2;
            ++line;
        }
    }
    StatementReader(const StatementReader&) = delete;
    StatementReader& operator=(const StatementReader&) = delete;

    [[nodiscard]] const std::vector<Statement>& List() const { return statements_; }
    // False when some line could not be read: what it declares is then unknown.
    [[nodiscard]] bool Readable() const { return readable_; }

private:
    std::string code_;
    std::vector<Statement> statements_;
    bool readable_ = true;
};

using Tokens = std::vector<CodeToken>;

bool IsWord(const Tokens& tokens, std::size_t i, std::string_view word) {
    return i < tokens.size() && tokens[i].kind == Kind::Name && tokens[i].Is(word);
}

// A name as declared, without the type character it may carry.
std::string_view BareName(const CodeToken& token) {
    std::string_view name = token.source;
    if (!name.empty() && (name.back() == '$' || name.back() == '%'))
        name.remove_suffix(1);
    return name;
}

bool NameAt(const Tokens& tokens, std::size_t i, std::string_view name) {
    return i < tokens.size() && tokens[i].kind == Kind::Name && SameWord(BareName(tokens[i]), name);
}

// A comma list of declared names from `i`, as Dim, Const and parameter lists write them:
// each item may start with modifiers and ends at the next comma outside parentheses.
bool ListDeclares(const Tokens& tokens, std::size_t i, std::string_view name,
                  std::size_t end = std::string_view::npos) {
    end = std::min(end, tokens.size());
    static constexpr std::array<std::string_view, 7> kModifiers = {
        "WithEvents", "Preserve", "Optional", "ByVal", "ByRef", "ParamArray", "Shared"};
    while (i < end) {
        while (i < end && std::any_of(kModifiers.begin(), kModifiers.end(),
                                      [&](std::string_view m) { return IsWord(tokens, i, m); }))
            ++i;
        if (NameAt(tokens, i, name))
            return true;
        int depth = 0;
        for (; i < end; ++i) {
            const std::string_view s = tokens[i].source;
            if (tokens[i].kind != Kind::Symbol)
                continue;
            if (s == "(")
                ++depth;
            else if (s == ")")
                --depth;
            else if (s == "," && depth == 0)
                break;
        }
        ++i;
    }
    return false;
}

// Public, Private, Friend, Static, Global and Dim before what a statement declares.
std::size_t SkipScope(const Tokens& tokens, bool& isPrivate, bool& scoped) {
    std::size_t i = 0;
    for (;; ++i) {
        if (IsWord(tokens, i, "Private")) {
            isPrivate = true;
        } else if (!IsWord(tokens, i, "Public") && !IsWord(tokens, i, "Global") &&
                   !IsWord(tokens, i, "Friend") && !IsWord(tokens, i, "Static") &&
                   !IsWord(tokens, i, "Dim")) {
            return i;
        }
        scoped = true;
    }
}

// The index of the procedure's name when the statement is a Sub, Function or Property line.
std::size_t ProcedureNameAt(const Tokens& tokens, bool& isPrivate) {
    bool scoped = false;
    std::size_t i = SkipScope(tokens, isPrivate, scoped);
    if (IsWord(tokens, i, "Sub") || IsWord(tokens, i, "Function"))
        return i + 1;
    if (IsWord(tokens, i, "Property") &&
        (IsWord(tokens, i + 1, "Get") || IsWord(tokens, i + 1, "Let") ||
         IsWord(tokens, i + 1, "Set")))
        return i + 2;
    return std::string_view::npos;
}

bool IsProcedureEnd(const Tokens& tokens) {
    return IsWord(tokens, 0, "End") && (IsWord(tokens, 1, "Sub") || IsWord(tokens, 1, "Function") ||
                                        IsWord(tokens, 1, "Property"));
}

// What a procedure header declares: its own name and its parameters.
bool HeaderDeclares(const Tokens& tokens, std::size_t nameAt, std::string_view name) {
    if (NameAt(tokens, nameAt, name))
        return true;
    std::size_t open = nameAt + 1;
    if (open >= tokens.size() || tokens[open].source != "(")
        return false;
    int depth = 0;
    std::size_t close = open;
    for (; close < tokens.size(); ++close) {
        if (tokens[close].source == "(")
            ++depth;
        else if (tokens[close].source == ")" && --depth == 0)
            break;
    }
    return ListDeclares(tokens, open + 1, name, close);
}

// Names declared at the module's level, outside every procedure; with `publicOnly`, only those
// other modules see.
bool ModuleLevelDeclares(const std::vector<std::string>& module, std::string_view name,
                         bool publicOnly) {
    StatementReader reader(module, 0, module.size());
    if (!reader.Readable())
        return true;
    bool inProcedure = false;
    enum class Block { None, Enum, Type } block = Block::None;
    bool blockPublic = false;
    for (const auto& [line, tokens] : reader.List()) {
        if (inProcedure) {
            inProcedure = !IsProcedureEnd(tokens);
            continue;
        }
        if (block != Block::None) {
            if (IsWord(tokens, 0, "End")) {
                block = Block::None;
            } else if (block == Block::Enum && blockPublic && NameAt(tokens, 0, name)) {
                return true;
            }
            continue;
        }
        bool isPrivate = false;
        bool scoped = false;
        std::size_t procedureName = ProcedureNameAt(tokens, isPrivate);
        if (procedureName != std::string_view::npos) {
            inProcedure = true;
            if ((!publicOnly || !isPrivate) && NameAt(tokens, procedureName, name))
                return true;
            continue;
        }
        isPrivate = false;
        std::size_t i = SkipScope(tokens, isPrivate, scoped);
        // Dim and Static at module level are private to it; only Public and Global reach
        // other modules.
        const bool visible =
            !publicOnly || IsWord(tokens, 0, "Public") || IsWord(tokens, 0, "Global");
        if (IsWord(tokens, i, "Enum") || IsWord(tokens, i, "Type")) {
            block = IsWord(tokens, i, "Enum") ? Block::Enum : Block::Type;
            blockPublic = !publicOnly || !isPrivate;
            if (blockPublic && NameAt(tokens, i + 1, name))
                return true;
        } else if (IsWord(tokens, i, "Declare")) {
            // A declared procedure without a scope word is public.
            if ((!publicOnly || !isPrivate) && NameAt(tokens, i + 2, name))
                return true;
        } else if (IsWord(tokens, i, "Const")) {
            if (visible && ListDeclares(tokens, i + 1, name))
                return true;
        } else if (scoped && visible && ListDeclares(tokens, i, name)) {
            return true;
        }
    }
    return false;
}

bool EndsBlock(const Tokens& tokens) {
    if (IsWord(tokens, 0, "End"))
        return tokens.size() > 1 && tokens[1].kind == Kind::Name;
    for (std::string_view word : {"Else", "ElseIf", "Case", "Next", "Loop", "Wend"})
        if (IsWord(tokens, 0, word))
            return true;
    return false;
}

bool OpensBlock(const Tokens& tokens) {
    bool isPrivate = false;
    if (ProcedureNameAt(tokens, isPrivate) != std::string_view::npos)
        return true;
    if (IsWord(tokens, 0, "If") || IsWord(tokens, 0, "ElseIf"))
        return IsWord(tokens, tokens.size() - 1, "Then");
    for (std::string_view word : {"Else", "For", "Do", "While", "With", "Case"})
        if (IsWord(tokens, 0, word))
            return true;
    return IsWord(tokens, 0, "Select") && IsWord(tokens, 1, "Case");
}

// The tokens of the statement that starts the module's line `index` (from 0): the first
// statement of its logical line.
template <class Test>
bool FirstStatementIs(const std::vector<std::string>& module, std::size_t index, Test test) {
    std::size_t last = index + 1;
    while (last < module.size() && Continues(module[last - 1]))
        ++last;
    StatementReader reader(module, index, last);
    return !reader.List().empty() && test(reader.List().front().tokens);
}

} // namespace

std::vector<std::string> SplitCrLf(const std::string& text) {
    std::vector<std::string> lines;
    for (std::size_t start = 0;;) {
        const std::size_t end = text.find("\r\n", start);
        lines.push_back(text.substr(start, end - start));
        if (end == std::string::npos) {
            return lines;
        }
        start = end + 2;
    }
}

std::string IndentStep(const std::vector<std::string>& module) {
    std::map<std::string, int> counts;
    std::string best;
    int bestCount = 0;
    const std::string* previous = nullptr;
    for (std::size_t i = 0; i < module.size(); ++i) {
        if (IsBlank(module[i]) || (i > 0 && Continues(module[i - 1])))
            continue;
        const std::string indent = LeadingSpace(module[i]);
        if (previous != nullptr) {
            const std::string before = LeadingSpace(*previous);
            if (indent.size() > before.size() && indent.starts_with(before)) {
                const std::string step = indent.substr(before.size());
                const int count = ++counts[step];
                if (count > bestCount) {
                    best = step;
                    bestCount = count;
                }
            }
        }
        previous = &module[i];
    }
    return bestCount > 0 ? best : std::string(4, ' ');
}

std::string PasteIndent(const std::vector<std::string>& module, long line) {
    const auto at = static_cast<std::size_t>(std::max(line, 1L) - 1);
    if (at < module.size() && !IsBlank(module[at])) {
        const std::string indent = LeadingSpace(module[at]);
        return FirstStatementIs(module, at, EndsBlock) ? indent + IndentStep(module) : indent;
    }
    std::size_t above = std::min(at, module.size());
    while (above > 0 && IsBlank(module[above - 1]))
        --above;
    if (above == 0)
        return {};
    const std::size_t first = FirstOfStatement(module, above - 1);
    const std::string indent = LeadingSpace(module[first]);
    return FirstStatementIs(module, first, OpensBlock) ? indent + IndentStep(module) : indent;
}

std::string IndentCode(std::string_view code, const std::string& indent,
                       std::string_view declaration) {
    std::string out;
    out.reserve(code.size() + declaration.size() + 2 + 8 * indent.size());
    if (!declaration.empty()) {
        out.append(indent).append(declaration).append("\r\n");
    }
    for (std::size_t start = 0;;) {
        const std::size_t end = std::min(code.find("\r\n", start), code.size());
        if (end > start)
            out.append(indent);
        out.append(code.substr(start, end - start));
        if (end == code.size())
            return out;
        out.append("\r\n");
        start = end + 2;
    }
}

bool HasOptionExplicit(const std::vector<std::string>& module, long declarationLines) {
    StatementReader reader(module, 0, static_cast<std::size_t>(std::max(declarationLines, 0L)));
    return std::any_of(reader.List().begin(), reader.List().end(), [](const auto& statement) {
        return IsWord(statement.tokens, 0, "Option") && IsWord(statement.tokens, 1, "Explicit") &&
               statement.tokens.size() == 2;
    });
}

bool IsPlainName(std::string_view name) {
    static constexpr std::array<std::string_view, 58> kReserved = {
        "And",   "As",       "Boolean",  "ByRef",   "Byte",   "ByVal",   "Call",   "Case",
        "Const", "Currency", "Date",     "Declare", "Dim",    "Do",      "Double", "Each",
        "Else",  "ElseIf",   "Empty",    "End",     "Enum",   "Eqv",     "Event",  "Exit",
        "False", "For",      "Function", "Get",     "Global", "GoSub",   "GoTo",   "If",
        "Imp",   "In",       "Integer",  "Is",      "Let",    "Like",    "Long",   "Loop",
        "Me",    "Mod",      "New",      "Next",    "Not",    "Nothing", "Null",   "On",
        "Or",    "Private",  "Public",   "ReDim",   "Select", "Set",     "Static", "Sub",
        "Then",  "Xor"};
    if (name.empty() || name.size() > 255)
        return false;
    auto letter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); };
    if (!letter(name.front()))
        return false;
    if (!std::all_of(name.begin(), name.end(),
                     [&](char c) { return letter(c) || (c >= '0' && c <= '9') || c == '_'; }))
        return false;
    return std::none_of(kReserved.begin(), kReserved.end(),
                        [&](std::string_view word) { return SameWord(word, name); });
}

long ProcedureEndLine(const std::vector<std::string>& module, long bodyLine) {
    if (bodyLine < 1)
        return 0;
    StatementReader reader(module, static_cast<std::size_t>(bodyLine - 1), module.size());
    for (const auto& statement : reader.List())
        if (IsProcedureEnd(statement.tokens))
            return static_cast<long>(statement.firstLine) + 1;
    return 0;
}

bool ProcedureDeclares(const std::vector<std::string>& module, long bodyLine, long endLine,
                       std::string_view name) {
    StatementReader reader(module, static_cast<std::size_t>(std::max(bodyLine - 1, 0L)),
                           static_cast<std::size_t>(std::max(endLine, 0L)));
    if (!reader.Readable())
        return true;
    bool header = true;
    for (const auto& statement : reader.List()) {
        const Tokens& tokens = statement.tokens;
        if (header) {
            header = false;
            bool isPrivate = false;
            const std::size_t nameAt = ProcedureNameAt(tokens, isPrivate);
            if (nameAt != std::string_view::npos && HeaderDeclares(tokens, nameAt, name))
                return true;
            continue;
        }
        if (IsWord(tokens, 0, "Dim") || IsWord(tokens, 0, "Static") || IsWord(tokens, 0, "ReDim") ||
            IsWord(tokens, 0, "Const")) {
            if (ListDeclares(tokens, 1, name))
                return true;
        }
    }
    return false;
}

bool ModuleDeclares(const std::vector<std::string>& module, std::string_view name) {
    return ModuleLevelDeclares(module, name, false);
}

bool ProjectDeclares(const std::vector<std::string>& otherModule, std::string_view name) {
    return ModuleLevelDeclares(otherModule, name, true);
}

} // namespace qvn
