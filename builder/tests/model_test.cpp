#include "builder/model.h"
#include "builder/tests/mirror_view.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace qvn {
namespace {

using layout::kNoIndex;
using layout::RowOf;

class ModelTest : public ::testing::Test {
protected:
    ModelTest() { model.SetActive(true); }

    void Record(std::string_view name, bool change = false) {
        auto handler = [this, n = std::string(name)](int index) {
            log.push_back(n + (index == kNoIndex ? "" : " " + std::to_string(index)));
        };
        if (change) {
            model.OnChange(name, handler);
        } else {
            model.OnClick(name, handler);
        }
    }
    std::string Focus() {
        auto row = model.FocusRow();
        if (!row) {
            return "(none)";
        }
        const auto& entry = FormModel::Layout(*row);
        return std::string(entry.name) +
               (entry.index == kNoIndex ? "" : " " + std::to_string(entry.index));
    }

    FormModel model;
    std::vector<std::string> log;
};

TEST_F(ModelTest, SelectingAnOptionByCodeRunsItsHandlerAtOnceNested) {
    model.OnClick("optButtons", [this](int index) {
        log.push_back("optButtons begin " + std::to_string(index));
        model.Ctl("optDefBtn", 1).SetValue(1);
        log.push_back("optButtons end");
    });
    Record("optDefBtn");
    model.Ctl("optButtons", 3).SetValue(1);
    log.push_back("after");
    EXPECT_EQ(log, (std::vector<std::string>{"optButtons begin 3", "optDefBtn 1", "optButtons end",
                                             "after"}));
    // Only the options of the same frame are deselected.
    EXPECT_EQ(model.SelectedIndex("optButtons"), 3);
    EXPECT_EQ(model.SelectedIndex("optDefBtn"), 1);
    EXPECT_EQ(model.SelectedIndex("optIcons"), 0);
    EXPECT_EQ(model.SelectedIndex("optCodeOption"), 0);
    EXPECT_EQ(model.Ctl("optButtons", 0).Value(), 0);
}

TEST_F(ModelTest, TheSelectedOptionRunsNothingWhenChosenAgain) {
    Record("optButtons");
    model.UserClick(RowOf("optButtons", 0));
    model.Ctl("optButtons", 0).SetValue(1);
    EXPECT_TRUE(log.empty());
    model.UserClick(RowOf("optButtons", 2));
    model.UserClick(RowOf("optButtons", 2));
    EXPECT_EQ(log, (std::vector<std::string>{"optButtons 2"}));
}

TEST_F(ModelTest, CheckBoxesRunTheirHandlerOnlyWhenTheUserClicks) {
    std::vector<int> seen;
    model.OnClick("chkHelp", [&](int) { seen.push_back(model.Ctl("chkHelp").Value()); });
    model.Ctl("chkHelp").SetValue(1);
    model.Ctl("chkHelp").SetValue(0);
    EXPECT_TRUE(seen.empty());
    model.UserClick(RowOf("chkHelp"));
    model.UserClick(RowOf("chkHelp"));
    // The handler sees the new value.
    EXPECT_EQ(seen, (std::vector<int>{1, 0}));
}

TEST_F(ModelTest, TextChangeHandlersRunOnEveryRealChange) {
    Record("txtTitle", true);
    model.Ctl("txtTitle").SetText("a");
    model.Ctl("txtTitle").SetText("a");
    model.UserTyped(RowOf("txtTitle"), "ab");
    model.UserTyped(RowOf("txtTitle"), "ab");
    model.Ctl("txtTitle").SetText("");
    EXPECT_EQ(log, (std::vector<std::string>{"txtTitle", "txtTitle", "txtTitle"}));
    EXPECT_EQ(model.Ctl("txtTitle").Text(), "");
}

TEST_F(ModelTest, DisabledOrHiddenControlsKeepTheirContentAndIgnoreTheUser) {
    Record("cmdCopy");
    Record("optButtons");
    Record("txtVarName", true);
    model.Ctl("txtVarName").SetText("name");
    model.Ctl("chkAddSelect").SetValue(1);
    for (auto name : {"txtVarName", "chkAddSelect", "cmdCopy"}) {
        model.Ctl(name).SetEnabled(false);
    }
    model.Ctl("optButtons", 4).SetVisible(false);
    log.clear();
    model.UserTyped(RowOf("txtVarName"), "other");
    model.UserClick(RowOf("chkAddSelect"));
    model.UserClick(RowOf("cmdCopy"));
    model.UserClick(RowOf("optButtons", 4));
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(model.Ctl("txtVarName").Text(), "name");
    EXPECT_EQ(model.Ctl("chkAddSelect").Value(), 1);
    EXPECT_EQ(model.SelectedIndex("optButtons"), 0);

    // Nor does an inactive (unloaded) model.
    model.Ctl("cmdCopy").SetEnabled(true);
    model.SetActive(false);
    model.UserClick(RowOf("cmdCopy"));
    EXPECT_TRUE(log.empty());
}

TEST_F(ModelTest, FocusMovesOnBeforeItsControlIsDisabledOrHidden) {
    model.SetFocus(RowOf("txtTitle"));
    EXPECT_EQ(Focus(), "txtTitle");
    model.Ctl("txtTitle").SetEnabled(false);
    EXPECT_EQ(Focus(), "txtPrompt");
    model.Ctl("txtPrompt").SetVisible(false);
    // optDefBtn 3 is no tab stop while option 0 of its group is selected.
    EXPECT_EQ(Focus(), "chkHelp");
    // A control that cannot take the focus does not get it.
    model.SetFocus(RowOf("txtTitle"));
    model.SetFocus(RowOf("lblTitle"));
    EXPECT_EQ(Focus(), "chkHelp");
}

TEST_F(ModelTest, TabVisitsTheTabStopsInTabOrder) {
    const std::vector<std::string> stops{
        "optIcons 0",     "optButtons 0", "optDefBtn 0",   "cmdCopy",          "cmdExit",
        "cmdPreview",     "txtTitle",     "txtPrompt",     "chkHelp",          "txtHelpFile",
        "txtHelpContext", "cmdBrowse",    "chkSysModal",   "chkSetForeground", "chkRightAlign",
        "chkRtlReading",  "chkAddSelect", "chkOptValOnly", "cmdHelp",          "optCodeOption 0",
        "cmdPaste",       "chkNotEqual",  "txtVarName"};
    std::vector<std::string> forward;
    for (std::size_t i = 0; i < stops.size() + 1; ++i) {
        model.UserTab(false);
        forward.push_back(Focus());
    }
    std::vector<std::string> expected = stops;
    expected.push_back(stops.front()); // wraps
    EXPECT_EQ(forward, expected);

    model.UserTab(true);
    EXPECT_EQ(Focus(), "txtVarName");
    model.UserTab(true);
    EXPECT_EQ(Focus(), "chkNotEqual");

    // The selected option is the group's stop, wherever it sits in the tab order.
    model.Ctl("optDefBtn", 3).SetValue(1);
    model.SetFocus(RowOf("txtPrompt"));
    model.UserTab(false);
    EXPECT_EQ(Focus(), "optDefBtn 3");
    model.SetFocus(RowOf("optButtons", 0));
    model.UserTab(false);
    EXPECT_EQ(Focus(), "cmdCopy");
}

TEST_F(ModelTest, ArrowKeysSelectWithinTheGroupInIndexOrder) {
    Record("optButtons");
    model.SetFocus(RowOf("optButtons", 0));
    EXPECT_TRUE(model.UserArrow(true));
    EXPECT_EQ(Focus(), "optButtons 1");
    EXPECT_EQ(model.SelectedIndex("optButtons"), 1);
    model.Ctl("optButtons", 2).SetEnabled(false);
    EXPECT_TRUE(model.UserArrow(true));
    EXPECT_EQ(Focus(), "optButtons 3");
    model.SetFocus(RowOf("optButtons", 0));
    log.clear();
    model.Ctl("optButtons", 0).SetValue(1);
    EXPECT_TRUE(model.UserArrow(false));
    EXPECT_EQ(Focus(), "optButtons 5");
    EXPECT_EQ(log, (std::vector<std::string>{"optButtons 0", "optButtons 5"}));

    model.SetFocus(RowOf("chkHelp"));
    EXPECT_FALSE(model.UserArrow(true));
    EXPECT_EQ(Focus(), "chkHelp");
}

TEST_F(ModelTest, AnObserverSeesEveryChangeMadeByCode) {
    test::MirrorView view(model);
    model.SetObserver(&view);
    model.ResetToDesign();
    model.SetFormCaption("X");
    model.Ctl("optDefBtn", 2).SetCaption("Ignore");
    model.Ctl("optButtons", 3).SetValue(1);
    model.Ctl("txtVarName").SetText("v");
    model.Ctl("chkNotEqual").SetValue(1);
    model.Ctl("lblVarName").SetEnabled(false);
    model.Ctl("optDefBtn", 3).SetVisible(false);
    model.SetFocus(RowOf("txtTitle"));
    model.UserClick(RowOf("chkHelp"));
    model.UserTyped(RowOf("txtPrompt"), "typed");
    view.states[RowOf("txtPrompt")].text = "typed"; // the native box holds it already

    EXPECT_EQ(view.caption, "X");
    for (int row = 0; row < static_cast<int>(layout::Controls().size()); ++row) {
        SCOPED_TRACE(std::string(FormModel::Layout(row).name));
        const auto& s = view.states[row];
        EXPECT_EQ(s.caption, model.Caption(row));
        EXPECT_EQ(s.text, model.Text(row));
        EXPECT_EQ(s.value, model.Value(row));
        EXPECT_EQ(s.enabled, model.Enabled(row));
        EXPECT_EQ(s.visible, model.Visible(row));
    }
    EXPECT_EQ(view.focus, model.FocusRow());
}

} // namespace
} // namespace qvn
