#include "composition/msgbox_settings.h"
#include "composition/option_tables.h"

#include <gtest/gtest.h>

namespace qvn {
namespace {

struct ButtonsCase {
    const char* name;
    int set, icon, defButton;
    int help, sysModal, foreground, right, rtl;
    std::string expr;
    std::int32_t value;
};

void PrintTo(const ButtonsCase& c, std::ostream* os) {
    *os << c.name;
}

class ButtonsExpressionTest : public ::testing::TestWithParam<ButtonsCase> {};

TEST_P(ButtonsExpressionTest, WritesTermsInOrderAndSumsValues) {
    const ButtonsCase& c = GetParam();
    MsgBoxSettings s;
    s.intButtonSet = static_cast<std::int16_t>(c.set);
    s.intIcon = static_cast<std::int16_t>(c.icon);
    s.intDefButton = static_cast<std::int16_t>(c.defButton);
    s.chkHelp = c.help;
    s.chkSysModal = c.sysModal;
    s.chkSetForeground = c.foreground;
    s.chkRightAlign = c.right;
    s.chkRtlReading = c.rtl;
    s.BuildButtonsExpression();
    EXPECT_EQ(s.strButtonsExpr, c.expr);
    EXPECT_EQ(s.lngButtonsValue, c.value);
    // A second run gives the same result: nothing accumulates.
    s.BuildButtonsExpression();
    EXPECT_EQ(s.strButtonsExpr, c.expr);
    EXPECT_EQ(s.lngButtonsValue, c.value);
}

INSTANTIATE_TEST_SUITE_P(
    Choices, ButtonsExpressionTest,
    ::testing::Values(
        ButtonsCase{"AtLoad", 0, 0, 0, 0, 0, 0, 0, 0, "", 0},
        ButtonsCase{"YesNoQuestion", 4, 2, 0, 0, 0, 0, 0, 0, "vbQuestion + vbYesNo", 36},
        ButtonsCase{"ThreeButtonsWithHelpAndModal", 3, 3, 1, 1, 1, 0, 0, 0,
                    "vbExclamation + vbYesNoCancel + vbDefaultButton2 + vbMsgBoxHelpButton + "
                    "vbSystemModal",
                    20787},
        ButtonsCase{"LoneDefaultButtonAndHelp", 0, 0, 1, 1, 0, 0, 0, 0,
                    "vbDefaultButton2 + vbMsgBoxHelpButton", 16640},
        ButtonsCase{"LoneFlag", 0, 0, 0, 0, 0, 0, 1, 0, "vbMsgBoxRight", 524288},
        ButtonsCase{"LoneDefaultButton", 0, 0, 3, 0, 0, 0, 0, 0, "vbDefaultButton4", 768},
        ButtonsCase{"Everything", 3, 4, 3, 1, 1, 1, 1, 1,
                    "vbInformation + vbYesNoCancel + vbDefaultButton4 + vbMsgBoxHelpButton + "
                    "vbSystemModal + vbMsgBoxSetForeground + vbMsgBoxRight + vbMsgBoxRtlReading",
                    1659715},
        ButtonsCase{"LargestIndexes", 5, 4, 3, 1, 1, 1, 1, 1,
                    "vbInformation + vbRetryCancel + vbDefaultButton4 + vbMsgBoxHelpButton + "
                    "vbSystemModal + vbMsgBoxSetForeground + vbMsgBoxRight + vbMsgBoxRtlReading",
                    1659717},
        // Only the value 1 turns a flag on.
        ButtonsCase{"CheckValueTwoIsOff", 1, 0, 0, 2, 2, -1, 0, 0, "vbOKCancel", 1},
        ButtonsCase{"IconBeforeSet", 1, 1, 0, 0, 0, 0, 0, 0, "vbCritical + vbOKCancel", 17}),
    [](const auto& info) { return std::string(info.param.name); });

// Every combination the tables allow: the value is the sum of the parts and the text names
// exactly the chosen terms.
TEST(ButtonsExpression, ValueIsTheSumOfThePartsForEveryCombination) {
    MsgBoxSettings s;
    for (std::size_t set = 0; set < kButtonSets.size(); ++set)
        for (std::size_t icon = 0; icon < kIcons.size(); ++icon)
            for (std::size_t def = 0; def < kDefaultButtons.size(); ++def)
                for (int flags = 0; flags < 32; ++flags) {
                    s.intButtonSet = static_cast<std::int16_t>(set);
                    s.intIcon = static_cast<std::int16_t>(icon);
                    s.intDefButton = static_cast<std::int16_t>(def);
                    s.chkHelp = flags & 1;
                    s.chkSysModal = (flags >> 1) & 1;
                    s.chkSetForeground = (flags >> 2) & 1;
                    s.chkRightAlign = (flags >> 3) & 1;
                    s.chkRtlReading = (flags >> 4) & 1;
                    s.BuildButtonsExpression();
                    std::int32_t expected =
                        kButtonSets[set].value + kIcons[icon].value + kDefaultButtons[def].value;
                    std::size_t terms = (set > 0) + (icon > 0) + (def > 0);
                    for (std::size_t f = 0; f < kFlags.size(); ++f)
                        if ((flags >> f) & 1) {
                            expected += kFlags[f].value;
                            ++terms;
                        }
                    ASSERT_EQ(s.lngButtonsValue, expected);
                    std::size_t separators = 0;
                    for (std::size_t at = s.strButtonsExpr.find(" + "); at != std::string::npos;
                         at = s.strButtonsExpr.find(" + ", at + 1))
                        ++separators;
                    ASSERT_EQ(separators + (terms > 0 ? 1 : 0), terms) << s.strButtonsExpr;
                    ASSERT_LE(s.lngButtonsValue, 1659717);
                }
}

} // namespace
} // namespace qvn

namespace qvn {
namespace {

// The labels a set leaves behind name its buttons in order; "Help" takes the next position.
TEST(DefaultButtonLabels, FollowTheSetAndTheHelpButton) {
    using Labels = std::array<std::string, 4>;
    const std::array<Labels, 6> plain{{{"OK", "", "", ""},
                                       {"OK", "Cancel", "", ""},
                                       {"Abort", "Retry", "Ignore", ""},
                                       {"Yes", "No", "Cancel", ""},
                                       {"Yes", "No", "", ""},
                                       {"Retry", "Cancel", "", ""}}};
    const std::array<int, 6> helpAt{1, 2, 3, 3, 2, 2};
    for (int set = 0; set < 6; ++set) {
        EXPECT_EQ(DefaultButtonLabels(set, false), plain[set]) << "set " << set;
        Labels withHelp = plain[set];
        withHelp[helpAt[set]] = "Help";
        EXPECT_EQ(DefaultButtonLabels(set, true), withHelp) << "set " << set;
    }
}

} // namespace
} // namespace qvn
