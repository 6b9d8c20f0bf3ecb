#include "cli/jsonl.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <sstream>

namespace qvn::cli {
namespace {

using nlohmann::json;

json ComposeLine(const std::string& line, bool expectFailure = false) {
    bool failed = true;
    const std::string out = ComposeJsonLine(line, failed);
    EXPECT_EQ(failed, expectFailure) << out;
    return json::parse(out);
}

TEST(JsonLines, AbsentFieldsTakeTheirLoadValues) {
    const json out = ComposeLine("{}");
    EXPECT_EQ(out["strPromptExpr"], "\"\"");
    EXPECT_EQ(out["strButtonsExpr"], "");
    EXPECT_EQ(out["lngButtonsValue"], 0);
    EXPECT_EQ(out["strMsgBoxCode"], "MsgBox \"\"");
}

TEST(JsonLines, ComposesWithTheRecordsOwnFieldNames) {
    const json out =
        ComposeLine(R"({"intButtonSet":4,"intIcon":2,"intDefButton":1,"intCodeOption":2,
        "chkNotEqual":1,"chkHelp":1,"txtPrompt":"Quit now?","strTitle":"Confirm",
        "txtHelpFile":"app.hlp","txtHelpContext":"100","labels":["Yes","No","Help",""]})");
    EXPECT_EQ(
        out["strMsgBoxCode"],
        "If MsgBox (\"Quit now?\", vbQuestion + vbYesNo + vbDefaultButton2 + vbMsgBoxHelpButton, "
        "\"Confirm\", \"app.hlp\", 100) <> vbNo Then\r\n\r\nElse\r\n\r\nEnd If\r\n");
    EXPECT_EQ(out["lngButtonsValue"], 16676);
}

TEST(JsonLines, NoWindowRulesApply) {
    // A combination the window never offers is still composed as asked.
    const json out = ComposeLine(R"({"intCodeOption":1,"txtPrompt":"x"})");
    EXPECT_EQ(out["strMsgBoxCode"], " = MsgBox(\"x\")");
}

TEST(JsonLines, KeysComeInTheRecordsOrder) {
    bool failed = false;
    const std::string out = ComposeJsonLine("{}", failed);
    EXPECT_LT(out.find("strPromptExpr"), out.find("strButtonsExpr"));
    EXPECT_LT(out.find("strButtonsExpr"), out.find("lngButtonsValue"));
    EXPECT_LT(out.find("lngButtonsValue"), out.find("strMsgBoxCode"));
}

struct BadLine {
    const char* name;
    const char* line;
};

void PrintTo(const BadLine& c, std::ostream* os) {
    *os << c.name;
}

class BadLineTest : public ::testing::TestWithParam<BadLine> {};

TEST_P(BadLineTest, GetsAnErrorObject) {
    const json out = ComposeLine(GetParam().line, true);
    ASSERT_TRUE(out.contains("error"));
    EXPECT_FALSE(out["error"].get<std::string>().empty());
    EXPECT_FALSE(out.contains("strMsgBoxCode"));
}

INSTANTIATE_TEST_SUITE_P(Lines, BadLineTest,
                         ::testing::Values(BadLine{"NotJson", "{nope"}, BadLine{"Empty", ""},
                                           BadLine{"NotAnObject", "[1,2]"},
                                           BadLine{"ButtonSetTooLarge", R"({"intButtonSet":6})"},
                                           BadLine{"IconNegative", R"({"intIcon":-1})"},
                                           BadLine{"DefaultButtonTooLarge",
                                                   R"({"intDefButton":4})"},
                                           BadLine{"CodeOptionTooLarge", R"({"intCodeOption":3})"},
                                           BadLine{"IndexNotANumber", R"({"intIcon":"2"})"},
                                           BadLine{"PromptNotText", R"({"txtPrompt":5})"},
                                           BadLine{"ThreeLabels", R"({"labels":["a","b","c"]})"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(JsonLines, RunGoesOnAfterABadLineAndReportsIt) {
    std::istringstream in("{\"txtPrompt\":\"a\"}\n{bad\n{\"txtPrompt\":\"b\"}\n");
    std::ostringstream out;
    EXPECT_EQ(RunJsonLines(in, out), 1);
    std::istringstream lines(out.str());
    std::string line;
    std::vector<json> results;
    while (std::getline(lines, line))
        results.push_back(json::parse(line));
    ASSERT_EQ(results.size(), 3u);
    EXPECT_EQ(results[0]["strMsgBoxCode"], "MsgBox \"a\"");
    EXPECT_TRUE(results[1].contains("error"));
    EXPECT_EQ(results[2]["strMsgBoxCode"], "MsgBox \"b\"");
}

TEST(JsonLines, CodeTooLongForTheLanguageGetsItsErrorAndTheRunGoesOn) {
    std::istringstream in("{\"txtPrompt\":\"" + std::string(30000, 'a') +
                          "\"}\n{\"txtPrompt\":\"b\"}\n");
    std::ostringstream out;
    EXPECT_EQ(RunJsonLines(in, out), 1);
    EXPECT_EQ(out.str(), "{\"error\":\"the code would be longer than one statement of the "
                         "language allows\"}\n"
                         "{\"strPromptExpr\":\"\\\"b\\\"\",\"strButtonsExpr\":\"\","
                         "\"lngButtonsValue\":0,\"strMsgBoxCode\":\"MsgBox \\\"b\\\"\"}\n");
}

TEST(JsonLines, AllGoodLinesExitZero) {
    std::istringstream in("{}\r\n{}\n");
    std::ostringstream out;
    EXPECT_EQ(RunJsonLines(in, out), 0);
}

} // namespace
} // namespace qvn::cli
