// Long statements: every physical line within the language's limit, continued where the
// rules allow, and the same statement once the continuations are read back; or, where no
// arrangement fits, a refusal.
#include "composition/msgbox_settings.h"
#include "composition/statement_lines.h"

#include <gtest/gtest.h>

#include <functional>

namespace qvn {
namespace {

std::string Compose(MsgBoxSettings& s) {
    s.EncodePromptText();
    s.BuildButtonsExpression();
    s.BuildMsgBoxCode();
    return s.strMsgBoxCode;
}

std::string Repeat(const std::string& text, std::size_t times) {
    std::string out;
    for (std::size_t i = 0; i < times; ++i)
        out += text;
    return out;
}

std::vector<std::string> Lines(const std::string& code) {
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
    const auto lines = Lines(code);
    for (const auto& line : lines) {
        EXPECT_LE(line.size(), kMaxLineBytes) << line.substr(0, 60);
        EXPECT_TRUE(ValidUtf8(line)) << "a character was cut: " << line.substr(0, 60);
    }
    std::size_t used = 0;
    EXPECT_EQ(ReadBack(lines, used), GetParam().statement);
    EXPECT_EQ(used, GetParam().lines);
    EXPECT_LE(used, static_cast<std::size_t>(kMaxLineContinuations) + 1);
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
