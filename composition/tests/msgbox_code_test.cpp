#include "composition/msgbox_settings.h"

#include <gtest/gtest.h>

#include <functional>

namespace qvn {
namespace {

// Runs the three generators in the order Copy and Paste run them.
std::string Compose(MsgBoxSettings& s) {
    s.EncodePromptText();
    s.BuildButtonsExpression();
    s.BuildMsgBoxCode();
    return s.strMsgBoxCode;
}

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

} // namespace
} // namespace qvn
