#include "composition/msgbox_edit.h"

#include "composition/tests/compose.h"

#include <gtest/gtest.h>

namespace qvn {
namespace {

// The module's lines as the editing cases write them: one string, lines joined by '\n'.
std::vector<std::string> ModuleLines(std::string_view module) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = module.find('\n', start);
        lines.emplace_back(module.substr(start, end - start));
        if (end == std::string_view::npos) {
            return lines;
        }
        start = end + 1;
    }
}

std::string WithCrLf(std::string_view text) {
    std::string out;
    for (char c : text) {
        if (c == '\n') {
            out += '\r';
        }
        out += c;
    }
    return out;
}

// The box the user leaves after editing: the read settings with the buttons changed.
struct Change {
    int buttonSet = -1; // -1 keeps the set read
};

struct EditCase {
    const char* name;
    const char* module;
    long caret;
    Change change;
    // The statement's new lines (joined by '\n'), or a piece of the refusal.
    const char* rewritten;
    const char* refusal;
};

const EditCase kCases[] = {
    {"a hand-written box, indented, with a comment, becomes Yes/No/Cancel",
     "Sub S()\n    MsgBox \"Save?\", vbYesNo, \"Ed\" ' ask\nEnd Sub",
     2,
     {3},
     "    MsgBox \"Save?\", vbYesNoCancel, \"Ed\" ' ask",
     nullptr},
    {"the caret on a continuation line edits the whole statement",
     "MsgBox \"a\", _\n  vbOKCancel\nx = 1",
     2,
     {},
     "MsgBox \"a\", vbOKCancel",
     nullptr},
    {"an assignment alone may take any shape",
     "answer = MsgBox(\"Go?\", vbYesNo)",
     1,
     {},
     "answer = MsgBox(\"Go?\", vbYesNo)",
     nullptr},
    {"the call inside an If's condition; the test and the body stay",
     "If MsgBox(\"Go?\", vbYesNo + vbQuestion) = vbYes Then\n    Go\nEnd If",
     1,
     {3},
     "If MsgBox (\"Go?\", vbQuestion + vbYesNoCancel) = vbYes Then",
     nullptr},
    {"the call inside a one-line If with a second statement",
     "If x Then MsgBox \"Stop\": Exit Sub",
     1,
     {1},
     "If x Then MsgBox \"Stop\", vbOKCancel: Exit Sub",
     nullptr},
    {"a kept Case line names a button the new set lacks",
     "r = MsgBox(\"Go?\", vbYesNo)\nSelect Case r\n\tCase vbNo\nEnd Select",
     1,
     {1},
     nullptr,
     "tests vbNo, but the new box has no No button"},
    {"a kept If test names a button the new set lacks",
     "If MsgBox(\"Go?\", vbYesNo) = vbNo Then Beep",
     1,
     {5},
     nullptr,
     "tests vbNo"},
    {"a prompt made of a variable", "MsgBox strText, vbYesNo", 1, {}, nullptr, "strText"},
    {"no message box on the line",
     "x = 1\nMsgBox \"a\"",
     1,
     {},
     nullptr,
     "There is no message box on this line to edit."},
    {"a MsgBox inside a larger expression", "Debug.Print MsgBox(\"a\")", 1, {}, nullptr, ""},
};

TEST(MsgBoxEdit, FindsTheBoxAndRewritesOnlyWhatItMay) {
    for (const EditCase& c : kCases) {
        SCOPED_TRACE(c.name);
        auto found = FindMsgBoxAt(ModuleLines(c.module), c.caret);
        if (auto* refusal = std::get_if<ReadRefusal>(&found)) {
            ASSERT_NE(c.refusal, nullptr) << refusal->sentence;
            EXPECT_NE(refusal->sentence.find(c.refusal), std::string::npos) << refusal->sentence;
            continue;
        }
        MsgBoxSite site = std::get<MsgBoxSite>(found);
        MsgBoxSettings box = site.settings;
        if (c.change.buttonSet >= 0) {
            box.intButtonSet = static_cast<std::int16_t>(c.change.buttonSet);
        }
        test::Compose(box);
        auto rewrite = RewriteMsgBox(site, box);
        if (auto* refusal = std::get_if<ReadRefusal>(&rewrite)) {
            ASSERT_NE(c.refusal, nullptr) << refusal->sentence;
            EXPECT_NE(refusal->sentence.find(c.refusal), std::string::npos) << refusal->sentence;
            continue;
        }
        ASSERT_NE(c.rewritten, nullptr) << "not refused";
        EXPECT_EQ(std::get<MsgBoxRewrite>(rewrite).text, WithCrLf(c.rewritten));
    }
}

TEST(MsgBoxEdit, TheStatementsLinesAndTheContextsShapeAreWhatPasteReplaces) {
    auto found = FindMsgBoxAt(ModuleLines("Sub S()\nx = 1: MsgBox(\"a\"): y = 2\nEnd Sub"), 2);
    ASSERT_TRUE(std::holds_alternative<MsgBoxSite>(found));
    MsgBoxSite site = std::get<MsgBoxSite>(found);
    EXPECT_EQ(site.kind, MsgBoxSite::Kind::Call);
    EXPECT_EQ(site.firstLine, 2);
    EXPECT_EQ(site.lineCount, 1);
    EXPECT_EQ(site.settings.intCodeOption, kCodeStandard);

    // A second Paste replaces what the first one wrote.
    MsgBoxSettings box = site.settings;
    box.txtPrompt = "A much longer prompt";
    test::Compose(box);
    auto first = std::get<MsgBoxRewrite>(RewriteMsgBox(site, box));
    ApplyRewrite(site, first);
    EXPECT_EQ(site.text, "x = 1: MsgBox \"A much longer prompt\": y = 2");
    box.txtPrompt = "b";
    test::Compose(box);
    EXPECT_EQ(std::get<MsgBoxRewrite>(RewriteMsgBox(site, box)).text, "x = 1: MsgBox \"b\": y = 2");

    // An assignment a Select Case tests keeps its shape; the block's Case lines are kept.
    found = FindMsgBoxAt(
        ModuleLines(
            "r = MsgBox(\"Go?\", vbYesNoCancel)\n' why\nSelect Case r\nCase vbYes\nEnd Select"),
        1);
    ASSERT_TRUE(std::holds_alternative<MsgBoxSite>(found));
    site = std::get<MsgBoxSite>(found);
    EXPECT_EQ(site.kind, MsgBoxSite::Kind::Call);
    EXPECT_EQ(site.settings.intCodeOption, kCodeVariableReturn);
    EXPECT_EQ(site.settings.txtVarName, "r");
    EXPECT_EQ(site.keptResults, std::vector<int>{5});
}

} // namespace
} // namespace qvn
