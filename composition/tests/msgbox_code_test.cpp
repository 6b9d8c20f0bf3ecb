#include "composition/msgbox_settings.h"
#include "composition/statement_lines.h"

#include "composition/tests/compose.h"

#include <gtest/gtest.h>

#include <functional>

namespace qvn {
namespace {

using test::Compose;

struct CodeCase {
    const char* name;
    std::function<void(MsgBoxSettings&)> fill;
    std::string code;
};

void PrintTo(const CodeCase& c, std::ostream* os) {
    *os << c.name;
}

class MsgBoxCodeTest : public ::testing::TestWithParam<CodeCase> {};

TEST_P(MsgBoxCodeTest, GeneratesTheCode) {
    MsgBoxSettings s;
    GetParam().fill(s);
    EXPECT_EQ(Compose(s), GetParam().code);
    // Composing again without a change gives the same code.
    EXPECT_EQ(Compose(s), GetParam().code);
    // The code's one first line holds the prompt's expression whole, where composing says.
    ASSERT_NE(s.promptExprAt, std::string::npos);
    EXPECT_EQ(s.strMsgBoxCode.substr(s.promptExprAt, s.strPromptExpr.size()), s.strPromptExpr);
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, MsgBoxCodeTest,
    ::testing::Values(
        CodeCase{"WorkedStandard",
                 [](MsgBoxSettings& s) {
                     s.txtPrompt = "Save changes?";
                     s.intButtonSet = 3;
                     s.intIcon = 2;
                     s.strTitle = "Editor";
                 },
                 R"(MsgBox "Save changes?", vbQuestion + vbYesNoCancel, "Editor")"},
        CodeCase{"WorkedSelectCase",
                 [](MsgBoxSettings& s) {
                     s.intCodeOption = 1;
                     s.chkAddSelect = 1;
                     s.txtVarName = "response";
                     s.txtPrompt = "File not found.\r\nTry again?";
                     s.intButtonSet = 5;
                     s.intIcon = 1;
                     s.labels = DefaultButtonLabels(5, false);
                 },
                 "response = MsgBox(\"File not found.\" & vbCrLf & \"Try again?\", vbCritical + "
                 "vbRetryCancel)\r\n\r\nSelect Case response\r\n\r\n\tCase vbRetry\r\n\r\n\tCase "
                 "vbCancel\r\n\r\nEnd Select\r\n\r\n"},
        CodeCase{"WorkedIfThenElse",
                 [](MsgBoxSettings& s) {
                     s.intCodeOption = 2;
                     s.chkNotEqual = 1;
                     s.chkHelp = 1;
                     s.intButtonSet = 4;
                     s.labels = DefaultButtonLabels(4, true);
                     s.intDefButton = 1;
                     s.txtPrompt = "Quit now?";
                     s.strTitle = "Confirm";
                     s.txtHelpFile = "app.hlp";
                     s.txtHelpContext = "100";
                 },
                 "If MsgBox (\"Quit now?\", vbYesNo + vbDefaultButton2 + vbMsgBoxHelpButton, "
                 "\"Confirm\", \"app.hlp\", 100) <> vbNo Then\r\n\r\nElse\r\n\r\nEnd If\r\n"},
        CodeCase{"WorkedValueOnly",
                 [](MsgBoxSettings& s) {
                     s.chkOptValOnly = 1;
                     s.txtPrompt = "Done";
                     s.intButtonSet = 1;
                     s.intIcon = 4;
                     s.strTitle = "Status";
                 },
                 R"(MsgBox "Done",  65, "Status")"},
        CodeCase{"WorkedEmptyButtonsKeepPosition",
                 [](MsgBoxSettings& s) {
                     s.txtPrompt = "Done";
                     s.strTitle = "Status";
                 },
                 R"(MsgBox "Done", , "Status")"},
        CodeCase{"PromptAlone", [](MsgBoxSettings& s) { s.txtPrompt = "Hi"; }, R"(MsgBox "Hi")"},
        CodeCase{"EmptyPromptStillAnArgument", [](MsgBoxSettings&) {}, R"(MsgBox "")"},
        CodeCase{"ValueOnlyWithZeroWritesNothing",
                 [](MsgBoxSettings& s) {
                     s.chkOptValOnly = 1;
                     s.txtPrompt = "x";
                 },
                 R"(MsgBox "x")"},
        CodeCase{"HelpPairWithoutTitleKeepsPositions",
                 [](MsgBoxSettings& s) {
                     s.txtPrompt = "x";
                     s.chkHelp = 1;
                     s.txtHelpFile = "a.hlp";
                     s.txtHelpContext = "7";
                 },
                 R"(MsgBox "x", vbMsgBoxHelpButton, , "a.hlp", 7)"},
        CodeCase{"HelpFileWithHelpOffWritesNoPair",
                 [](MsgBoxSettings& s) {
                     s.txtPrompt = "x";
                     s.txtHelpFile = "a.hlp";
                     s.txtHelpContext = "7";
                 },
                 R"(MsgBox "x")"},
        CodeCase{"HelpOnWithoutFileWritesNoPair",
                 [](MsgBoxSettings& s) {
                     s.txtPrompt = "x";
                     s.chkHelp = 1;
                     s.txtHelpContext = "7";
                 },
                 R"(MsgBox "x", vbMsgBoxHelpButton)"},
        CodeCase{"PlainAssignment",
                 [](MsgBoxSettings& s) {
                     s.intCodeOption = 1;
                     s.txtVarName = "answer";
                     s.txtPrompt = "Go?";
                     s.intButtonSet = 4;
                 },
                 R"(answer = MsgBox("Go?", vbYesNo))"},
        CodeCase{"IfEqualUsesDefaultButtonLabel",
                 [](MsgBoxSettings& s) {
                     s.intCodeOption = 2;
                     s.intButtonSet = 2;
                     s.labels = DefaultButtonLabels(2, false);
                     s.intDefButton = 2;
                     s.txtPrompt = "Disk error";
                 },
                 "If MsgBox (\"Disk error\", vbAbortRetryIgnore + vbDefaultButton3) = vbIgnore "
                 "Then\r\n\r\nElse\r\n\r\nEnd If\r\n"},
        // The Help button returns nothing, so no Case line is written for it.
        CodeCase{"SelectCaseSkipsHelp",
                 [](MsgBoxSettings& s) {
                     s.intCodeOption = 1;
                     s.chkAddSelect = 1;
                     s.chkHelp = 1;
                     s.txtVarName = "r";
                     s.intButtonSet = 1;
                     s.labels = DefaultButtonLabels(1, true);
                     s.txtPrompt = "p";
                 },
                 "r = MsgBox(\"p\", vbOKCancel + vbMsgBoxHelpButton)\r\n\r\nSelect Case "
                 "r\r\n\r\n\tCase vbOK\r\n\r\n\tCase vbCancel\r\n\r\nEnd Select\r\n\r\n"},
        // Quotes are doubled inside every literal; lone CR and LF become named constants.
        CodeCase{"QuotesAndLoneBreaksInAllLiterals",
                 [](MsgBoxSettings& s) {
                     s.txtPrompt = "say \"hi\"\nnow";
                     s.strTitle = "A \"B\"\rC";
                     s.chkHelp = 1;
                     s.txtHelpFile = "my \"help\".hlp";
                     s.txtHelpContext = "1";
                 },
                 "MsgBox \"say \"\"hi\"\"\" & vbLf & \"now\", vbMsgBoxHelpButton, \"A \"\"B\"\"\" "
                 "& vbCr & \"C\", \"my \"\"help\"\".hlp\", 1"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(MsgBoxCode, ValueOnlyReplacesTheConstantsWithTheStrForm) {
    MsgBoxSettings s;
    s.chkOptValOnly = 1;
    s.intButtonSet = 4;
    s.intIcon = 2;
    s.EncodePromptText();
    s.BuildButtonsExpression();
    s.BuildMsgBoxCode();
    EXPECT_EQ(s.strButtonsExpr, " 36");
    EXPECT_EQ(s.strMsgBoxCode, R"(MsgBox "",  36)");
}

TEST(MsgBoxCode, LongLabelsAndNamesAreWrittenWhole) {
    // Longer than the block the code is gathered in, alone and all together.
    for (std::size_t n : {10u, 239u, 240u, 241u, 700u}) {
        MsgBoxSettings s;
        s.intCodeOption = 1;
        s.chkAddSelect = 1;
        s.txtVarName = std::string(n, 'v');
        s.labels = {std::string(n, 'a'), std::string(n, 'b'), "", "Help"};
        s.txtPrompt = "p";
        std::string select = "\r\n\r\nSelect Case " + s.txtVarName + "\r\n\r\n";
        for (const std::string& label : {s.labels[0], s.labels[1]})
            select += "\tCase vb" + label + "\r\n\r\n";
        EXPECT_EQ(Compose(s), s.txtVarName + " = MsgBox(\"p\")" + select + "End Select\r\n\r\n")
            << n;
    }
}

TEST(MsgBoxCode, LineEndingsOfEachShape) {
    MsgBoxSettings s;
    s.txtVarName = "v";
    s.labels = DefaultButtonLabels(4, false);
    auto endsWith = [](const std::string& text, const std::string& tail) {
        return text.size() >= tail.size() &&
               text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
    };
    s.intCodeOption = 0;
    EXPECT_FALSE(endsWith(Compose(s), "\n"));
    s.intCodeOption = 1;
    EXPECT_FALSE(endsWith(Compose(s), "\n"));
    s.chkAddSelect = 1;
    EXPECT_TRUE(endsWith(Compose(s), "End Select\r\n\r\n"));
    s.intCodeOption = 2;
    EXPECT_TRUE(endsWith(Compose(s), "End If\r\n"));
    EXPECT_FALSE(endsWith(s.strMsgBoxCode, "\r\n\r\n"));
}

// Long statements: every physical line within the language's limit, continued where the
// rules allow, and the same statement once the continuations are read back; or, where no
// arrangement fits, a refusal.

std::string Repeat(const std::string& text, std::size_t times) {
    std::string out;
    for (std::size_t i = 0; i < times; ++i)
        out += text;
    return out;
}

std::vector<std::string> CodeLines(const std::string& code) {
    std::vector<std::string> lines;
    std::size_t from = 0;
    for (std::size_t at = code.find("\r\n"); at != std::string::npos;
         at = code.find("\r\n", from)) {
        lines.push_back(code.substr(from, at - from));
        from = at + 2;
    }
    lines.push_back(code.substr(from));
    return lines;
}

bool ValidUtf8(const std::string& text) {
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const std::size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
        if ((lead & 0xC0) == 0x80 || i + length > text.size())
            return false;
        for (std::size_t k = 1; k < length; ++k)
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80)
                return false;
        i += length;
    }
    return true;
}

// The first statement read back as the IDE reads it: each " _" ending joins the next line,
// whose indent goes, with one blank. The pieces a literal was split into are joined again.
std::string ReadBack(const std::vector<std::string>& lines, std::size_t& used) {
    std::string logical;
    for (used = 0; used < lines.size(); ++used) {
        std::string line = lines[used];
        if (used > 0) {
            EXPECT_EQ(line.substr(0, 1), "\t") << "continuation line " << used;
            line.erase(0, 1);
        }
        if (!line.ends_with(" _")) {
            logical += line;
            ++used;
            break;
        }
        EXPECT_TRUE(line.ends_with("& _") || line.ends_with(", _")) << line.substr(0, 40);
        logical += line.substr(0, line.size() - 2) + " ";
    }
    std::string joined;
    for (std::size_t at = 0; at < logical.size();) {
        if (logical.compare(at, 5, "\" & \"") == 0 && at > 0) {
            at += 5;
            continue;
        }
        joined.push_back(logical[at++]);
    }
    return joined;
}

struct LongCase {
    const char* name;
    std::function<void(MsgBoxSettings&)> fill;
    std::string statement; // the first statement as one line, literals unsplit
    std::size_t lines;     // physical lines it takes
};

void PrintTo(const LongCase& c, std::ostream* os) {
    *os << c.name;
}

class LongStatementTest : public ::testing::TestWithParam<LongCase> {};

TEST_P(LongStatementTest, StaysWithinTheLimitsAndReadsBackAsTheStatement) {
    MsgBoxSettings s;
    GetParam().fill(s);
    const std::string code = Compose(s);
    ASSERT_FALSE(s.blnCodeTooLong);
    const auto lines = CodeLines(code);
    for (const auto& line : lines) {
        EXPECT_LE(line.size(), kMaxLineBytes) << line.substr(0, 60);
        EXPECT_TRUE(ValidUtf8(line)) << "a character was cut: " << line.substr(0, 60);
    }
    std::size_t used = 0;
    EXPECT_EQ(ReadBack(lines, used), GetParam().statement);
    EXPECT_EQ(used, GetParam().lines);
    EXPECT_LE(used, static_cast<std::size_t>(kMaxLineContinuations) + 1);
    // A cut line holds no place of the prompt's expression, which may be split.
    if (used > 1) {
        EXPECT_EQ(s.promptExprAt, std::string::npos);
    }
}

const std::string k1014(1014, 'a');
const std::string k3000Mixed = Repeat("ab\"\xC3\xA9\xE2\x82\xAC", 600); // quote, é and €

INSTANTIATE_TEST_SUITE_P(
    Edges, LongStatementTest,
    ::testing::Values(
        LongCase{"Exactly1023BytesStaysWhole", [](MsgBoxSettings& s) { s.txtPrompt = k1014; },
                 "MsgBox \"" + k1014 + "\"", 1},
        LongCase{"OneByteMoreBreaks", [](MsgBoxSettings& s) { s.txtPrompt = k1014 + "a"; },
                 "MsgBox \"" + k1014 + "a\"", 2},
        LongCase{"QuotesAndMultiByteCharactersAtTheCuts",
                 [](MsgBoxSettings& s) { s.txtPrompt = k3000Mixed; },
                 "MsgBox \"" +
                     [] {
                         std::string escaped;
                         for (char c : k3000Mixed)
                             escaped += c == '"' ? std::string("\"\"") : std::string(1, c);
                         return escaped;
                     }() +
                     "\"",
                 6},
        LongCase{"ManyLineBreaksCutAfterTheirAmpersands",
                 [](MsgBoxSettings& s) { s.txtPrompt = Repeat("line\r\n", 200); },
                 "MsgBox " + Repeat("\"line\" & vbCrLf & ", 199) + "\"line\" & vbCrLf", 4},
        LongCase{"LongTitleAndHelpFileOfTheIfShape",
                 [](MsgBoxSettings& s) {
                     s.intCodeOption = 2;
                     s.intButtonSet = 4;
                     s.labels = DefaultButtonLabels(4, true);
                     s.chkHelp = 1;
                     s.txtPrompt = "Quit now?";
                     s.strTitle = std::string(1200, 't');
                     s.txtHelpFile = std::string(900, 'h') + ".hlp";
                     s.txtHelpContext = "100";
                 },
                 "If MsgBox (\"Quit now?\", vbYesNo + vbMsgBoxHelpButton, \"" +
                     std::string(1200, 't') + "\", \"" + std::string(900, 'h') +
                     ".hlp\", 100) = vbYes Then",
                 3},
        LongCase{"EmptyButtonsPositionKeptOfTheVariableShape",
                 [](MsgBoxSettings& s) {
                     s.intCodeOption = 1;
                     s.txtVarName = "answer";
                     s.txtPrompt = std::string(1008, 'p');
                     s.strTitle = "Status";
                 },
                 "answer = MsgBox(\"" + std::string(1008, 'p') + "\", , \"Status\")", 2},
        // The first line holds 1010 characters, each continuation 1016, the last 1020.
        LongCase{"TwentyFiveLinesAreAccepted",
                 [](MsgBoxSettings& s) { s.txtPrompt = std::string(25398, 'z'); },
                 "MsgBox \"" + std::string(25398, 'z') + "\"", 25}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(LongStatement, OneByteOverTheLimitIsWrittenAsTwoLinesExactly) {
    MsgBoxSettings s;
    s.txtPrompt = k1014 + "a";
    EXPECT_EQ(Compose(s), "MsgBox \"" + std::string(1010, 'a') + "\" & _\r\n\t\"aaaaa\"");
}

TEST(LongStatement, RefusedWhereNoArrangementFits) {
    const std::vector<std::pair<const char*, std::function<void(MsgBoxSettings&)>>> cases{
        {"twenty-six lines", [](MsgBoxSettings& s) { s.txtPrompt = std::string(25399, 'z'); }},
        {"a variable name that fills a line",
         [](MsgBoxSettings& s) {
             s.intCodeOption = 1;
             s.intButtonSet = 1;
             s.txtVarName = std::string(1015, 'v');
             s.txtPrompt = std::string(20, 'p');
         }},
        {"a help context longer than a line",
         [](MsgBoxSettings& s) {
             s.chkHelp = 1;
             s.txtHelpFile = "a.hlp";
             s.txtHelpContext = std::string(1030, '9');
         }},
    };
    for (const auto& [what, fill] : cases) {
        SCOPED_TRACE(what);
        MsgBoxSettings s;
        fill(s);
        EXPECT_EQ(Compose(s), "");
        EXPECT_TRUE(s.blnCodeTooLong);
        EXPECT_EQ(s.promptExprAt, std::string::npos);
    }
    // A refusal is not remembered once the settings fit again.
    MsgBoxSettings s;
    s.txtPrompt = std::string(25399, 'z');
    Compose(s);
    s.txtPrompt = "Done";
    EXPECT_EQ(Compose(s), "MsgBox \"Done\"");
    EXPECT_FALSE(s.blnCodeTooLong);
}

} // namespace
} // namespace qvn
