#include "builder/frm_main.h"
#include "builder/paste_fit.h"
#include "builder/tests/fakes.h"
#include "builder/tests/paste_fit_cases.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qvn::test {
namespace {

using layout::kNoIndex;
using layout::RowOf;
namespace ctl = layout::ctl;
using Lines = std::vector<std::string>;

// Paste through the window into a module, as a user would: the prompt "Hi", and with a
// variable name the "Variable Return" shape.
struct Pasted {
    Lines module;
    std::vector<std::string> messages;
    std::vector<std::pair<long, std::string>> inserted;
};

Pasted PasteInto(Lines module, long caret, const std::string& variable,
                 std::vector<Lines> others = {}, IdeStep failAt = IdeStep::None,
                 const std::string& resultType = "VbMsgBoxResult", int pastes = 1) {
    FakeServices services;
    frmMain form{services};
    FakeConnect connect;
    auto ide = std::make_shared<FakeIde>();
    services.form = &form;
    form.Connect = &connect;
    form.VBInstance = ide;
    form.Load();
    ide->log.module = std::move(module);
    ide->log.otherModules = std::move(others);
    ide->log.startLine = caret;
    ide->log.failAt = failAt;
    ide->log.resultType = resultType;
    FormModel& m = form.Model();
    m.UserFocus(RowOf(ctl::txtPrompt));
    m.UserTyped(RowOf(ctl::txtPrompt), "Hi");
    if (!variable.empty()) {
        // A box with one button has no result worth keeping: the shape needs two.
        m.UserClick(RowOf(ctl::optButtons, 1));
        m.UserClick(RowOf(ctl::optCodeOption, 1));
        m.UserFocus(RowOf(ctl::txtVarName));
        m.UserTyped(RowOf(ctl::txtVarName), variable);
    }
    for (int i = 0; i < pastes; ++i) {
        m.UserClick(RowOf(ctl::cmdPaste, kNoIndex));
    }
    Pasted out{ide->log.module, {}, ide->log.inserted};
    for (const auto& message : services.messages) {
        out.messages.push_back(message.text);
    }
    return out;
}

TEST(PasteFit, IndentsLikeTheCodeAroundTheCaret) {
    for (const auto& c : IndentCases()) {
        SCOPED_TRACE(c.what);
        const Pasted pasted = PasteInto(c.module, c.caret, "");
        EXPECT_TRUE(pasted.messages.empty());
        EXPECT_EQ(pasted.module, c.expected);
    }
}

TEST(PasteFit, CaseLinesKeepTheirTabAfterThePrefix) {
    EXPECT_EQ(IndentCode("Select Case r\r\n\r\n\tCase vbOK\r\n\r\nEnd Select\r\n", "  ", ""),
              "  Select Case r\r\n\r\n  \tCase vbOK\r\n\r\n  End Select\r\n");
    EXPECT_EQ(IndentCode("a\r\nb", "", ""), "a\r\nb");
    EXPECT_EQ(IndentCode("a = 1", "\t", "Dim a As Integer"), "\tDim a As Integer\r\n\ta = 1");
}

struct DeclarationCase {
    const char* what;
    Lines module;
    long caret;
    std::vector<Lines> others;
    bool declared; // whether Paste writes the Dim line
};

TEST(PasteFit, DeclaresTheVariableOnlyWhereNothingElseDoes) {
    const Lines body = {"    Go", "End Sub"};
    auto module = [&](Lines head) {
        head.insert(head.end(), body.begin(), body.end());
        return head;
    };
    const std::vector<DeclarationCase> cases = {
        {"Option Explicit, nothing declares it",
         module({"Option Explicit", "Sub A()"}),
         3,
         {},
         true},
        {"no Option Explicit", module({"Sub A()"}), 2, {}, false},
        {"declared in the procedure",
         module({"Option Explicit", "Sub A()", "    Dim Answer"}),
         4,
         {},
         false},
        {"a parameter",
         module({"Option Explicit", "Sub A(ByVal n As Long, Optional answer)"}),
         3,
         {},
         false},
        {"in a comma list",
         module({"Option Explicit", "Sub A()", "  Dim a(1 To 2), answer%"}),
         4,
         {},
         false},
        {"the function's own name", module({"Option Explicit", "Function Answer()"}), 3, {}, false},
        {"at module level",
         module({"Option Explicit", "Private answer As Long", "Sub A()"}),
         4,
         {},
         false},
        {"Public in another module",
         module({"Option Explicit", "Sub A()"}),
         3,
         {{"Public answer As Integer"}},
         false},
        {"Private in another module",
         module({"Option Explicit", "Sub A()"}),
         3,
         {{"Private answer As Integer", "Dim answer2"}},
         true},
        {"only in another procedure",
         {"Option Explicit", "Sub B()", "  Dim answer", "End Sub", "Sub A()", "    Go", "End Sub"},
         6,
         {},
         true},
        {"the caret in the declarations section",
         {"Option Explicit", "", "Sub A()", "End Sub"},
         2,
         {},
         false},
        {"the caret on the Sub line", module({"Option Explicit", "Sub A()"}), 2, {}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const Pasted pasted = PasteInto(c.module, c.caret, "answer", c.others);
        EXPECT_TRUE(pasted.messages.empty());
        ASSERT_EQ(pasted.inserted.size(), 1u);
        const std::string code = "answer = MsgBox(\"Hi\", vbOKCancel)";
        const auto& text = pasted.inserted[0].second;
        if (c.declared) {
            EXPECT_EQ(text, "    Dim answer As VbMsgBoxResult\r\n    " + code);
        } else {
            EXPECT_EQ(text.find("Dim"), std::string::npos) << text;
        }
    }
}

TEST(PasteFit, PastingTwiceDeclaresOnce) {
    const Pasted pasted = PasteInto({"Option Explicit", "Sub A()", "    Go", "End Sub"}, 3,
                                    "answer", {}, IdeStep::None, "Integer", 2);
    // The fake's caret stays on line 3, so the second code lands above the first one's Dim.
    EXPECT_EQ(pasted.module,
              (Lines{"Option Explicit", "Sub A()", "    answer = MsgBox(\"Hi\", vbOKCancel)",
                     "    Dim answer As Integer", "    answer = MsgBox(\"Hi\", vbOKCancel)",
                     "    Go", "End Sub"}));
}

// Reading the module is optional: when any read fails, the code goes in exactly as
// generated, in one insertion and without a message.
TEST(PasteFit, AFailingReadInsertsTheCodeAsGenerated) {
    for (IdeStep step :
         {IdeStep::Lines, IdeStep::ProcOfLine, IdeStep::ProcBodyLine,
          IdeStep::CountOfDeclarationLines, IdeStep::ProjectModules, IdeStep::MsgBoxResultType}) {
        SCOPED_TRACE(static_cast<int>(step));
        const Pasted pasted =
            PasteInto({"Option Explicit", "Sub A()", "    Go", "End Sub"}, 3, "answer", {}, step);
        EXPECT_TRUE(pasted.messages.empty());
        ASSERT_EQ(pasted.inserted.size(), 1u);
        EXPECT_EQ(pasted.inserted[0].second, "answer = MsgBox(\"Hi\", vbOKCancel)");
    }
}

TEST(PasteFit, OnlyPlainNamesAreDeclared) {
    for (const char* name : {"answer", "a_1", "R2"})
        EXPECT_TRUE(IsPlainName(name)) << name;
    for (const char* name : {"", "1a", "x.y", "a(1)", "_a", "Dim", "end", "a b"})
        EXPECT_FALSE(IsPlainName(name)) << name;
}

} // namespace
} // namespace qvn::test
