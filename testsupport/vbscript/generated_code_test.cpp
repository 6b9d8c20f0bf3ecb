// Hands the generated code to the VBScript engine Wine ships. Every shape, for every button set
// and the default buttons it offers, with awkward texts, must compile inside a Sub that is
// never called, and every "vb" name the code uses must exist under Option Explicit. Each
// buttons expression must evaluate to the value the generator computed. The cases are drawn
// from the option tables, so a new table row is covered without touching this file.
#include "builder/tests/paste_fit_cases.h"
#include "composition/code_tokens.h"
#include "composition/msgbox_reader.h"
#include "composition/msgbox_settings.h"
#include "composition/option_tables.h"
#include "composition/tests/hand_written_statements.h"
#include "testsupport/vbscript/script_engine.h"

#include <gtest/gtest.h>

#include <array>
#include <cctype>
#include <cstddef>
#include <map>
#include <ostream>
#include <set>
#include <string>
#include <vector>

namespace qvn::test {
namespace {

// Failures are collected and only the first few are printed in full; the count says the rest.
constexpr std::size_t kReportedFailures = 15;

class Failures {
public:
    void Add(std::string message) {
        if (messages_.size() < kReportedFailures)
            messages_.push_back(std::move(message));
        ++count_;
    }
    void Report(std::size_t cases) const {
        for (const auto& message : messages_)
            ADD_FAILURE() << message;
        EXPECT_EQ(count_, 0u) << "of " << cases << " cases";
    }

private:
    std::vector<std::string> messages_;
    std::size_t count_ = 0;
};

// Every test runs in its own single-threaded apartment; the engines are locals of the test
// body, so they are released before the apartment closes.
class ScriptEngineTest : public ::testing::Test {
protected:
    void SetUp() override {
        const HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        ASSERT_TRUE(SUCCEEDED(hr)) << "CoInitializeEx: " << std::hex << hr;
        initialised_ = true;
    }
    void TearDown() override {
        if (initialised_)
            CoUninitialize();
    }

private:
    bool initialised_ = false;
};

// Evaluates expressions under Option Explicit. An expression block of the engine does not
// honour Option Explicit, so the value goes through an assignment in a statement block, where
// an undefined name fails instead of reading as Empty.
class Evaluator {
public:
    Evaluator() : engine_(true) {
        ScriptError error;
        ready_ =
            engine_.Status() == S_OK && engine_.Run(L"Option Explicit\r\nDim qvnValue\r\n", error);
        if (!ready_)
            setupError_ =
                engine_.Status() == S_OK ? Describe(error, L"Dim qvnValue") : engine_.StatusText();
    }
    [[nodiscard]] bool Ready() const { return ready_; }
    [[nodiscard]] const std::string& SetupError() const { return setupError_; }
    // The started engine, where qvnValue holds what Assign gave it.
    ScriptEngine& Engine() { return engine_; }

    // Assigns the expression's value to qvnValue; false with the engine's account of why.
    bool Assign(const std::string& expression, std::string& why) {
        const std::wstring script =
            L"Option Explicit\r\nqvnValue = -1\r\nqvnValue = (" + Widen(expression) + L")\r\n";
        ScriptError error;
        if (!engine_.Run(script, error)) {
            why = Describe(error, script);
            return false;
        }
        return true;
    }

    // True with the value as a number, or false with the engine's account of why.
    bool Evaluate(const std::string& expression, LONG& value, std::string& why) {
        if (!Assign(expression, why))
            return false;
        ScriptError error;
        if (!engine_.EvaluateLong(L"qvnValue", value, error)) {
            why = Describe(error, L"qvnValue");
            return false;
        }
        return true;
    }

