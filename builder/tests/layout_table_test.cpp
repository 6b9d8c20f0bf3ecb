#include "builder/layout_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

namespace qvn::layout {
namespace {

std::string Describe(const ControlSpec& c) {
    return c.index == kNoIndex ? std::string(c.NameText())
                               : std::string(c.NameText()) + " " + std::to_string(c.index);
}

TEST(LayoutTable, TabOrderRunsWithoutGapsInTheWindowsSequence) {
    const std::vector<std::string> expected{
        "fraIcons",       "optIcons 1",      "optIcons 2",      "optIcons 3",
        "optIcons 4",     "optIcons 0",      "fraButtons",      "optButtons 5",
        "optButtons 4",   "optButtons 3",    "optButtons 2",    "optButtons 1",
        "optButtons 0",   "fraDefButton",    "optDefBtn 2",     "optDefBtn 1",
        "optDefBtn 0",    "cmdCopy",         "cmdExit",         "cmdPreview",
        "lblTitle",       "txtTitle",        "lblCaption",      "txtPrompt",
        "optDefBtn 3",    "fraHelp",         "chkHelp",         "txtHelpFile",
        "txtHelpContext", "lblHelpContext",  "cmdBrowse",       "lblHelpFile",
        "fraCodeOpt",     "fraOtherOpt",     "chkSysModal",     "chkSetForeground",
        "chkRightAlign",  "chkRtlReading",   "chkAddSelect",    "chkOptValOnly",
        "cmdHelp",        "optCodeOption 0", "optCodeOption 1", "optCodeOption 2",
        "cmdPaste",       "chkNotEqual",     "lblVarName",      "txtVarName"};
    std::vector<std::string> actual(expected.size());
    std::set<int> seen;
    for (const auto& c : Controls()) {
        if (c.tabIndex == kNoTabIndex) {
            EXPECT_TRUE(c.kind == ControlKind::Image || c.kind == ControlKind::FileDialog)
                << Describe(c);
            continue;
        }
        ASSERT_LT(c.tabIndex, static_cast<int>(expected.size())) << Describe(c);
        EXPECT_TRUE(seen.insert(c.tabIndex).second) << "tab index twice: " << c.tabIndex;
        actual[static_cast<std::size_t>(c.tabIndex)] = Describe(c);
    }
    EXPECT_EQ(actual, expected);
}

TEST(LayoutTable, ArraysCarryTheirIndexesOnceEach) {
    const std::vector<std::pair<ControlName, int>> arrays{{ctl::optButtons, 6},
                                                          {ctl::optIcons, 5},
                                                          {ctl::imgIcons, 5},
                                                          {ctl::optDefBtn, 4},
                                                          {ctl::optCodeOption, 3}};
    for (const auto& [name, count] : arrays) {
        for (int i = 0; i < count; ++i) {
            EXPECT_TRUE(FindRow(name, i).has_value()) << NameText(name) << " " << i;
        }
        EXPECT_FALSE(FindRow(name, count).has_value()) << NameText(name);
        EXPECT_FALSE(FindRow(name).has_value()) << NameText(name);
        EXPECT_THROW(RowOf(name, count), std::out_of_range) << NameText(name);
    }
    std::set<std::string> names;
    for (const auto& c : Controls()) {
        EXPECT_TRUE(names.insert(Describe(c)).second) << "twice: " << Describe(c);
    }
    EXPECT_EQ(Controls().size(), 54u);
}

TEST(LayoutTable, CaptionsTooltipsAndGeometryOfSampleRows) {
    struct Row {
        ControlName name;
        int index;
        ControlKind kind;
        std::optional<ControlName> container;
        std::string caption, tooltip;
        int left, top, width, height;
    };
    const std::vector<Row> rows{
        {ctl::fraIcons, kNoIndex, ControlKind::Frame, std::nullopt, "Icon Options", "", 45, 45,
         2295, 3240},
        {ctl::optIcons, 1, ControlKind::Option, ctl::fraIcons, "Critical", "", 810, 1035, 795, 195},
        {ctl::imgIcons, 0, ControlKind::Image, ctl::fraIcons, "", "", 150, 240, 540, 540},
        {ctl::optButtons, 2, ControlKind::Option, ctl::fraButtons, "Abort, Retry and Ignore", "",
         120, 756, 1950, 255},
        {ctl::optDefBtn, 3, ControlKind::Option, ctl::fraDefButton, "Button 4", "", 150, 960, 1245,
         195},
        {ctl::chkHelp, kNoIndex, ControlKind::CheckBox, ctl::fraHelp, "Add Help Button", "", 135,
         270, 1545, 285},
        {ctl::cmdBrowse, kNoIndex, ControlKind::CommandButton, ctl::fraHelp, "...", "", 3015, 810,
         345, 285},
        {ctl::optCodeOption, 2, ControlKind::Option, ctl::fraCodeOpt, "If-Then-Else", "", 135, 1305,
         1230, 240},
        {ctl::chkNotEqual, kNoIndex, ControlKind::CheckBox, ctl::fraCodeOpt, "<>", "", 675, 1560,
         600, 240},
        {ctl::chkSysModal, kNoIndex, ControlKind::CheckBox, ctl::fraOtherOpt,
         "System Modal Message Box", "", 135, 225, 2355, 240},
        {ctl::cmdCopy, kNoIndex, ControlKind::PictureButton, std::nullopt, "",
         " Copy to Clipboard ", 5456, 5310, 450, 450},
        {ctl::cmdHelp, kNoIndex, ControlKind::PictureButton, std::nullopt, "", " QVN Help ", 6918,
         5340, 450, 450},
        {ctl::txtPrompt, kNoIndex, ControlKind::TextBox, std::nullopt, "", "", 45, 4290, 4590,
         1425},
    };
    for (const auto& r : rows) {
        const auto& c = Controls()[static_cast<std::size_t>(RowOf(r.name, r.index))];
        SCOPED_TRACE(Describe(c));
        EXPECT_EQ(c.name, r.name);
        EXPECT_EQ(c.index, r.index);
        EXPECT_EQ(c.kind, r.kind);
        EXPECT_EQ(c.container, r.container);
        EXPECT_EQ(c.caption, r.caption);
        EXPECT_EQ(c.tooltip, r.tooltip);
        EXPECT_EQ(c.left, r.left);
        EXPECT_EQ(c.top, r.top);
        EXPECT_EQ(c.width, r.width);
        EXPECT_EQ(c.height, r.height);
    }
    EXPECT_TRUE(Controls()[static_cast<std::size_t>(RowOf(ctl::txtPrompt))].multiLine);
    EXPECT_FALSE(Controls()[static_cast<std::size_t>(RowOf(ctl::txtTitle))].multiLine);
    const auto& browse = Controls()[static_cast<std::size_t>(RowOf(ctl::cmdBrowse))];
    EXPECT_EQ(browse.font.name, "MS Sans Serif");
    EXPECT_EQ(browse.font.weight, 700);
}

TEST(LayoutTable, EveryControlSitsInsideItsContainer) {
    for (const auto& c : Controls()) {
        if (c.kind == ControlKind::FileDialog) {
            continue;
        }
        int width = kClientWidth;
        int height = kClientHeight;
        if (c.container) {
            const auto& frame = Controls()[static_cast<std::size_t>(RowOf(*c.container))];
            ASSERT_EQ(frame.kind, ControlKind::Frame) << Describe(c);
            width = frame.width;
            height = frame.height;
        }
        EXPECT_LE(c.left + c.width, width) << Describe(c);
        EXPECT_LE(c.top + c.height, height) << Describe(c);
    }
}

TEST(LayoutTable, DesignValuesSelectTheFirstOptionOfEachGroupOnly) {
    for (const auto& c : Controls()) {
        const int expected = c.kind == ControlKind::Option && c.index == 0 ? 1 : 0;
        EXPECT_EQ(c.designValue, expected) << Describe(c);
        EXPECT_TRUE(c.designEnabled) << Describe(c);
        EXPECT_TRUE(c.designVisible) << Describe(c);
    }
}

TEST(LayoutTable, EveryRowIsFoundByNameAndIndexAndByItsControlId) {
    for (std::size_t row = 0; row < Controls().size(); ++row) {
        const auto& c = Controls()[row];
        EXPECT_EQ(FindRow(c.name, c.index), static_cast<int>(row)) << Describe(c);
        EXPECT_EQ(ControlForId(ControlIdOf(static_cast<int>(row))), &c) << Describe(c);
    }
    EXPECT_EQ(ControlForId(kFirstControlId - 1), nullptr);
    EXPECT_EQ(ControlForId(kFirstControlId + static_cast<int>(Controls().size())), nullptr);
    // A plain control has no members, an array no plain row, and no Index is below kNoIndex.
    EXPECT_FALSE(FindRow(ctl::cmdExit, 0).has_value());
    EXPECT_FALSE(FindRow(ctl::optButtons, -2).has_value());
    EXPECT_THROW(RowOf(ctl::optDefBtn), std::out_of_range);
    EXPECT_EQ(NameText(ctl::optDefBtn), "optDefBtn");
}

TEST(LayoutTable, PicturesHaveTheirSizesAndDepths) {
    const auto pic = [](ControlName name, int index = kNoIndex) {
        return Controls()[static_cast<std::size_t>(RowOf(name, index))].picture;
    };
    for (auto name : {ctl::cmdPreview, ctl::cmdCopy, ctl::cmdPaste, ctl::cmdHelp}) {
        EXPECT_EQ(pic(name).widthPx, 24) << NameText(name);
        EXPECT_EQ(pic(name).heightPx, 23) << NameText(name);
        EXPECT_EQ(pic(name).colours, 256) << NameText(name);
    }
    EXPECT_EQ(pic(ctl::cmdExit).widthPx, 32);
    EXPECT_EQ(pic(ctl::cmdExit).colours, 16);
    EXPECT_EQ(pic(ctl::imgIcons, 0).subject, Picture::None);
    EXPECT_EQ(pic(ctl::imgIcons, 1).subject, Picture::IconCritical);
    EXPECT_EQ(pic(ctl::imgIcons, 4).subject, Picture::IconInformation);
}

} // namespace
} // namespace qvn::layout
