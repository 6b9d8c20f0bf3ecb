#include "composition/msgbox_edit.h"

#include "composition/code_tokens.h"
#include "composition/statement_lines.h"

#include <algorithm>

namespace qvn {

namespace {

constexpr std::string_view kCrLf = "\r\n";

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// Whether a physical line goes on in the next one: it ends with a blank and "_".
bool Continues(std::string_view line) {
    std::size_t end = line.size();
    while (end > 0 && IsBlank(line[end - 1])) {
        --end;
    }
    return end >= 1 && line[end - 1] == '_' && (end == 1 || IsBlank(line[end - 2]));
}

std::size_t OffsetOf(std::string_view text, const CodeToken& token) {
    return static_cast<std::size_t>(token.source.data() - text.data());
}

// The result a name stands for (an index into kButtonResults), or -1.
int ResultNamed(const CodeToken& token) {
    if (token.kind != CodeToken::Kind::Name || token.source.size() < 3 ||
        !SameWord(token.source.substr(0, 2), "vb")) {
        return -1;
    }
    for (std::size_t i = 0; i < kButtonResults.size(); ++i) {
        if (SameWord(token.source.substr(2), kButtonResults[i].label)) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

// The tokens of the one MsgBox call in a logical line: the name and the last token of its
// arguments.
struct CallTokens {
    std::size_t name = 0;
    std::size_t last = 0;
};

// Finds the call, or says why there is none to edit.
std::variant<CallTokens, ReadRefusal> FindCall(const std::vector<CodeToken>& tokens) {
    std::vector<std::size_t> calls;
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        if (tokens[i].kind == CodeToken::Kind::Name && tokens[i].Is("MsgBox")) {
            calls.push_back(i);
        }
    }
    if (calls.empty()) {
        return ReadRefusal{std::string(kNoMessageBoxHere)};
    }
    if (calls.size() > 1) {
        return ReadRefusal{"the line holds more than one MsgBox, and the builder edits one at a "
                           "time"};
    }
    CallTokens call{calls.front(), calls.front()};
    std::size_t i = call.name + 1;
    int depth = 0;
    if (tokens[i].Is("(")) {
        // The arguments in parentheses: up to the one that closes them.
        for (; tokens[i].kind != CodeToken::Kind::End; ++i) {
            if (tokens[i].kind == CodeToken::Kind::Symbol && tokens[i].Is("(")) {
                ++depth;
            } else if (tokens[i].kind == CodeToken::Kind::Symbol && tokens[i].Is(")") &&
                       --depth == 0) {
                call.last = i;
                return call;
            }
        }
        return ReadRefusal{"the parentheses after MsgBox are not closed"};
    }
    // A statement without parentheses: up to the end of the statement.
    for (; tokens[i].kind != CodeToken::Kind::End && tokens[i].kind != CodeToken::Kind::Comment;
         ++i) {
        if (tokens[i].kind == CodeToken::Kind::Symbol && tokens[i].Is("(")) {
            ++depth;
        } else if (tokens[i].kind == CodeToken::Kind::Symbol && tokens[i].Is(")")) {
            --depth;
        } else if (depth == 0 && (tokens[i].Is(":") || tokens[i].Is("Else"))) {
            break;
        }
        call.last = i;
    }
    return call;
}

// Whether the token at `i` begins a statement: the line's start, after a line number or a
// label's ':', after another statement's ':', or after an If's Then or Else.
bool StartsStatement(const std::vector<CodeToken>& tokens, std::size_t i) {
    if (i == 0) {
        return true;
    }
    const CodeToken& before = tokens[i - 1];
    return (i == 1 && before.kind == CodeToken::Kind::Number) ||
           (before.kind == CodeToken::Kind::Symbol && before.Is(":")) || before.Is("Then") ||
           before.Is("Else");
}

// The results the Case lines test of the Select Case that follows `after` (a 0-based line
// index) and tests `variable`; nothing when no such block follows.
std::vector<int> CasesTestingVariable(const std::vector<std::string>& lines, std::size_t after,
                                      std::string_view variable, bool& dependent) {
    dependent = false;
    std::vector<int> results;
    std::size_t i = after;
    // Blank lines and comment lines may stand between.
    for (; i < lines.size(); ++i) {
        const LogicalLine line = ReadLogicalLine(lines[i], 0);
        if (line.tokens.front().kind != CodeToken::Kind::End &&
            line.tokens.front().kind != CodeToken::Kind::Comment) {
            break;
        }
    }
    if (i >= lines.size()) {
        return results;
    }
    const LogicalLine select = ReadLogicalLine(lines[i], 0);
    const auto& t = select.tokens;
    if (t.size() < 4 || !t[0].Is("Select") || !t[1].Is("Case") ||
        !SameWord(t[2].source, variable) ||
        (t[3].kind != CodeToken::Kind::End && t[3].kind != CodeToken::Kind::Comment)) {
        return results;
    }
    dependent = true;
    int depth = 1;
    for (++i; i < lines.size() && depth > 0; ++i) {
        const LogicalLine line = ReadLogicalLine(lines[i], 0);
        const auto& tokens = line.tokens;
        if (tokens.size() >= 2 && tokens[0].Is("Select") && tokens[1].Is("Case")) {
            ++depth;
        } else if (tokens.size() >= 2 && tokens[0].Is("End") && tokens[1].Is("Select")) {
            --depth;
        } else if (depth == 1 && tokens[0].Is("Case")) {
            for (const CodeToken& token : tokens) {
                if (int result = ResultNamed(token); result >= 0) {
                    results.push_back(result);
                }
            }
        }
    }
    return results;
}

// Where the first logical line of `code` ends: before the line break of its last physical
// line, or at the end.
std::size_t FirstStatementEnd(std::string_view code) {
    std::size_t start = 0;
    for (;;) {
        const std::size_t breakAt = code.find(kCrLf, start);
        if (breakAt == std::string_view::npos) {
            return code.size();
        }
        if (!Continues(code.substr(start, breakAt - start))) {
            return breakAt;
        }
        start = breakAt + kCrLf.size();
    }
}

std::string ResultName(int result) {
    return "vb" + std::string(kButtonResults[static_cast<std::size_t>(result)].label);
}

} // namespace

std::variant<MsgBoxSite, ReadRefusal> FindMsgBoxAt(const std::vector<std::string>& lines,
                                                   long caretLine) {
    if (caretLine < 1 || static_cast<std::size_t>(caretLine) > lines.size()) {
        return ReadRefusal{std::string(kNoMessageBoxHere)};
    }
    // The logical statement: the lines the caret's line continues and those that continue it.
    std::size_t first = static_cast<std::size_t>(caretLine) - 1;
    while (first > 0 && Continues(lines[first - 1])) {
        --first;
    }
    std::size_t last = static_cast<std::size_t>(caretLine) - 1;
    while (last + 1 < lines.size() && Continues(lines[last])) {
        ++last;
    }
    MsgBoxSite site;
    site.firstLine = static_cast<long>(first) + 1;
    site.lineCount = static_cast<long>(last - first) + 1;
    for (std::size_t i = first; i <= last; ++i) {
        site.text += lines[i];
        if (i < last) {
            site.text += kCrLf;
        }
    }

    const LogicalLine line = ReadLogicalLine(site.text, 0);
    const auto& t = line.tokens;
    auto found = FindCall(t);
    if (auto* refusal = std::get_if<ReadRefusal>(&found)) {
        // A line the reader cannot take apart holds no call it could edit either.
        if (!line.problem.empty() && refusal->sentence == kNoMessageBoxHere) {
            return ReadRefusal{line.problem};
        }
        return *refusal;
    }
    const CallTokens call = std::get<CallTokens>(found);
    site.callBegin = OffsetOf(site.text, t[call.name]);
    site.callEnd = OffsetOf(site.text, t[call.last]) + t[call.last].source.size();

    const bool assignment = call.name == 2 && t[0].kind == CodeToken::Kind::Name && t[1].Is("=");
    const bool condition = call.name == 1 && t[0].Is("If");
    const bool ownStatement =
        StartsStatement(t, call.name) ||
        (call.name >= 1 && t[call.name - 1].Is("Call") && StartsStatement(t, call.name - 1));

    auto whole = ReadMsgBoxCode(site.text);
    if (auto* settings = std::get_if<MsgBoxSettings>(&whole)) {
        bool dependent = false;
        std::vector<int> cases;
        if (assignment) {
            cases = CasesTestingVariable(lines, last + 1, t[0].source, dependent);
        }
        if ((call.name == 0 || (call.name == 1 && t[0].Is("Call")) || assignment) && !dependent) {
            site.kind = MsgBoxSite::Kind::Statement;
            const auto indentEnd = site.text.find_first_not_of(" \t");
            site.indent = site.text.substr(0, std::min(indentEnd, site.text.size()));
            const CodeToken& tail = t[t.size() - 2];
            if (tail.kind == CodeToken::Kind::Comment) {
                const CodeToken& before = t[t.size() - 3];
                site.comment = site.text.substr(OffsetOf(site.text, before) + before.source.size());
            }
            site.settings = std::move(*settings);
            return site;
        }
        site.kind = MsgBoxSite::Kind::Call;
        site.keptResults = std::move(cases);
        site.settings = std::move(*settings);
    } else if (!assignment && !condition && !ownStatement) {
        // Inside a larger expression: the reader's sentence says so.
        return std::get<ReadRefusal>(whole);
    } else {
        site.kind = MsgBoxSite::Kind::Call;
        auto alone = ReadMsgBoxCode(
            std::string_view(site.text).substr(site.callBegin, site.callEnd - site.callBegin));
        if (auto* refusal = std::get_if<ReadRefusal>(&alone)) {
            return *refusal;
        }
        site.settings = std::move(std::get<MsgBoxSettings>(alone));
        if (assignment) {
            bool dependent = false;
            site.keptResults = CasesTestingVariable(lines, last + 1, t[0].source, dependent);
        }
    }
    // The shape the context is, with what it keeps.
    if (condition) {
        site.settings.intCodeOption = kCodeIfThenElse;
        for (std::size_t i = call.last + 1; t[i].kind != CodeToken::Kind::End && !t[i].Is("Then");
             ++i) {
            if (int result = ResultNamed(t[i]); result >= 0) {
                site.keptResults.push_back(result);
            }
        }
    } else if (assignment) {
        site.settings.intCodeOption = kCodeVariableReturn;
        site.settings.txtVarName = std::string(t[0].source);
    } else {
        site.settings.intCodeOption = kCodeStandard;
    }
    return site;
}

std::variant<MsgBoxRewrite, ReadRefusal> RewriteMsgBox(const MsgBoxSite& site,
                                                       const MsgBoxSettings& composed) {
    const auto& labels = kButtonSets[static_cast<std::size_t>(composed.intButtonSet)].labels;
    for (int result : site.keptResults) {
        const auto label = kButtonResults[static_cast<std::size_t>(result)].label;
        if (std::find(labels.begin(), labels.end(), label) == labels.end()) {
            return ReadRefusal{"the code around the message box tests " + ResultName(result) +
                               ", but the new box has no " + std::string(label) + " button"};
        }
    }
    const std::string& code = composed.strMsgBoxCode;
    MsgBoxRewrite rewrite;
    if (site.kind == MsgBoxSite::Kind::Statement) {
        std::string withComment = code;
        withComment.insert(FirstStatementEnd(code), site.comment);
        std::size_t start = 0;
        for (;;) {
            const std::size_t breakAt = withComment.find(kCrLf, start);
            rewrite.text += site.indent;
            if (breakAt == std::string::npos) {
                rewrite.text.append(withComment, start);
                break;
            }
            rewrite.text.append(withComment, start, breakAt + kCrLf.size() - start);
            start = breakAt + kCrLf.size();
        }
        return rewrite;
    }
    // Only the call: the composed code's call, spliced in where the old one stood.
    const std::string firstStatement = code.substr(0, FirstStatementEnd(code));
    const LogicalLine line = ReadLogicalLine(firstStatement, 0);
    auto found = FindCall(line.tokens);
    if (auto* refusal = std::get_if<ReadRefusal>(&found)) {
        return *refusal;
    }
    const CallTokens call = std::get<CallTokens>(found);
    const std::size_t begin = OffsetOf(firstStatement, line.tokens[call.name]);
    const std::size_t end =
        OffsetOf(firstStatement, line.tokens[call.last]) + line.tokens[call.last].source.size();
    rewrite.text = site.text.substr(0, site.callBegin);
    rewrite.callBegin = rewrite.text.size();
    rewrite.text.append(firstStatement, begin, end - begin);
    rewrite.callEnd = rewrite.text.size();
    rewrite.text.append(site.text, site.callEnd);
    std::size_t start = 0;
    while (start <= rewrite.text.size()) {
        const std::size_t breakAt = std::min(rewrite.text.find(kCrLf, start), rewrite.text.size());
        if (breakAt - start > kMaxLineBytes) {
            return ReadRefusal{"with the new message box a line of the statement would be longer "
                               "than the " +
                               std::to_string(kMaxLineBytes) + " bytes a line may hold"};
        }
        start = breakAt + kCrLf.size();
    }
    return rewrite;
}

void ApplyRewrite(MsgBoxSite& site, const MsgBoxRewrite& rewrite) {
    site.text = rewrite.text;
    site.callBegin = rewrite.callBegin;
    site.callEnd = rewrite.callEnd;
    site.lineCount = 1;
    for (std::size_t at = site.text.find(kCrLf); at != std::string::npos;
         at = site.text.find(kCrLf, at + kCrLf.size())) {
        ++site.lineCount;
    }
}

} // namespace qvn
