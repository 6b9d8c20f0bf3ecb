// Long runs of random user input against the window's rules: after every action the
// consistency rules of the controls hold, the keyboard focus is on a control that can take
// it, and a view that mirrors the model's announcements shows exactly the model's state.
#include "builder/frm_main.h"
#include "builder/tests/fakes.h"
#include "builder/tests/mirror_view.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace qvn::test {
namespace {

using layout::ControlKind;
using layout::kNoIndex;
using layout::RowOf;
namespace ctl = layout::ctl;

void ExpectRulesHold(frmMain& form, const std::string& where) {
    SCOPED_TRACE(where);
    auto& m = form.Model();
    const auto& s = form.Settings();
    auto c = [&](layout::ControlName name, int index = kNoIndex) { return m.Ctl(name, index); };

    EXPECT_EQ(m.SelectedIndex(ctl::optButtons), s.intButtonSet);
    EXPECT_EQ(m.SelectedIndex(ctl::optDefBtn), s.intDefButton);
    EXPECT_EQ(m.SelectedIndex(ctl::optCodeOption), s.intCodeOption);
    EXPECT_EQ(m.SelectedIndex(ctl::optIcons), s.intIcon);

    const bool variable = s.intCodeOption == 1;
    EXPECT_EQ(c(ctl::lblVarName).Enabled(), variable);
    EXPECT_EQ(c(ctl::txtVarName).Enabled(), variable);
    EXPECT_EQ(c(ctl::chkAddSelect).Enabled(), variable);
    EXPECT_EQ(c(ctl::chkNotEqual).Enabled(), s.intCodeOption == 2);
    if (!c(ctl::chkAddSelect).Enabled()) {
        EXPECT_EQ(c(ctl::chkAddSelect).Value(), 0);
    }
    if (!c(ctl::chkNotEqual).Enabled()) {
        EXPECT_EQ(c(ctl::chkNotEqual).Value(), 0);
    }
    if (!c(ctl::txtVarName).Enabled()) {
        EXPECT_EQ(c(ctl::txtVarName).Text(), "");
    }

    EXPECT_EQ(c(ctl::optCodeOption, 1).Enabled(), s.intButtonSet != 0);
    EXPECT_EQ(c(ctl::optCodeOption, 2).Enabled(), s.intButtonSet != 0);
    if (s.intButtonSet == 0) {
        EXPECT_EQ(s.intCodeOption, 0);
    }

    const bool help = c(ctl::chkHelp).Value() != 0;
    for (auto name : {ctl::cmdBrowse, ctl::lblHelpFile, ctl::txtHelpFile, ctl::lblHelpContext,
                      ctl::txtHelpContext}) {
        EXPECT_EQ(c(name).Enabled(), help) << layout::NameText(name);
    }

    auto selected = c(ctl::optDefBtn, s.intDefButton);
    EXPECT_TRUE(selected.Visible());
    EXPECT_TRUE(selected.Enabled());

    ASSERT_TRUE(m.FocusRow().has_value());
    EXPECT_TRUE(m.CanFocus(*m.FocusRow())) << FormModel::Layout(*m.FocusRow()).NameText();
}

void ExpectMirrored(const FormModel& m, MirrorView& view, const std::string& where) {
    SCOPED_TRACE(where);
    EXPECT_EQ(view.caption, m.FormCaption());
    for (int row = 0; row < static_cast<int>(layout::Controls().size()); ++row) {
        const auto& v = view.states[row];
        const auto name = FormModel::Layout(row).NameText();
        EXPECT_EQ(v.caption, m.Caption(row)) << name;
        EXPECT_EQ(v.text, m.Text(row)) << name;
        EXPECT_EQ(v.value, m.Value(row)) << name;
        EXPECT_EQ(v.enabled, m.Enabled(row)) << name;
        EXPECT_EQ(v.visible, m.Visible(row)) << name;
    }
    EXPECT_EQ(view.focus, m.FocusRow());
}

TEST(FrmMainInvariants, RandomUserInputKeepsTheRulesAndTheMirror) {
    FakeServices services;
    frmMain form{services};
    FakeConnect connect;
    form.Connect = &connect;
    form.VBInstance = std::make_shared<FakeIde>();
    services.form = &form;
    services.dialogAnswer = "chosen.hlp";
    MirrorView view(form.Model());
    form.Model().SetObserver(&view);
    form.Load();

    std::mt19937 random(20240611);
    const int rows = static_cast<int>(layout::Controls().size());
    const std::vector<std::string> texts{"", "response", "x", "Line\r\nTwo", "100"};
    int loads = 1;
    for (int step = 0; step < 3000; ++step) {
        auto& m = form.Model();
        const int action = static_cast<int>(random() % 10);
        std::string what;
        if (action < 6) {
            const int row = static_cast<int>(random() % static_cast<unsigned>(rows));
            // Exit only now and then, so that a session lasts long enough to get somewhere.
            if (row != RowOf(ctl::cmdExit) || random() % 10 == 0) {
                what = "click " + std::string(FormModel::Layout(row).NameText());
                m.UserClick(row);
            }
        } else if (action == 6) {
            const int row = static_cast<int>(random() % static_cast<unsigned>(rows));
            if (FormModel::Layout(row).kind == ControlKind::TextBox && m.Enabled(row)) {
                const auto& text = texts[random() % texts.size()];
                what = "type into " + std::string(FormModel::Layout(row).NameText());
                // The native box already has the focus and the text it reports.
                m.UserFocus(row);
                view.focus = row;
                m.UserTyped(row, text);
                view.states[row].text = m.Text(row);
            }
        } else if (action < 9) {
            what = "tab";
            m.UserTab(action == 8);
        } else {
            what = "arrow";
            m.UserArrow(random() % 2 == 0);
        }
        if (!form.IsLoaded()) {
            form.Load();
            ++loads;
        }
        const std::string where = "step " + std::to_string(step) + ": " + what;
        ExpectRulesHold(form, where);
        ExpectMirrored(form.Model(), view, where);
        if (::testing::Test::HasFailure()) {
            break;
        }
    }
    EXPECT_EQ(connect.shows, loads);
    EXPECT_EQ(connect.hides, loads - 1);
}

} // namespace
} // namespace qvn::test
