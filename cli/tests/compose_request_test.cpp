#include "cli/compose_request.h"

#include <gtest/gtest.h>

#include <functional>

namespace qvn::cli {
namespace {

struct RequestCase {
    const char* name;
    std::function<void(ComposeRequest&)> change;
    // For a refusal: a word the message must contain, so the person knows what to fix.
    // For an accepted request: the code expected.
    bool refused;
    std::string expected;
};

void PrintTo(const RequestCase& c, std::ostream* os) {
    *os << c.name;
}

class RequestTest : public ::testing::TestWithParam<RequestCase> {};

TEST_P(RequestTest, FollowsTheWindowRules) {
    ComposeRequest r;
    r.prompt = "p";
    GetParam().change(r);
    auto result = BuildSettings(r);
    if (GetParam().refused) {
        ASSERT_TRUE(std::holds_alternative<Refusal>(result));
        EXPECT_NE(std::get<Refusal>(result).message.find(GetParam().expected), std::string::npos)
            << std::get<Refusal>(result).message;
    } else {
        ASSERT_TRUE(std::holds_alternative<MsgBoxSettings>(result))
            << std::get<Refusal>(result).message;
        EXPECT_EQ(Compose(std::get<MsgBoxSettings>(result)), GetParam().expected);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Requests, RequestTest,
    ::testing::Values(
        RequestCase{"DefaultNamesNoButton", [](auto& r) { r.defaultButton = 2; }, true,
                    "--default 2"},
        RequestCase{"DefaultOutOfRange", [](auto& r) { r.defaultButton = 5; }, true, "--default"},
        RequestCase{"DefaultZero", [](auto& r) { r.defaultButton = 0; }, true, "--default"},
        RequestCase{"SelectCaseNeedsVariable", [](auto& r) { r.selectCase = true; }, true,
                    "--select-case"},
        RequestCase{"NotEqualNeedsIf",
                    [](auto& r) {
                        r.buttons = "yes-no";
                        r.shape = "variable";
                        r.notEqual = true;
                    },
                    true, "--not-equal"},
        RequestCase{"VariableNeedsName",
                    [](auto& r) {
                        r.buttons = "yes-no";
                        r.shape = "variable";
                        r.var = "";
                    },
                    true, "--var"},
        RequestCase{"HelpFileWithoutContext",
                    [](auto& r) {
                        r.helpButton = true;
                        r.helpFile = "a.hlp";
                    },
                    true, "--help-context"},
        RequestCase{"HelpContextWithoutFile",
                    [](auto& r) {
                        r.helpButton = true;
                        r.helpContext = "3";
                    },
                    true, "--help-file"},
        RequestCase{"IfWithHelpAsDefault",
                    [](auto& r) {
                        r.buttons = "yes-no";
                        r.helpButton = true;
                        r.defaultButton = 3;
                        r.shape = "if";
                    },
                    true, "Help"},
        RequestCase{"ShapeNeedsMoreThanOk", [](auto& r) { r.shape = "if"; }, true, "--buttons"},
        RequestCase{"UnknownButtons", [](auto& r) { r.buttons = "maybe"; }, true, "yes-no"},
        RequestCase{"UnknownIcon", [](auto& r) { r.icon = "smile"; }, true, "information"},
        RequestCase{"UnknownShape", [](auto& r) { r.shape = "loop"; }, true, "standard"},
        // The Help button takes the next free default-button position.
        RequestCase{"HelpAsDefaultInStandard",
                    [](auto& r) {
                        r.helpButton = true;
                        r.defaultButton = 2;
                    },
                    false, R"(MsgBox "p", vbDefaultButton2 + vbMsgBoxHelpButton)"},
        RequestCase{"SelectCaseLabelsFollowTheSet",
                    [](auto& r) {
                        r.buttons = "abort-retry-ignore";
                        r.shape = "variable";
                        r.selectCase = true;
                        r.lf = true;
                    },
                    false,
                    "response = MsgBox(\"p\", vbAbortRetryIgnore)\n\nSelect Case response\n\n"
                    "\tCase vbAbort\n\n\tCase vbRetry\n\n\tCase vbIgnore\n\nEnd Select\n\n"},
        RequestCase{"IfUsesDefaultButton",
                    [](auto& r) {
                        r.buttons = "ok-cancel";
                        r.defaultButton = 2;
                        r.shape = "if";
                        r.notEqual = true;
                    },
                    false,
                    "If MsgBox (\"p\", vbOKCancel + vbDefaultButton2) <> vbCancel "
                    "Then\r\n\r\nElse\r\n\r\nEnd If\r\n"},
        RequestCase{"AllFlags",
                    [](auto& r) {
                        r.systemModal = r.foreground = r.rightAlign = r.rtlReading = true;
                        r.valueOnly = true;
                    },
                    false, "MsgBox \"p\",  1642496"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PromptText, LineFeedsBecomeLineBreaksOnce) {
    EXPECT_EQ(LineFeedsToBreaks("a\nb\r\nc\n"), "a\r\nb\r\nc\r\n");
    EXPECT_EQ(LineFeedsToBreaks("\n\n"), "\r\n\r\n");
    EXPECT_EQ(DropFinalLineBreak("a\nb\n"), "a\nb");
    EXPECT_EQ(DropFinalLineBreak("a\r\n\r\n"), "a\r\n");
    EXPECT_EQ(DropFinalLineBreak("a"), "a");
}

} // namespace
} // namespace qvn::cli