    // Whether `name` is defined, remembered per name.
    bool Defined(const std::string& name, std::string& why) {
        auto found = names_.find(name);
        if (found == names_.end()) {
            std::string reason;
            const bool ok = Assign(name, reason);
            found = names_.emplace(name, ok ? std::string() : reason).first;
        }
        why = found->second;
        return why.empty();
    }

private:
    ScriptEngine engine_;
    bool ready_ = false;
    std::string setupError_;
    std::map<std::string, std::string> names_;
};

// The names beginning with "vb" that the code uses outside its string literals: the
// language's constants, whose existence the compiler leaves to run time.
std::set<std::string> ConstantNames(const std::string& code) {
    std::set<std::string> names;
    std::size_t i = 0;
    auto word = [](char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_'; };
    while (i < code.size()) {
        const char c = code[i];
        if (c == '"') {
            // A doubled quote stays inside the literal.
            for (++i; i < code.size(); ++i)
                if (code[i] == '"') {
                    if (i + 1 < code.size() && code[i + 1] == '"')
                        ++i;
                    else
                        break;
                }
            ++i;
        } else if (word(c)) {
            const std::size_t start = i;
            while (i < code.size() && word(code[i]))
                ++i;
            const std::string name = code.substr(start, i - start);
            if (name.size() > 2 && (name[0] == 'v' || name[0] == 'V') &&
                (name[1] == 'b' || name[1] == 'B'))
                names.insert(name);
        } else {
            ++i;
        }
    }
    return names;
}

// Puts a snippet inside a Sub that nothing calls, in a module with Option Explicit, so the
// engine compiles it and runs none of it.
std::string WrapInSub(const std::string& code, const std::string& declare, std::size_t number) {
    std::string out = "Option Explicit\r\nSub QvnNeverCalled" + std::to_string(number) + "()\r\n";
    if (!declare.empty())
        out += "Dim " + declare + "\r\n";
    out += code;
    if (out.size() < 2 || out.compare(out.size() - 2, 2, "\r\n") != 0)
        out += "\r\n";
    out += "End Sub\r\n";
    return out;
}

struct Shape {
    const char* name;
    int codeOption;
    int addSelect;
    int notEqual;
};

constexpr Shape kShapes[] = {
    {"Standard", kCodeStandard, 0, 0},
    {"VariableReturn", kCodeVariableReturn, 0, 0},
    {"VariableReturnSelectCase", kCodeVariableReturn, 1, 0},
    {"IfThenElseEqual", kCodeIfThenElse, 0, 0},
    {"IfThenElseNotEqual", kCodeIfThenElse, 0, 1},
};

// Texts a user can type or paste: quotes, lone CR and LF from other systems, several lines,
// blanks and non-ASCII letters. A help file and its context come together or not at all,
// as the window insists.
struct Texts {
    const char* prompt;
    const char* title;
    const char* helpFile;
    const char* helpContext;
    const char* varName;
};

constexpr Texts kTexts[] = {
    {"Save changes?", "Editor", "app.hlp", "100", "response"},
    {"File not found.\r\nTry again?", "", "C:\\Help\\app.hlp", "0", "intAnswer"},
    {"Say \"hi\"", "He said \"no\"", "my \"odd\" file.hlp", "42", "r"},
    {"\"", "\"\"", "\"", "7", "x1"},
    {"", "Two\r\nlines", "", "", "response"},
    {"lone\rcarriage return", "cr\ronly", "a\rb.hlp", "1", "answer"},
    {"lone\nline feed", "lf\nonly", "a\nb.hlp", "2", "answer"},
    {"\r\n", "\r\n\r\n", "\r\n", "3", "response"},
    {"First\r\n\r\n\"Second\"\r\n", "Title \" with\r\nbreak\n", "x.hlp", "65535", "lngResult"},
    {"\n\rmixed\r\r\n\n\"end", "\r", "\n", "9", "response"},
    {"Gr\xC3\xB6\xC3\x9F"
     "e: 10 \xE2\x82\xAC",
     "\xC3\x9C"
     "bersicht",
     "hilfe.hlp", "5", "antwort"},
    {"  blanks around  ", " ", " spaced .hlp", "12", "response"},
};

void PrintTo(const Shape& shape, std::ostream* out) {
    *out << shape.name;
}

class VbscriptGeneratedCode : public ScriptEngineTest,
                              public ::testing::WithParamInterface<Shape> {};

TEST_P(VbscriptGeneratedCode, CompilesAndNamesOnlyDefinedConstants) {
    const Shape& shape = GetParam();
    Evaluator evaluator;
    ASSERT_TRUE(evaluator.Ready()) << evaluator.SetupError();
    Failures failures;
    std::size_t cases = 0;
    for (std::size_t set = 0; set < kButtonSets.size(); ++set) {
        for (int help = 0; help <= 1; ++help) {
            // A fresh compiling engine per set keeps the number of blocks it holds small.
            ScriptEngine compiler(false);
            ASSERT_EQ(compiler.Status(), S_OK) << compiler.StatusText();
            const auto labels = DefaultButtonLabels(static_cast<int>(set), help == 1);
            for (std::size_t def = 0; def < labels.size(); ++def) {
                if (labels[def].empty())
                    continue;
                // The window refuses to write an If test against the Help button.
                if (shape.codeOption == kCodeIfThenElse && labels[def] == kHelpLabel)
                    continue;
                for (const Texts& texts : kTexts) {
                    const std::size_t n = cases++;
                    MsgBoxSettings s;
                    s.intButtonSet = static_cast<std::int16_t>(set);
                    s.intDefButton = static_cast<std::int16_t>(def);
                    s.intIcon = static_cast<std::int16_t>(n % kIcons.size());
                    s.intCodeOption = static_cast<std::int16_t>(shape.codeOption);
                    s.chkAddSelect = shape.addSelect;
                    s.chkNotEqual = shape.notEqual;
                    s.labels = labels;
                    s.chkHelp = help;
                    s.chkSysModal = static_cast<int>(n & 1);
                    s.chkSetForeground = static_cast<int>((n >> 1) & 1);
                    s.chkRightAlign = static_cast<int>((n >> 2) & 1);
                    s.chkRtlReading = static_cast<int>((n >> 3) & 1);
                    s.chkOptValOnly = static_cast<int>((n >> 4) & 1);
                    s.txtPrompt = texts.prompt;
                    s.strTitle = texts.title;
                    s.txtHelpFile = texts.helpFile;
                    s.txtHelpContext = texts.helpContext;
                    s.txtVarName = texts.varName;
                    s.EncodePromptText();
                    s.BuildButtonsExpression();
                    s.BuildMsgBoxCode();

                    const std::string declare =
                        shape.codeOption == kCodeVariableReturn ? s.txtVarName : std::string();
                    const std::wstring script = Widen(WrapInSub(s.strMsgBoxCode, declare, n));
                    ScriptError error;
                    if (!compiler.Run(script, error)) {
                        failures.Add("the engine rejects the code of set \"" +
                                     std::string(kButtonSets[set].caption) + "\", default button " +
                                     std::to_string(def + 1) + ":\n" + Describe(error, script));
                        continue;
                    }
                    for (const std::string& name : ConstantNames(s.strMsgBoxCode)) {
                        std::string why;
                        if (!evaluator.Defined(name, why))
                            failures.Add("undefined constant " + name + " in:\n" + s.strMsgBoxCode +
                                         "\n" + why);
                    }
                }
            }
        }
    }
    EXPECT_GT(cases, kButtonSets.size() * std::size(kTexts));
    failures.Report(cases);
}

INSTANTIATE_TEST_SUITE_P(EveryShape, VbscriptGeneratedCode, ::testing::ValuesIn(kShapes),
                         [](const ::testing::TestParamInfo<Shape>& info) {
                             return std::string(info.param.name);
                         });

// Long texts, continued over physical lines: the code of every shape compiles, and the
// arguments it passes, read back by the engine across the continuations, are exactly the texts
// typed. The first statement becomes an assignment of its argument list to an array.
TEST_P(VbscriptGeneratedCode, LongTextsReadBackAcrossContinuations) {
    const Shape& shape = GetParam();
    Evaluator evaluator;
    ASSERT_TRUE(evaluator.Ready()) << evaluator.SetupError();
    std::string mixed;
    for (int i = 0; i < 700; ++i)
        mixed += i % 50 == 49 ? "\r\n" : "a\"\xC3\xA9\xE2\x82\xAC";
    const std::string title = std::string(1500, 't') + "\"\xC3\x9C";
    const std::string heads[] = {"MsgBox ", "response = MsgBox(", "If MsgBox ("};
    MsgBoxSettings s;
    s.intButtonSet = 4;
    s.labels = DefaultButtonLabels(4, false);
    s.intCodeOption = static_cast<std::int16_t>(shape.codeOption);
    s.chkAddSelect = shape.addSelect;
    s.chkNotEqual = shape.notEqual;
    s.txtVarName = "response";
    s.txtPrompt = mixed;
    s.strTitle = title;
    s.EncodePromptText();
    s.BuildButtonsExpression();
    s.BuildMsgBoxCode();
    ASSERT_FALSE(s.blnCodeTooLong);
    ASSERT_NE(s.strMsgBoxCode.find(" _\r\n\t"), std::string::npos) << "the code is not continued";

    ScriptEngine compiler(false);
    ASSERT_EQ(compiler.Status(), S_OK) << compiler.StatusText();
    const std::string declare = shape.codeOption == kCodeVariableReturn ? "response" : "";
    const std::wstring script = Widen(WrapInSub(s.strMsgBoxCode, declare, 0));
    ScriptError error;
    ASSERT_TRUE(compiler.Run(script, error)) << Describe(error, script);

    // The first statement, up to its last physical line, as an array of its arguments.
    std::string statement = s.strMsgBoxCode;
    std::size_t end = 0;
    while ((end = statement.find("\r\n", end)) != std::string::npos &&
           statement.compare(end - 2, 2, " _") == 0)
        end += 2;
    statement = statement.substr(0, end);
    const std::string& head = heads[shape.codeOption];
    ASSERT_EQ(statement.compare(0, head.size(), head), 0) << statement.substr(0, 40);
    std::string args = statement.substr(head.size());
    if (shape.codeOption != kCodeStandard)
        args.erase(args.rfind(')'));
    std::string why;
    ASSERT_TRUE(evaluator.Assign("Array(" + args + ")", why)) << why;
    ScriptEngine& engine = evaluator.Engine();
    std::wstring prompt;
    std::wstring readTitle;
    ASSERT_TRUE(engine.EvaluateString(L"qvnValue(0)", prompt, error)) << Describe(error, L"");
    ASSERT_TRUE(engine.EvaluateString(L"qvnValue(2)", readTitle, error)) << Describe(error, L"");
    EXPECT_EQ(Narrow(prompt), mixed);
    EXPECT_EQ(Narrow(readTitle), title);
}

using VbscriptButtonsExpression = ScriptEngineTest;

// Every combination of the tables and the flags, as constants and as the number "Buttons
// Value Only" writes.
TEST_F(VbscriptButtonsExpression, EvaluatesToTheComputedValue) {
    Evaluator evaluator;
    ASSERT_TRUE(evaluator.Ready()) << evaluator.SetupError();
    Failures failures;
    std::size_t cases = 0;
    const unsigned flagCombinations = 1u << kFlags.size();
    for (std::size_t set = 0; set < kButtonSets.size(); ++set)
        for (std::size_t icon = 0; icon < kIcons.size(); ++icon)
            for (std::size_t def = 0; def < kDefaultButtons.size(); ++def)
                for (unsigned flags = 0; flags < flagCombinations; ++flags)
                    for (int valueOnly = 0; valueOnly <= 1; ++valueOnly) {
                        ++cases;
                        MsgBoxSettings s;
                        s.intButtonSet = static_cast<std::int16_t>(set);
                        s.intIcon = static_cast<std::int16_t>(icon);
                        s.intDefButton = static_cast<std::int16_t>(def);
                        int* boxes[] = {&s.chkHelp, &s.chkSysModal, &s.chkSetForeground,
                                        &s.chkRightAlign, &s.chkRtlReading};
                        for (std::size_t f = 0; f < kFlags.size(); ++f) {
                            ASSERT_LT(static_cast<std::size_t>(kFlags[f].flag), std::size(boxes));
                            *boxes[static_cast<std::size_t>(kFlags[f].flag)] =
                                static_cast<int>((flags >> f) & 1);
                        }
                        s.chkOptValOnly = valueOnly;
                        s.txtPrompt = "x";
                        s.EncodePromptText();
                        s.BuildButtonsExpression();
                        s.BuildMsgBoxCode();
                        if (s.strButtonsExpr.empty()) {
                            if (s.lngButtonsValue != 0)
                                failures.Add("empty buttons expression for the value " +
                                             std::to_string(s.lngButtonsValue));
                            continue;
                        }
                        LONG value = 0;
                        std::string why;
                        if (!evaluator.Evaluate(s.strButtonsExpr, value, why))
                            failures.Add("\"" + s.strButtonsExpr + "\" does not evaluate:\n" + why);
                        else if (value != s.lngButtonsValue)
                            failures.Add("\"" + s.strButtonsExpr + "\" is " +
                                         std::to_string(value) +
                                         " in the engine, the generator says " +
                                         std::to_string(s.lngButtonsValue));
                    }
    failures.Report(cases);
}

using VbscriptJudge = ScriptEngineTest;

// Every module the paste table expects, the code indented into the block around the caret,
// still compiles as a whole.
TEST_F(VbscriptJudge, ModulesAfterAFittedPasteCompile) {
    for (const IndentCase& c : IndentCases()) {
        SCOPED_TRACE(c.what);
        std::string module;
        for (const std::string& line : c.expected) {
            module += line + "\r\n";
        }
        ScriptEngine compiler(false);
        ASSERT_EQ(compiler.Status(), S_OK) << compiler.StatusText();
        ScriptError error;
        EXPECT_TRUE(compiler.Run(Widen(module), error)) << Describe(error, Widen(module));
    }
}

// The judge itself must fail on broken code, or a pass above means nothing.
TEST_F(VbscriptJudge, ReportsBrokenCodeAsSyntaxErrorsOnItsLine) {
    struct Broken {
        const char* what;
        const char* code;
    };
    const Broken cases[] = {
        {"unterminated literal", "MsgBox \"Done"},
        {"CR LF inside a literal", "MsgBox \"Done\r\nNow\""},
        {"lone CR inside a literal", "MsgBox \"Done\rNow\""},
        {"lone LF inside a literal", "MsgBox \"Done\nNow\""},
        {"quote not doubled", "MsgBox \"Say \"hi\"\", , \"Title\""},
        {"If without End If", "If MsgBox (\"Quit?\", vbYesNo) = vbYes Then\r\n\r\nElse\r\n"},
        {"Select Case without End Select", "r = MsgBox(\"x\")\r\nSelect Case r\r\n\tCase vbOK\r\n"},
    };
    std::size_t number = 0;
    for (const Broken& broken : cases) {
        SCOPED_TRACE(broken.what);
        ScriptEngine compiler(false);
        ASSERT_EQ(compiler.Status(), S_OK) << compiler.StatusText();
        const std::wstring script = Widen(WrapInSub(broken.code, "r", number++));
        ScriptError error;
        EXPECT_FALSE(compiler.Run(script, error)) << Narrow(script);
    }
    // The position names the offending line: the third of the wrapped text, counted from 0.
    ScriptEngine compiler(false);
    const std::wstring script = Widen(WrapInSub("MsgBox \"Done", "", 99));
    ScriptError error;
    ASSERT_FALSE(compiler.Run(script, error));
    EXPECT_EQ(error.line, 2u) << Describe(error, script);
}

TEST_F(VbscriptJudge, FailsUndefinedNamesAndEvaluatesDefinedOnes) {
    Evaluator evaluator;
    ASSERT_TRUE(evaluator.Ready()) << evaluator.SetupError();
    struct Expected {
        const char* expression;
        bool defined;
        LONG value;
    };
    const Expected cases[] = {
        {"vbMsgBoxSystemModal", false, 0}, // a name the language never had
        {"vbHelp", false, 0},              // the Help button returns nothing
        {"vbYesNo + vbMsgBoxSystemModal", false, 0},
        {"vbSystemModal", true, 4096},
        {"vbQuestion + vbYesNo", true, 36},
        {" 36", true, 36},
        {"vbOK + vbCancel", true, 3},
    };
    for (const Expected& expected : cases) {
        SCOPED_TRACE(expected.expression);
        LONG value = -2;
        std::string why;
        const bool ok = evaluator.Evaluate(expected.expression, value, why);
        EXPECT_EQ(ok, expected.defined) << why;
        if (ok && expected.defined) {
            EXPECT_EQ(value, expected.value);
        }
    }
}

// The source of the prompt, buttons and title arguments of the one MsgBox call in `code`, by
// position or by name; empty where an argument is not given.
std::array<std::string, 3> ArgumentSources(const std::string& code) {
    std::string lines;
    for (std::size_t i = 0; i < code.size(); ++i) {
        if (code[i] == '\n' && (i == 0 || code[i - 1] != '\r'))
            lines += '\r';
        lines += code[i];
    }
    const auto tokens = ReadLogicalLine(lines, 0).tokens;
    auto ends = [&](std::size_t i) {
        return tokens[i].kind == CodeToken::Kind::End || tokens[i].kind == CodeToken::Kind::Comment;
    };
    std::size_t at = 0;
    while (!ends(at) && !tokens[at].Is("MsgBox"))
        ++at;
    std::size_t from = at + 1;
    std::size_t to = from;
    while (!ends(to))
        ++to;
    // MsgBox(...) standing alone, or compared in an If: the arguments are inside.
    if (tokens[from].Is("(")) {
        int depth = 0;
        std::size_t close = from;
        for (; !ends(close); ++close) {
            depth += tokens[close].Is("(") ? 1 : tokens[close].Is(")") ? -1 : 0;
            if (depth == 0)
                break;
        }
        if (ends(close + 1) || tokens[close + 1].Is("=") || tokens[close + 1].Is("<>")) {
            ++from;
            to = close;
        }
    }
    std::array<std::string, 3> sources;
    std::size_t position = 0;
    int depth = 0;
    for (std::size_t start = from, i = from; i <= to; ++i) {
        if (i < to) {
            depth += tokens[i].Is("(") ? 1 : tokens[i].Is(")") ? -1 : 0;
            if (depth > 0 || !tokens[i].Is(","))
                continue;
        }
        std::size_t slot = position++;
        if (i > start + 1 && tokens[start + 1].Is(":=")) {
            slot = sources.size(); // the help file and context are not judged
            for (std::size_t a = 0; a < 3; ++a)
                if (tokens[start].Is(std::array{"Prompt", "Buttons", "Title"}[a]))
                    slot = a;
            start += 2;
        }
        if (slot < sources.size() && start < i) {
            const char* begin = tokens[start].source.data();
            const char* end = tokens[i - 1].source.data() + tokens[i - 1].source.size();
            sources[slot] =
                OnOneLine(std::string_view(begin, static_cast<std::size_t>(end - begin)));
        }
        start = i + 1;
    }
    return sources;
}

using VbscriptReader = ScriptEngineTest;

// What the reader makes of each hand-written statement of the table, against what the engine
// makes of the original's arguments, wherever it can evaluate them (it has no Chr$ and no
// type characters).
TEST_F(VbscriptReader, ReadsWhatTheEngineEvaluatesFromTheHandWrittenTable) {
    Evaluator evaluator;
    ASSERT_TRUE(evaluator.Ready()) << evaluator.SetupError();
    Failures failures;
    std::size_t judged = 0;
    std::size_t cases = 0;
    for (const HandWritten& statement : kHandWritten) {
        if (statement.composed == nullptr)
            continue;
        ++cases;
        auto read = ReadMsgBoxCode(statement.code);
        if (!std::holds_alternative<MsgBoxSettings>(read)) {
            failures.Add(std::string("refused: ") + statement.code);
            continue;
        }
        MsgBoxSettings s = std::get<MsgBoxSettings>(read);
        s.BuildButtonsExpression();
        const auto sources = ArgumentSources(statement.code);
        const std::string texts[] = {s.txtPrompt, "", s.strTitle};
        for (std::size_t a = 0; a < sources.size(); ++a) {
            if (sources[a].empty())
                continue;
            std::string why;
            if (!evaluator.Assign(sources[a], why))
                continue;
            ScriptError error;
            if (a == 1) {
                LONG value = 0;
                if (!evaluator.Engine().EvaluateLong(L"qvnValue", value, error))
                    continue;
                ++judged;
                if (value != s.lngButtonsValue)
                    failures.Add(std::string(statement.code) + ": the engine makes the buttons " +
                                 std::to_string(value) + ", the reader " +
                                 std::to_string(s.lngButtonsValue));
                continue;
            }
            std::wstring text;
            if (!evaluator.Engine().EvaluateString(L"qvnValue", text, error))
                continue;
            ++judged;
            if (Narrow(text) != texts[a])
                failures.Add(std::string(statement.code) + ": the engine makes argument " +
                             std::to_string(a + 1) + " \"" + Narrow(text) + "\", the reader \"" +
                             texts[a] + "\"");
        }
    }
    // Most arguments of the table are plain VBScript as well.
    EXPECT_GT(judged, cases);
    failures.Report(cases);
}

TEST(VbscriptConstantNames, FindsNamesOutsideLiteralsOnly) {
    struct Expected {
        const char* code;
        std::set<std::string> names;
    };
    const Expected cases[] = {
        {"MsgBox \"vbNotAName\" & vbCrLf, vbOKCancel", {"vbCrLf", "vbOKCancel"}},
        {"MsgBox \"a \"\"vbQuoted\"\" b\" & vbLf", {"vbLf"}},
        {"r = MsgBox(\"x\")\r\nSelect Case r\r\n\tCase vbHelp\r\nEnd Select", {"vbHelp"}},
        {"If MsgBox (\"x\",  65) <> vbNo Then", {"vbNo"}},
        {"MsgBox \"\"", {}},
    };
    for (const Expected& expected : cases) {
        EXPECT_EQ(ConstantNames(expected.code), expected.names) << expected.code;
    }
}

} // namespace
} // namespace qvn::test
