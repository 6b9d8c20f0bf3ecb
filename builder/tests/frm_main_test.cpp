#include "builder/frm_main.h"
#include "builder/tests/fakes.h"

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <set>
#include <string>
#include <vector>

namespace qvn::test {
namespace {

using layout::kNoIndex;
using layout::RowOf;
namespace ctl = layout::ctl;

constexpr char kCrLf[] = "\r\n";

class FrmMainTest : public ::testing::Test {
protected:
    FrmMainTest() {
        services.form = &form;
        form.Connect = &connect;
        form.VBInstance = ide;
        form.Load();
    }

    FormModel& M() { return form.Model(); }
    ControlRef C(layout::ControlName name, int index = kNoIndex) { return M().Ctl(name, index); }
    void Click(layout::ControlName name, int index = kNoIndex) {
        M().UserClick(RowOf(name, index));
    }
    void Type(layout::ControlName name, const std::string& text) {
        M().UserFocus(RowOf(name));
        M().UserTyped(RowOf(name), text);
    }
    const MsgBoxSettings& S() { return form.Settings(); }
    std::string FocusName() {
        auto row = M().FocusRow();
        if (!row) {
            return "(none)";
        }
        const auto& entry = FormModel::Layout(*row);
        return std::string(entry.NameText()) +
               (entry.index == kNoIndex ? "" : " " + std::to_string(entry.index));
    }

