#include "composition/msgbox_settings.h"

#include <gtest/gtest.h>

#include <random>

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
        EncodeCase{"CrAtTheEnd", "a\r", R"("a" & vbCr)"}, EncodeCase{"OnlyACr", "\r", "vbCr"},
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

TEST(EncodePrompt, PiecesOfEveryLengthAreKeptWhole) {
    // Lines and quotes of lengths around the sizes the code is gathered in, each with the
    // expression written out piece by piece.
    for (std::size_t n : {1u, 15u, 16u, 17u, 200u, 223u, 224u, 225u, 239u, 240u, 241u, 481u}) {
        const std::string xs(n, 'x');
        const std::string quotes(n, '"');
        MsgBoxSettings s;
        s.txtPrompt = xs + "\"\r\n" + quotes + "\n" + xs;
        s.EncodePromptText();
        EXPECT_EQ(s.strPromptExpr, "\"" + xs + "\"\"\" & vbCrLf & \"" + quotes + quotes +
                                       "\" & vbLf & \"" + xs + "\"")
            << n;
    }
}

TEST(EncodePrompt, QuoteOfMoreThanOneCharacterIsDoubledWhole) {
    MsgBoxSettings s;
    s.strQuote = "''";
    s.txtPrompt = "a''b'c";
    s.EncodePromptText();
    EXPECT_EQ(s.strPromptExpr, "''a''''b'c''");
}

// The expression as the language's rules give it, built line by line with no care for speed.
std::string ReferenceExpression(const MsgBoxSettings& s, const std::string& text) {
    std::vector<std::string> terms;
    std::string line;
    auto endLine = [&] {
        if (line.empty())
            return;
        std::string literal = s.strQuote;
        for (std::size_t i = 0; i < line.size();) {
            if (!s.strQuote.empty() && line.compare(i, s.strQuote.size(), s.strQuote) == 0) {
                literal += s.strQuote + s.strQuote;
                i += s.strQuote.size();
            } else {
                literal += line[i++];
            }
        }
        terms.push_back(literal + s.strQuote);
        line.clear();
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r' && text[i] != '\n') {
            line += text[i];
            continue;
        }
        endLine();
        if (text.compare(i, 2, "\r\n") == 0) {
            terms.push_back(s.strCrLfName);
            ++i;
        } else {
            terms.push_back(text[i] == '\r' ? "vbCr" : "vbLf");
        }
    }
    endLine();
    if (terms.empty())
        return s.strQuote + s.strQuote;
    std::string expr = terms[0];
    for (std::size_t i = 1; i < terms.size(); ++i)
        expr += s.strConcat + terms[i];
    return expr;
}

TEST(EncodePrompt, RandomTextsMatchTheLanguageRules) {
    // Texts dense in quotes, breaks and multi-byte characters, of lengths around the steps
    // and blocks the expression is written in, and with other quotes and joining pieces.
    const std::vector<std::string> bits{"a",
                                        "bc",
                                        "\"",
                                        "\r",
                                        "\n",
                                        "\r\n",
                                        "\xC3\xA9",
                                        " ",
                                        "\t",
                                        "'",
                                        std::string(15, 'x'),
                                        std::string(40, 'y')};
    MsgBoxSettings usual;
    MsgBoxSettings twoQuote;
    twoQuote.strQuote = "''";
    MsgBoxSettings longJoin;
    longJoin.strConcat = " & _\r\n\t\t\t\t\t\t\t\t\t\t\t\t";
    longJoin.strCrLfName = "vbNewLine";
    std::mt19937 rng(7);
    for (int round = 0; round < 3000; ++round) {
        std::string text;
        const std::size_t pieces = rng() % (round % 10 == 0 ? 400 : 40);
        for (std::size_t i = 0; i < pieces; ++i)
            text += bits[rng() % bits.size()];
        for (MsgBoxSettings* s : {&usual, &twoQuote, &longJoin}) {
            s->txtPrompt = text;
            s->EncodePromptText();
            ASSERT_EQ(s->strPromptExpr, ReferenceExpression(*s, text))
                << testing::PrintToString(text);
            // Appended after what a string holds already, the expression is the same.
            std::string after = "x = ";
            s->AppendStringExpression(after, text);
            ASSERT_EQ(after, "x = " + s->strPromptExpr);
        }
    }
}

} // namespace
} // namespace qvn
