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
namespace ctl = layout::ctl;

class ModelTest : public ::testing::Test {
protected:
    ModelTest() { model.SetActive(true); }

    void Record(layout::ControlName name, bool change = false) {
        auto handler = [this, n = std::string(layout::NameText(name))](int index) {
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
        return std::string(entry.NameText()) +
               (entry.index == kNoIndex ? "" : " " + std::to_string(entry.index));
    }

    FormModel model;
    std::vector<std::string> log;
};

TEST_F(ModelTest, SelectingAnOptionByCodeRunsItsHandlerAtOnceNested) {
    model.OnClick(ctl::optButtons, [this](int index) {
        log.push_back("optButtons begin " + std::to_string(index));
        model.Ctl(ctl::optDefBtn, 1).SetValue(1);
        log.push_back("optButtons end");
    });
    Record(ctl::optDefBtn);
    model.Ctl(ctl::optButtons, 3).SetValue(1);
    log.push_back("after");
    EXPECT_EQ(log, (std::vector<std::string>{"optButtons begin 3", "optDefBtn 1", "optButtons end",
                                             "after"}));
    // Only the options of the same frame are deselected.
    EXPECT_EQ(model.SelectedIndex(ctl::optButtons), 3);
    EXPECT_EQ(model.SelectedIndex(ctl::optDefBtn), 1);
    EXPECT_EQ(model.SelectedIndex(ctl::optIcons), 0);
    EXPECT_EQ(model.SelectedIndex(ctl::optCodeOption), 0);
    EXPECT_EQ(model.Ctl(ctl::optButtons, 0).Value(), 0);
}

TEST_F(ModelTest, TheSelectedOptionRunsNothingWhenChosenAgain) {
    Record(ctl::optButtons);
    model.UserClick(RowOf(ctl::optButtons, 0));
    model.Ctl(ctl::optButtons, 0).SetValue(1);
    EXPECT_TRUE(log.empty());
    model.UserClick(RowOf(ctl::optButtons, 2));
    model.UserClick(RowOf(ctl::optButtons, 2));
    EXPECT_EQ(log, (std::vector<std::string>{"optButtons 2"}));
}

// One handler serves every member of an array, with the member's Index; a handler set again
// replaces the old one, and an empty one runs nothing.
TEST_F(ModelTest, AnArraysHandlerServesEachMemberUntilReplaced) {
    Record(ctl::imgIcons);
    Record(ctl::cmdCopy);
    for (int i = 4; i >= 0; --i) {
        model.UserClick(RowOf(ctl::imgIcons, i));
    }
    model.UserClick(RowOf(ctl::cmdCopy));
    EXPECT_EQ(log, (std::vector<std::string>{"imgIcons 4", "imgIcons 3", "imgIcons 2", "imgIcons 1",
                                             "imgIcons 0", "cmdCopy"}));
    log.clear();
    model.OnClick(ctl::imgIcons, {});
    model.UserClick(RowOf(ctl::imgIcons, 2));
    model.UserClick(RowOf(ctl::cmdCopy));
    EXPECT_EQ(log, (std::vector<std::string>{"cmdCopy"}));
}

TEST_F(ModelTest, SelectedIndexAnswersOnlyForAGroupWithASelectedOption) {
    model.Ctl(ctl::optDefBtn, 0).SetValue(0);
    const std::vector<std::pair<layout::ControlName, std::optional<int>>> cases{
        {ctl::optButtons, 0},
        {ctl::optDefBtn, std::nullopt},
        {ctl::imgIcons, std::nullopt},
        {ctl::chkHelp, std::nullopt},
        {ctl::txtTitle, std::nullopt}};
    for (const auto& [name, expected] : cases) {
        EXPECT_EQ(model.SelectedIndex(name), expected) << layout::NameText(name);
    }
}

TEST_F(ModelTest, CheckBoxesRunTheirHandlerOnlyWhenTheUserClicks) {
    std::vector<int> seen;
    model.OnClick(ctl::chkHelp, [&](int) { seen.push_back(model.Ctl(ctl::chkHelp).Value()); });
    model.Ctl(ctl::chkHelp).SetValue(1);
    model.Ctl(ctl::chkHelp).SetValue(0);
    EXPECT_TRUE(seen.empty());
    model.UserClick(RowOf(ctl::chkHelp));
    model.UserClick(RowOf(ctl::chkHelp));
    // The handler sees the new value.
    EXPECT_EQ(seen, (std::vector<int>{1, 0}));
}

TEST_F(ModelTest, TextChangeHandlersRunOnEveryRealChange) {
    Record(ctl::txtTitle, true);
    model.Ctl(ctl::txtTitle).SetText("a");
    model.Ctl(ctl::txtTitle).SetText("a");
    model.UserTyped(RowOf(ctl::txtTitle), "ab");
    model.UserTyped(RowOf(ctl::txtTitle), "ab");
    model.Ctl(ctl::txtTitle).SetText("");
    EXPECT_EQ(log, (std::vector<std::string>{"txtTitle", "txtTitle", "txtTitle"}));
    EXPECT_EQ(model.Ctl(ctl::txtTitle).Text(), "");
}

TEST_F(ModelTest, DisabledOrHiddenControlsKeepTheirContentAndIgnoreTheUser) {
    Record(ctl::cmdCopy);
    Record(ctl::optButtons);
    Record(ctl::txtVarName, true);
    model.Ctl(ctl::txtVarName).SetText("name");
    model.Ctl(ctl::chkAddSelect).SetValue(1);
    for (auto name : {ctl::txtVarName, ctl::chkAddSelect, ctl::cmdCopy}) {
        model.Ctl(name).SetEnabled(false);
    }
    model.Ctl(ctl::optButtons, 4).SetVisible(false);
    log.clear();
    model.UserTyped(RowOf(ctl::txtVarName), "other");
    model.UserClick(RowOf(ctl::chkAddSelect));
    model.UserClick(RowOf(ctl::cmdCopy));
    model.UserClick(RowOf(ctl::optButtons, 4));
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(model.Ctl(ctl::txtVarName).Text(), "name");
    EXPECT_EQ(model.Ctl(ctl::chkAddSelect).Value(), 1);
    EXPECT_EQ(model.SelectedIndex(ctl::optButtons), 0);

    // Nor does an inactive (unloaded) model.
    model.Ctl(ctl::cmdCopy).SetEnabled(true);
    model.SetActive(false);
    model.UserClick(RowOf(ctl::cmdCopy));
    EXPECT_TRUE(log.empty());
}

TEST_F(ModelTest, FocusMovesOnBeforeItsControlIsDisabledOrHidden) {
    model.SetFocus(RowOf(ctl::txtTitle));
    EXPECT_EQ(Focus(), "txtTitle");
    model.Ctl(ctl::txtTitle).SetEnabled(false);
    EXPECT_EQ(Focus(), "txtPrompt");
    model.Ctl(ctl::txtPrompt).SetVisible(false);
    // optDefBtn 3 is no tab stop while option 0 of its group is selected.
    EXPECT_EQ(Focus(), "chkHelp");
    // A control that cannot take the focus does not get it.
    model.SetFocus(RowOf(ctl::txtTitle));
    model.SetFocus(RowOf(ctl::lblTitle));
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
    model.Ctl(ctl::optDefBtn, 3).SetValue(1);
    model.SetFocus(RowOf(ctl::txtPrompt));
    model.UserTab(false);
    EXPECT_EQ(Focus(), "optDefBtn 3");
    model.SetFocus(RowOf(ctl::optButtons, 0));
    model.UserTab(false);
    EXPECT_EQ(Focus(), "cmdCopy");
}

TEST_F(ModelTest, ArrowKeysSelectWithinTheGroupInIndexOrder) {
    Record(ctl::optButtons);
    model.SetFocus(RowOf(ctl::optButtons, 0));
    EXPECT_TRUE(model.UserArrow(true));
    EXPECT_EQ(Focus(), "optButtons 1");
    EXPECT_EQ(model.SelectedIndex(ctl::optButtons), 1);
    model.Ctl(ctl::optButtons, 2).SetEnabled(false);
    EXPECT_TRUE(model.UserArrow(true));
    EXPECT_EQ(Focus(), "optButtons 3");
    model.SetFocus(RowOf(ctl::optButtons, 0));
    log.clear();
    model.Ctl(ctl::optButtons, 0).SetValue(1);
    EXPECT_TRUE(model.UserArrow(false));
    EXPECT_EQ(Focus(), "optButtons 5");
    EXPECT_EQ(log, (std::vector<std::string>{"optButtons 0", "optButtons 5"}));

    model.SetFocus(RowOf(ctl::chkHelp));
    EXPECT_FALSE(model.UserArrow(true));
    EXPECT_EQ(Focus(), "chkHelp");
}

TEST_F(ModelTest, AnObserverSeesEveryChangeMadeByCode) {
    test::MirrorView view(model);
    model.SetObserver(&view);
    model.ResetToDesign();
    model.SetFormCaption("X");
    model.Ctl(ctl::optDefBtn, 2).SetCaption("Ignore");
    model.Ctl(ctl::optButtons, 3).SetValue(1);
    model.Ctl(ctl::txtVarName).SetText("v");
    model.Ctl(ctl::chkNotEqual).SetValue(1);
    model.Ctl(ctl::lblVarName).SetEnabled(false);
    model.Ctl(ctl::optDefBtn, 3).SetVisible(false);
    model.SetFocus(RowOf(ctl::txtTitle));
    model.UserClick(RowOf(ctl::chkHelp));
    model.UserTyped(RowOf(ctl::txtPrompt), "typed");
    view.states[RowOf(ctl::txtPrompt)].text = "typed"; // the native box holds it already

    EXPECT_EQ(view.caption, "X");
    for (int row = 0; row < static_cast<int>(layout::Controls().size()); ++row) {
        SCOPED_TRACE(std::string(FormModel::Layout(row).NameText()));
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