    FakeServices services;
    frmMain form{services};
    FakeConnect connect;
    std::shared_ptr<FakeIde> ide = std::make_shared<FakeIde>();
};

struct ControlExpectation {
    layout::ControlName name;
    int index;
    bool enabled;
    bool visible;
    int value;
};

void ExpectLoadState(frmMain& form) {
    auto& m = form.Model();
    EXPECT_EQ(form.Caption(), "Quorvane  v2.0");
    const std::vector<ControlExpectation> rows{
        {ctl::optButtons, 0, true, true, 1},
        {ctl::optButtons, 4, true, true, 0},
        {ctl::optButtons, 5, true, true, 0},
        {ctl::optDefBtn, 0, true, true, 1},
        {ctl::optDefBtn, 1, false, false, 0},
        {ctl::optDefBtn, 2, false, false, 0},
        {ctl::optDefBtn, 3, false, false, 0},
        {ctl::optIcons, 0, true, true, 1},
        {ctl::optIcons, 3, true, true, 0},
        {ctl::optCodeOption, 0, true, true, 1},
        {ctl::optCodeOption, 1, false, true, 0},
        {ctl::optCodeOption, 2, false, true, 0},
        {ctl::lblVarName, kNoIndex, false, true, 0},
        {ctl::txtVarName, kNoIndex, false, true, 0},
        {ctl::chkAddSelect, kNoIndex, false, true, 0},
        {ctl::chkNotEqual, kNoIndex, false, true, 0},
        {ctl::chkHelp, kNoIndex, true, true, 0},
        {ctl::txtHelpFile, kNoIndex, false, true, 0},
        {ctl::txtHelpContext, kNoIndex, false, true, 0},
        {ctl::cmdBrowse, kNoIndex, false, true, 0},
        {ctl::lblHelpFile, kNoIndex, false, true, 0},
        {ctl::lblHelpContext, kNoIndex, false, true, 0},
        {ctl::chkOptValOnly, kNoIndex, true, true, 0},
        {ctl::chkSysModal, kNoIndex, true, true, 0},
        {ctl::txtTitle, kNoIndex, true, true, 0},
        {ctl::txtPrompt, kNoIndex, true, true, 0},
        {ctl::cmdPaste, kNoIndex, true, true, 0},
        {ctl::cmdExit, kNoIndex, true, true, 0},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(std::string(layout::NameText(r.name)) + " " + std::to_string(r.index));
        auto c = m.Ctl(r.name, r.index);
        EXPECT_EQ(c.Enabled(), r.enabled);
        EXPECT_EQ(c.Visible(), r.visible);
        EXPECT_EQ(c.Value(), r.value);
        EXPECT_EQ(c.Text(), "");
    }
    EXPECT_EQ(m.Ctl(ctl::optDefBtn, 0).Caption(), "OK");
    EXPECT_EQ(m.Ctl(ctl::optDefBtn, 1).Caption(), "Button 2");
    EXPECT_EQ(m.Ctl(ctl::optDefBtn, 3).Caption(), "Button 4");
    const auto& s = form.Settings();
    EXPECT_EQ(s.intButtonSet, 0);
    EXPECT_EQ(s.intDefButton, 0);
    EXPECT_EQ(s.intIcon, 0);
    EXPECT_EQ(s.intCodeOption, 0);
    EXPECT_EQ(s.strTitle, "");
    EXPECT_EQ(s.strPromptExpr, "");
    EXPECT_EQ(s.strButtonsExpr, "");
    EXPECT_EQ(s.lngButtonsValue, 0);
    EXPECT_EQ(s.strMsgBoxCode, "");
    EXPECT_EQ(s.strQuote, "\"");
    EXPECT_EQ(s.strConcat, " & ");
    EXPECT_EQ(s.strCrLfName, "vbCrLf");
    EXPECT_EQ(s.strLineBreak, "\r\n");
    EXPECT_EQ(s.strIndent, "\t");
    ASSERT_TRUE(m.FocusRow().has_value());
    EXPECT_TRUE(m.CanFocus(*m.FocusRow()));
}

TEST_F(FrmMainTest, LoadSetsTheStartStateAndAsksTheAddinToShowOnce) {
    ExpectLoadState(form);
    EXPECT_EQ(connect.shows, 1);
    EXPECT_EQ(connect.hides, 0);
    // The first tab stop: the unselected icon options before it take no tab.
    EXPECT_EQ(FocusName(), "optIcons 0");
    EXPECT_TRUE(services.messages.empty());
}

TEST_F(FrmMainTest, ExitUnloadsHidesOnceAndTheNextLoadStartsAfresh) {
    Click(ctl::optButtons, 4);
    Click(ctl::optIcons, 2);
    Click(ctl::chkHelp);
    Type(ctl::txtHelpFile, "x.hlp");
    Type(ctl::txtTitle, "T");
    Type(ctl::txtPrompt, "P");
    Click(ctl::optCodeOption, 1);

    Click(ctl::cmdExit);
    EXPECT_EQ(services.unloadRequests, 1);
    EXPECT_FALSE(form.IsLoaded());
    EXPECT_EQ(connect.hides, 1);

    // An unloaded window takes no input and a second unload does nothing.
    Click(ctl::optButtons, 3);
    form.Unload();
    EXPECT_EQ(connect.hides, 1);

    form.Load();
    EXPECT_TRUE(form.IsLoaded());
    EXPECT_EQ(connect.shows, 2);
    ExpectLoadState(form);
}

TEST_F(FrmMainTest, ClosingOtherwiseThanByExitAlsoHidesExactlyOnce) {
    form.Unload();
    form.Unload();
    EXPECT_EQ(connect.hides, 1);
    EXPECT_EQ(services.unloadRequests, 0);
}

struct RelabelCase {
    int set;
    bool help;
    std::array<const char*, 4> captions; // nullptr: hidden with an empty caption
};

TEST_F(FrmMainTest, ChoosingAButtonSetRelabelsTheDefaultButtons) {
    const std::vector<RelabelCase> cases{
        {0, false, {"OK", nullptr, nullptr, nullptr}},
        {1, false, {"OK", "Cancel", nullptr, nullptr}},
        {2, false, {"Abort", "Retry", "Ignore", nullptr}},
        {3, false, {"Yes", "No", "Cancel", nullptr}},
        {4, false, {"Yes", "No", nullptr, nullptr}},
        {5, false, {"Retry", "Cancel", nullptr, nullptr}},
        {0, true, {"OK", "Help", nullptr, nullptr}},
        {1, true, {"OK", "Cancel", "Help", nullptr}},
        {2, true, {"Abort", "Retry", "Ignore", "Help"}},
        {3, true, {"Yes", "No", "Cancel", "Help"}},
        {4, true, {"Yes", "No", "Help", nullptr}},
        {5, true, {"Retry", "Cancel", "Help", nullptr}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("set " + std::to_string(c.set) + (c.help ? " with Help" : ""));
        form.Unload();
        form.Load();
        if (c.help) {
            Click(ctl::chkHelp);
        }
        // Start from a three-button set with its last default button chosen.
        const int start = c.set == 2 ? 3 : 2;
        Click(ctl::optButtons, start);
        Click(ctl::optDefBtn, 2);
        ASSERT_EQ(S().intDefButton, 2);
        Click(ctl::optButtons, c.set);
        EXPECT_EQ(S().intButtonSet, c.set);
        EXPECT_EQ(S().intDefButton, 0);
        EXPECT_EQ(M().SelectedIndex(ctl::optDefBtn), 0);
        for (int i = 0; i < 4; ++i) {
            auto option = C(ctl::optDefBtn, i);
            const bool shown = c.captions[static_cast<std::size_t>(i)] != nullptr;
            EXPECT_EQ(option.Caption(), shown ? c.captions[static_cast<std::size_t>(i)] : "")
                << "option " << i;
            EXPECT_EQ(option.Visible(), shown) << "option " << i;
            EXPECT_EQ(option.Enabled(), shown) << "option " << i;
        }
        EXPECT_EQ(C(ctl::optCodeOption, 1).Enabled(), c.set != 0);
        EXPECT_EQ(C(ctl::optCodeOption, 2).Enabled(), c.set != 0);
    }
}

TEST_F(FrmMainTest, HelpCheckBoxEnablesTheHelpInputsButRelabelsOnlyOnTheNextSet) {
    const std::vector<layout::ControlName> inputs{ctl::cmdBrowse, ctl::lblHelpFile,
                                                  ctl::txtHelpFile, ctl::lblHelpContext,
                                                  ctl::txtHelpContext};
    Click(ctl::optButtons, 4);
    Click(ctl::chkHelp);
    EXPECT_EQ(C(ctl::chkHelp).Value(), 1);
    for (const auto& name : inputs) {
        EXPECT_TRUE(C(name).Enabled()) << layout::NameText(name);
    }
    EXPECT_FALSE(C(ctl::optDefBtn, 2).Visible());
    Type(ctl::txtHelpFile, "app.hlp");
    Type(ctl::txtHelpContext, "7");

    Click(ctl::optButtons, 1);
    EXPECT_EQ(C(ctl::optDefBtn, 2).Caption(), "Help");
    EXPECT_TRUE(C(ctl::optDefBtn, 2).Visible());

    Click(ctl::chkHelp);
    EXPECT_EQ(C(ctl::chkHelp).Value(), 0);
    for (const auto& name : inputs) {
        EXPECT_FALSE(C(name).Enabled()) << layout::NameText(name);
    }
    // Disabled inputs keep what was typed; the Help option stays until a set is chosen.
    EXPECT_EQ(C(ctl::txtHelpFile).Text(), "app.hlp");
    EXPECT_EQ(C(ctl::txtHelpContext).Text(), "7");
    EXPECT_EQ(C(ctl::optDefBtn, 2).Caption(), "Help");
    Click(ctl::optButtons, 5);
    EXPECT_FALSE(C(ctl::optDefBtn, 2).Visible());
    EXPECT_EQ(C(ctl::optDefBtn, 2).Caption(), "");
}

TEST_F(FrmMainTest, CodeShapesEnableTheirOwnControls) {
    Click(ctl::optButtons, 3);
    EXPECT_EQ(M().SelectedIndex(ctl::optCodeOption), 0);

    Click(ctl::optCodeOption, 1);
    EXPECT_EQ(S().intCodeOption, 1);
    EXPECT_EQ(C(ctl::txtVarName).Text(), "response");
    EXPECT_TRUE(C(ctl::txtVarName).Enabled());
    EXPECT_TRUE(C(ctl::lblVarName).Enabled());
    EXPECT_TRUE(C(ctl::chkAddSelect).Enabled());
    EXPECT_FALSE(C(ctl::chkNotEqual).Enabled());

    // A second click on the chosen shape keeps the typed name.
    Type(ctl::txtVarName, "answer");
    Click(ctl::optCodeOption, 1);
    EXPECT_EQ(C(ctl::txtVarName).Text(), "answer");

    Click(ctl::chkAddSelect);
    Click(ctl::optCodeOption, 2);
    EXPECT_EQ(S().intCodeOption, 2);
    EXPECT_EQ(C(ctl::txtVarName).Text(), "");
    EXPECT_FALSE(C(ctl::txtVarName).Enabled());
    EXPECT_FALSE(C(ctl::chkAddSelect).Enabled());
    EXPECT_EQ(C(ctl::chkAddSelect).Value(), 0);
    EXPECT_TRUE(C(ctl::chkNotEqual).Enabled());
    EXPECT_EQ(C(ctl::chkNotEqual).Value(), 0);

    Click(ctl::chkNotEqual);
    Click(ctl::optCodeOption, 1);
    EXPECT_EQ(C(ctl::txtVarName).Text(), "response");
    EXPECT_EQ(C(ctl::chkNotEqual).Value(), 0);
    EXPECT_FALSE(C(ctl::chkNotEqual).Enabled());

    Click(ctl::chkAddSelect);
    Click(ctl::optButtons, 0);
    EXPECT_EQ(M().SelectedIndex(ctl::optCodeOption), 0);
    EXPECT_EQ(S().intCodeOption, 0);
    EXPECT_FALSE(C(ctl::optCodeOption, 1).Enabled());
    EXPECT_FALSE(C(ctl::optCodeOption, 2).Enabled());
    EXPECT_EQ(C(ctl::txtVarName).Text(), "");
    EXPECT_FALSE(C(ctl::txtVarName).Enabled());
    EXPECT_EQ(C(ctl::chkAddSelect).Value(), 0);
    EXPECT_FALSE(C(ctl::chkAddSelect).Enabled());

    Click(ctl::optButtons, 5);
    EXPECT_TRUE(C(ctl::optCodeOption, 1).Enabled());
    EXPECT_TRUE(C(ctl::optCodeOption, 2).Enabled());
    EXPECT_EQ(M().SelectedIndex(ctl::optCodeOption), 0);
}

TEST_F(FrmMainTest, IconPicturesSelectTheirOptionAndTakeItTheFocus) {
    for (int index : {3, 1, 4, 2, 0}) {
        Click(ctl::imgIcons, index);
        EXPECT_EQ(M().SelectedIndex(ctl::optIcons), index);
        EXPECT_EQ(S().intIcon, index);
        EXPECT_EQ(FocusName(), "optIcons " + std::to_string(index));
    }
}

TEST_F(FrmMainTest, TitleAndPromptFollowTheirBoxes) {
    Type(ctl::txtTitle, "Editor");
    EXPECT_EQ(S().strTitle, "Editor");
    Type(ctl::txtTitle, "");
    EXPECT_EQ(S().strTitle, "");
    Type(ctl::txtPrompt, "a\r\nb");
    EXPECT_EQ(S().strPromptExpr, "\"a\" & vbCrLf & \"b\"");
}

TEST_F(FrmMainTest, PreviewShowsThePromptAsTypedWithTheNumericStyleAndTheTitle) {
    Click(ctl::optButtons, 4);
    Click(ctl::optIcons, 2);
    Click(ctl::chkSysModal);
    Type(ctl::txtPrompt, "Line one\r\nLine two");
    Click(ctl::cmdPreview);
    ASSERT_EQ(services.messages.size(), 1u);
    EXPECT_EQ(services.messages[0].text, "Line one\r\nLine two");
    EXPECT_EQ(services.messages[0].style, 4 + 32 + 4096);
    // An empty title is passed on as an empty title, not left out.
    ASSERT_TRUE(services.messages[0].title.has_value());
    EXPECT_EQ(*services.messages[0].title, "");
    EXPECT_EQ(S().strMsgBoxCode, "");

    Type(ctl::txtTitle, "Hello");
    Click(ctl::chkHelp);
    Type(ctl::txtHelpFile, "half filled"); // Preview makes no checks
    Click(ctl::cmdPreview);
    ASSERT_EQ(services.messages.size(), 2u);
    EXPECT_EQ(services.messages[1].title, std::optional<std::string>("Hello"));
    EXPECT_EQ(services.messages[1].style, 4 + 32 + 4096 + 16384);
}

TEST_F(FrmMainTest, PreviewWithEverythingEmptyShowsAnEmptyBox) {
    Click(ctl::cmdPreview);
    ASSERT_EQ(services.messages.size(), 1u);
    EXPECT_EQ(services.messages[0].text, "");
    EXPECT_EQ(services.messages[0].style, 0);
    EXPECT_EQ(services.messages[0].title, std::optional<std::string>(""));
}

TEST_F(FrmMainTest, HelpOpensTheContentsAndReportsFailures) {
    Click(ctl::cmdHelp);
    ASSERT_EQ(services.helpCalls.size(), 1u);
    EXPECT_EQ(services.helpCalls[0].first, "Qvn.hlp");
    EXPECT_EQ(services.helpCalls[0].second, 3u);
    EXPECT_TRUE(services.messages.empty());

    services.helpFailure = "The system cannot find the file specified.";
    Click(ctl::cmdHelp);
    ASSERT_EQ(services.messages.size(), 1u);
    EXPECT_EQ(services.messages[0].text, "The system cannot find the file specified.");
    EXPECT_EQ(services.messages[0].style, 0);
    EXPECT_EQ(services.messages[0].title, std::nullopt);

    services.helpFailure = "";
    Click(ctl::cmdHelp);
    ASSERT_EQ(services.messages.size(), 2u);
    EXPECT_EQ(services.messages[1].text, "Unable to display Help Contents.");
    EXPECT_EQ(services.messages[1].title, std::nullopt);

    // A runtime's own text never reaches the user.
    services.helpThrows = true;
    Click(ctl::cmdHelp);
    services.helpThrows = false;
    ASSERT_EQ(services.messages.size(), 3u);
    EXPECT_EQ(services.messages[2].text, "Unable to display Help Contents.");

    form.HelpFile.clear();
    Click(ctl::cmdHelp);
    ASSERT_EQ(services.messages.size(), 4u);
    EXPECT_EQ(services.messages[3].text,
              "Unable to display Help Contents. The Help file is missing.");
    EXPECT_EQ(services.messages[3].style, 64);
    EXPECT_EQ(services.messages[3].title, std::optional<std::string>("Quorvane  v2.0"));
    EXPECT_EQ(services.helpCalls.size(), 4u);
}

TEST_F(FrmMainTest, BrowseTakesTheChosenFileAndACancelKeepsTheTypedName) {
    Click(ctl::cmdBrowse); // disabled while Help is off
    EXPECT_EQ(services.dialogCalls, 0);
    Click(ctl::chkHelp);
    Type(ctl::txtHelpFile, "typed.hlp");
    Type(ctl::txtHelpContext, "12");

    services.dialogAnswer.reset();
    Click(ctl::cmdBrowse);
    EXPECT_EQ(services.dialogCalls, 1);
    EXPECT_EQ(services.dialogTitle, "Select Help File for Message Box Help");
    EXPECT_EQ(services.dialogFilter, "Help (*.hlp)|*.hlp");
    EXPECT_EQ(C(ctl::txtHelpFile).Text(), "typed.hlp");

    services.dialogAnswer = "C:\\Help\\chosen.hlp";
    Click(ctl::cmdBrowse);
    EXPECT_EQ(C(ctl::txtHelpFile).Text(), "C:\\Help\\chosen.hlp");
    EXPECT_EQ(C(ctl::txtHelpContext).Text(), "12");
    EXPECT_EQ(C(ctl::chkHelp).Value(), 1);
}

// The three refusals, shared by Copy and Paste.
const std::string kHelpCheckText = std::string("The message box cannot be built as specified.") +
                                   kCrLf + kCrLf +
                                   "You must specify both a help file name and help context" +
                                   kCrLf + "if either one is specified.";
const std::string kVarNameText =
    std::string("The message box cannot be built as specified.") + kCrLf + kCrLf +
    "You must specify a variable name if selecting the " + kCrLf + "variable return code option.";
const std::string kDefButtonText = std::string("The message box cannot be built as specified.") +
                                   kCrLf + kCrLf + "The Help button returns no value to test." +
                                   kCrLf + "Choose another default button or another code option.";
const std::string kTooLongText =
    std::string("The code for this message box would be longer than one statement of the "
                "language allows.") +
    kCrLf + kCrLf + "Shorten the prompt, the title, the help file name or the variable name.";
const std::string kPasteText =
    std::string(kCrLf) + "A problem occurred while trying to paste into your project." + kCrLf +
    kCrLf + "A code pane or a project may not be open." + kCrLf + kCrLf +
    "Close QVN and be sure a project and code pane are open or copy "
    "to the clipboard.";

// Drives a window of its own by user input.
struct Driver {
    frmMain& form;
    void Click(layout::ControlName name, int index = kNoIndex) {
        form.Model().UserClick(RowOf(name, index));
    }
    void Type(layout::ControlName name, const std::string& text) {
        form.Model().UserTyped(RowOf(name), text);
    }
};

struct CheckCase {
    std::string what;
    std::function<void(Driver&)> setup;
    std::string title; // empty: the check passes
    std::string text;
};

TEST(FrmMainChecks, CopyAndPasteRefuseWithTheChecksInTheirOrder) {
    const std::vector<CheckCase> cases{
        {"file without context",
         [](auto& t) {
             t.Click(ctl::chkHelp);
             t.Type(ctl::txtHelpFile, "a.hlp");
         },
         "Help File Specification Error", kHelpCheckText},
        {"context without file",
         [](auto& t) {
             t.Click(ctl::chkHelp);
             t.Type(ctl::txtHelpContext, "5");
         },
         "Help File Specification Error", kHelpCheckText},
        {"both help texts, context not a number",
         [](auto& t) {
             t.Click(ctl::chkHelp);
             t.Type(ctl::txtHelpFile, "a.hlp");
             t.Type(ctl::txtHelpContext, "abc");
         },
         "", ""},
        {"blank help file is not empty",
         [](auto& t) {
             t.Click(ctl::chkHelp);
             t.Type(ctl::txtHelpFile, " ");
         },
         "Help File Specification Error", kHelpCheckText},
        {"file left in the disabled box",
         [](auto& t) {
             t.Click(ctl::chkHelp);
             t.Type(ctl::txtHelpFile, "a.hlp");
             t.Click(ctl::chkHelp);
         },
         "Help File Specification Error", kHelpCheckText},
        {"variable return without a name",
         [](auto& t) {
             t.Click(ctl::optButtons, 1);
             t.Click(ctl::optCodeOption, 1);
             t.Type(ctl::txtVarName, "");
         },
         "Variable Name Error", kVarNameText},
        {"if-then-else needs no name",
         [](auto& t) {
             t.Click(ctl::optButtons, 1);
             t.Click(ctl::optCodeOption, 2);
         },
         "", ""},
        {"help check before variable check",
         [](auto& t) {
             t.Click(ctl::optButtons, 1);
             t.Click(ctl::optCodeOption, 1);
             t.Type(ctl::txtVarName, "");
             t.Click(ctl::chkHelp);
             t.Type(ctl::txtHelpContext, "5");
         },
         "Help File Specification Error", kHelpCheckText},
        {"if-then-else on the Help button",
         [](auto& t) {
             t.Click(ctl::chkHelp);
             t.Click(ctl::optButtons, 4);
             t.Click(ctl::optDefBtn, 2);
             t.Click(ctl::optCodeOption, 2);
         },
         "Default Button Error", kDefButtonText},
        {"variable return may choose the Help button",
         [](auto& t) {
             t.Click(ctl::chkHelp);
             t.Click(ctl::optButtons, 4);
             t.Click(ctl::optDefBtn, 2);
             t.Click(ctl::optCodeOption, 1);
         },
         "", ""},
        {"help check before the default-button check",
         [](auto& t) {
             t.Click(ctl::chkHelp);
             t.Click(ctl::optButtons, 1);
             t.Click(ctl::optDefBtn, 2);
             t.Click(ctl::optCodeOption, 2);
             t.Type(ctl::txtHelpFile, "a.hlp");
         },
         "Help File Specification Error", kHelpCheckText},
        {"a prompt longer than one statement holds",
         [](auto& t) { t.Type(ctl::txtPrompt, std::string(30000, 'a')); }, "Code Too Long",
         kTooLongText},
        {"a long prompt continued over lines",
         [](auto& t) { t.Type(ctl::txtPrompt, std::string(5000, 'a')); }, "", ""},
        {"a variable name too long for a line",
         [](auto& t) {
             t.Click(ctl::optButtons, 1);
             t.Click(ctl::optCodeOption, 1);
             t.Type(ctl::txtVarName, std::string(1020, 'v'));
         },
         "Code Too Long", kTooLongText},
        {"help check before the length check",
         [](auto& t) {
             t.Type(ctl::txtPrompt, std::string(30000, 'a'));
             t.Click(ctl::chkHelp);
             t.Type(ctl::txtHelpFile, "a.hlp");
         },
         "Help File Specification Error", kHelpCheckText},
    };
    for (const auto& c : cases) {
        for (const bool paste : {false, true}) {
            SCOPED_TRACE(c.what + (paste ? " (Paste)" : " (Copy)"));
            FakeServices services;
            frmMain form{services};
            auto ide = std::make_shared<FakeIde>();
            form.VBInstance = ide;
            form.Load();
            Driver driver{form};
            c.setup(driver);
            services.clipboard = "old";
            driver.Click(paste ? ctl::cmdPaste : ctl::cmdCopy);
            if (c.title.empty()) {
                EXPECT_TRUE(services.messages.empty());
                const std::string& code = form.Settings().strMsgBoxCode;
                EXPECT_NE(code, "");
                if (paste) {
                    ASSERT_EQ(ide->log.inserted.size(), 1u);
                    EXPECT_EQ(ide->log.inserted[0].second, code);
                } else {
                    EXPECT_EQ(services.clipboard, std::optional<std::string>(code));
                }
                continue;
            }
            ASSERT_EQ(services.messages.size(), 1u);
            EXPECT_EQ(services.messages[0].title, std::optional<std::string>(c.title));
            EXPECT_EQ(services.messages[0].text, c.text);
            EXPECT_EQ(services.messages[0].style, 16);
            // Refused: nothing generated, nothing delivered.
            EXPECT_EQ(form.Settings().strMsgBoxCode, "");
            EXPECT_EQ(services.clipboard, std::optional<std::string>("old"));
            EXPECT_EQ(services.clearCalls, 0);
            EXPECT_EQ(ide->log.panesTaken, 0);
        }
    }
}

TEST_F(FrmMainTest, CopyPutsOnlyTheLatestCodeOnTheClipboard) {
    Type(ctl::txtPrompt, "Done");
    Type(ctl::txtTitle, "Status");
    Click(ctl::cmdCopy);
    EXPECT_EQ(services.clipboard, std::optional<std::string>("MsgBox \"Done\", , \"Status\""));
    Click(ctl::optButtons, 1);
    Click(ctl::optIcons, 4);
    Click(ctl::chkOptValOnly);
    Click(ctl::cmdCopy);
    EXPECT_EQ(services.clipboard, std::optional<std::string>("MsgBox \"Done\",  65, \"Status\""));
    EXPECT_TRUE(services.messages.empty());
    // The window stays as it was.
    EXPECT_TRUE(form.IsLoaded());
    EXPECT_EQ(C(ctl::txtPrompt).Text(), "Done");
    EXPECT_EQ(C(ctl::chkOptValOnly).Value(), 1);
}

TEST_F(FrmMainTest, ClipboardFailureIsReportedAndTheWindowStaysUsable) {
    const std::string copyText = std::string("The code could not be copied to the clipboard.") +
                                 kCrLf + kCrLf +
                                 "The clipboard may be in use by another program; try again, or "
                                 "use Paste.";
    Type(ctl::txtPrompt, "Hi");
    for (const bool clearFails : {true, false}) {
        services.messages.clear();
        services.clearFails = clearFails;
        services.setFails = !clearFails;
        Click(ctl::cmdCopy);
        ASSERT_EQ(services.messages.size(), 1u);
        EXPECT_EQ(services.messages[0].title, std::optional<std::string>("Copy Error"));
        EXPECT_EQ(services.messages[0].text, copyText);
        EXPECT_EQ(services.messages[0].style, 16);
    }
    services.clearFails = services.setFails = false;
    services.messages.clear();
    Click(ctl::cmdCopy);
    EXPECT_TRUE(services.messages.empty());
    EXPECT_EQ(services.clipboard, std::optional<std::string>("MsgBox \"Hi\""));
}

TEST_F(FrmMainTest, PasteInsertsBeforeTheSelectionStartAndReleasesThePane) {
    Type(ctl::txtPrompt, "Done");
    ide->log.startLine = 3;
    Click(ctl::cmdPaste);
    Click(ctl::cmdPaste);
    EXPECT_TRUE(services.messages.empty());
    ASSERT_EQ(ide->log.inserted.size(), 2u);
    EXPECT_EQ(ide->log.inserted[0], (std::pair<long, std::string>{3, "MsgBox \"Done\""}));
    EXPECT_EQ(ide->log.inserted[1], ide->log.inserted[0]);
    EXPECT_EQ(ide->log.panesTaken, 2);
    EXPECT_EQ(ide->log.livePanes, 0);
    EXPECT_EQ(ide->log.liveModules, 0);
    EXPECT_TRUE(form.IsLoaded());
}

// Every control name has a row, and the window registers a handler for exactly the controls
// whose events it handles.
TEST_F(FrmMainTest, EveryNameHasARowAndTheHandlersServeTheirControls) {
    for (int i = 0; i < layout::kControlNameCount; ++i) {
        const auto name = static_cast<layout::ControlName>(i);
        EXPECT_TRUE(FindRow(name) || FindRow(name, 0)) << layout::NameText(name) << " has no row";
    }
    std::set<std::string_view> handled;
    for (const auto name : M().HandlerNames()) {
        EXPECT_TRUE(handled.insert(layout::NameText(name)).second) << layout::NameText(name);
    }
    EXPECT_EQ(handled, (std::set<std::string_view>{"txtTitle", "txtPrompt", "optIcons", "optDefBtn",
                                                   "optButtons", "optCodeOption", "chkHelp",
                                                   "imgIcons", "cmdPreview", "cmdHelp", "cmdBrowse",
                                                   "cmdExit", "cmdCopy", "cmdPaste"}));
}

TEST_F(FrmMainTest, EveryFailingIdeOperationEndsInPasteError) {
    const std::vector<IdeStep> failures{
        IdeStep::ActiveCodePane, IdeStep::NoPane,      IdeStep::GetSelection,
        IdeStep::CodeModule,     IdeStep::InsertLines,
    };
    Type(ctl::txtPrompt, "Done");
    for (const IdeStep step : failures) {
        SCOPED_TRACE(static_cast<int>(step));
        services.messages.clear();
        ide->log.failAt = step;
        Click(ctl::cmdPaste);
        ASSERT_EQ(services.messages.size(), 1u);
        EXPECT_EQ(services.messages[0].title, std::optional<std::string>("Paste Error"));
        EXPECT_EQ(services.messages[0].text, kPasteText);
        EXPECT_EQ(services.messages[0].style, 16);
        EXPECT_EQ(ide->log.livePanes, 0);
        EXPECT_EQ(ide->log.liveModules, 0);
        EXPECT_TRUE(ide->log.inserted.empty());
        EXPECT_EQ(S().strMsgBoxCode, "MsgBox \"Done\"");
    }
    // An exception of another type is no failure of the IDE: it is not reported as one, and
    // the pane and the module are released on its way out all the same.
    for (const IdeStep step : {IdeStep::GetSelection, IdeStep::InsertLines, IdeStep::Lines}) {
        SCOPED_TRACE(static_cast<int>(step));
        services.messages.clear();
        ide->log.failAt = step;
        ide->log.failWithStdException = true;
        EXPECT_THROW(Click(ctl::cmdPaste), std::runtime_error);
        EXPECT_TRUE(services.messages.empty());
        EXPECT_EQ(ide->log.livePanes, 0);
        EXPECT_EQ(ide->log.liveModules, 0);
        EXPECT_TRUE(ide->log.inserted.empty());
    }
    ide->log.failWithStdException = false;
    ide->log.failAt = IdeStep::None;
    // Without an IDE at all, and then Copy with the same settings still works.
    services.messages.clear();
    form.VBInstance.reset();
    Click(ctl::cmdPaste);
    ASSERT_EQ(services.messages.size(), 1u);
    EXPECT_EQ(services.messages[0].title, std::optional<std::string>("Paste Error"));
    Click(ctl::cmdCopy);
    EXPECT_EQ(services.clipboard, std::optional<std::string>("MsgBox \"Done\""));
}

TEST_F(FrmMainTest, WorkedExampleThreeClickedThroughTheWindow) {
    Click(ctl::chkHelp);
    Click(ctl::optButtons, 4);
    Click(ctl::optDefBtn, 1);
    Click(ctl::optCodeOption, 2);
    Click(ctl::chkNotEqual);
    Type(ctl::txtPrompt, "Quit now?");
    Type(ctl::txtTitle, "Confirm");
    Type(ctl::txtHelpFile, "app.hlp");
    Type(ctl::txtHelpContext, "100");
    Click(ctl::cmdCopy);
    const std::string expected =
        std::string("If MsgBox (\"Quit now?\", vbYesNo + vbDefaultButton2 + vbMsgBoxHelpButton, "
                    "\"Confirm\", \"app.hlp\", 100) <> vbNo Then") +
        kCrLf + kCrLf + "Else" + kCrLf + kCrLf + "End If" + kCrLf;
    EXPECT_TRUE(services.messages.empty());
    EXPECT_EQ(services.clipboard, std::optional<std::string>(expected));

    // The same record filled without a window gives the same text.
    MsgBoxSettings direct;
    direct.txtPrompt = "Quit now?";
    direct.strTitle = "Confirm";
    direct.intButtonSet = 4;
    direct.intDefButton = 1;
    direct.intCodeOption = 2;
    direct.chkHelp = 1;
    direct.chkNotEqual = 1;
    direct.txtHelpFile = "app.hlp";
    direct.txtHelpContext = "100";
    direct.labels = DefaultButtonLabels(4, true);
    direct.EncodePromptText();
    direct.BuildButtonsExpression();
    direct.BuildMsgBoxCode();
    EXPECT_EQ(direct.strMsgBoxCode, expected);
}

TEST_F(FrmMainTest, FocusLeavesControlsThatAHandlerDisablesOrHides) {
    // Keyboard user in the variable name box when "OK Only" is chosen by code.
    Click(ctl::optButtons, 2);
    Click(ctl::optCodeOption, 1);
    M().UserFocus(RowOf(ctl::txtVarName));
    C(ctl::optButtons, 0).SetValue(1);
    EXPECT_FALSE(C(ctl::txtVarName).Enabled());
    ASSERT_TRUE(M().FocusRow().has_value());
    EXPECT_TRUE(M().CanFocus(*M().FocusRow())) << FocusName();

    // On the third default button when a two-button set hides it.
    Click(ctl::optButtons, 2);
    Click(ctl::optDefBtn, 2);
    EXPECT_EQ(FocusName(), "optDefBtn 2");
    // Down from the last shown option wraps past the hidden one.
    M().UserArrow(true);
    EXPECT_EQ(FocusName(), "optDefBtn 0");
    EXPECT_EQ(S().intDefButton, 0);
    Click(ctl::optDefBtn, 2);
    C(ctl::optButtons, 4).SetValue(1);
    EXPECT_FALSE(C(ctl::optDefBtn, 2).Visible());
    ASSERT_TRUE(M().FocusRow().has_value());
    EXPECT_TRUE(M().CanFocus(*M().FocusRow())) << FocusName();
}

} // namespace
} // namespace qvn::test
