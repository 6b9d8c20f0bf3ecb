#include "composition/msgbox_settings.h"

#include <gtest/gtest.h>

namespace qvn {
namespace {

struct EncodeCase {
    const char* name;
    std::string prompt;
    std::string expected;
};

void PrintTo(const EncodeCase& c, std::ostream* os) {
    *os << c.name;
}

class EncodePromptTest : public ::testing::TestWithParam<EncodeCase> {};

TEST_P(EncodePromptTest, BuildsTheExpression) {
    MsgBoxSettings s;
    s.txtPrompt = GetParam().prompt;
    s.EncodePromptText();
    EXPECT_EQ(s.strPromptExpr, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Prompts, EncodePromptTest,
    ::testing::Values(
        EncodeCase{"Empty", "", R"("")"}, EncodeCase{"OneLine", "Retry", R"("Retry")"},
        EncodeCase{"TwoLines", "File not found.\r\nTry again?",
                   R"("File not found." & vbCrLf & "Try again?")"},
        EncodeCase{"EmptyLineBetween", "First\r\n\r\nSecond",
                   R"("First" & vbCrLf & vbCrLf & "Second")"},
        EncodeCase{"LeadingBreak", "\r\nIndented start", R"(vbCrLf & "Indented start")"},
        EncodeCase{"TrailingBreak", "Last line ends\r\n", R"("Last line ends" & vbCrLf)"},
        EncodeCase{"OnlyBreak", "\r\n", "vbCrLf"},
        EncodeCase{"OnlyBreaks", "\r\n\r\n\r\n", "vbCrLf & vbCrLf & vbCrLf"},
        EncodeCase{"BlanksKept", "  a  \r\n b ", R"("  a  " & vbCrLf & " b ")"},
        // A quote inside a literal is doubled, as the language writes it.
        EncodeCase{"QuoteDoubled", R"(Say "hi")", R"("Say ""hi""")"},
        EncodeCase{"OnlyQuote", "\"", R"("""")"},
        // Lone CR and lone LF never stay inside a literal.
        EncodeCase{"LoneLf", "a\nb", R"("a" & vbLf & "b")"},
        EncodeCase{"LoneCr", "a\rb", R"("a" & vbCr & "b")"},
        EncodeCase{"LfCr", "a\n\rb", R"("a" & vbLf & vbCr & "b")"},
        EncodeCase{"CrCrLf", "\r\r\n", "vbCr & vbCrLf"},
        EncodeCase{"Utf8Kept",
                   "Gr\xC3\xBC\xC3\x9F"
                   "e",
                   "\"Gr\xC3\xBC\xC3\x9F"
                   "e\""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(EncodePrompt, RebuildsFromScratchEachTime) {
    MsgBoxSettings s;
    s.txtPrompt = "one\r\ntwo";
    s.EncodePromptText();
    s.txtPrompt = "three";
    s.EncodePromptText();
    EXPECT_EQ(s.strPromptExpr, R"("three")");
}

TEST(EncodePrompt, LongPromptWithoutBreakIsOneLiteral) {
    MsgBoxSettings s;
    s.txtPrompt = std::string(100000, 'x');
    s.EncodePromptText();
    EXPECT_EQ(s.strPromptExpr, "\"" + s.txtPrompt + "\"");
}

} // namespace
} // namespace qvn
