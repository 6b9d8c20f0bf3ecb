#include "builder/layout_table.h"

#include "composition/option_tables.h"

#include <algorithm>
#include <array>
#include <stdexcept>
#include <string>

namespace qvn::layout {
namespace {

using K = ControlKind;
constexpr int N = kNoIndex;

constexpr ControlSpec Plain(ControlName name, K kind, std::optional<ControlName> container,
                            std::string_view caption, int l, int t, int w, int h, int tab) {
    return ControlSpec{name, kind, N, container, caption, {}, l, t, w, h, tab};
}

constexpr ControlSpec Member(ControlName name, K kind, int index,
                             std::optional<ControlName> container, std::string_view caption, int l,
                             int t, int w, int h, int tab, int value = 0) {
    ControlSpec c{name, kind, index, container, caption, {}, l, t, w, h, tab};
    c.designValue = value;
    return c;
}

constexpr ControlSpec PictureButton(ControlName name, std::string_view tooltip, int l, int t,
                                    int tab, Picture picture) {
    ControlSpec c{name, K::PictureButton, N, {}, {}, tooltip, l, t, 450, 450, tab};
    // The exit button shows a 16-colour icon; the others 256-colour bitmaps.
    c.picture = picture == Picture::Exit ? PictureSpec{picture, 32, 32, 16, true}
                                         : PictureSpec{picture, 24, 23, 256, false};
    return c;
}

constexpr ControlSpec IconImage(int index, int top, Picture picture) {
    ControlSpec c{ctl::imgIcons, K::Image, index, ctl::fraIcons, {},         {},
                  150,           top,      540,   540,           kNoTabIndex};
    if (picture != Picture::None) {
        c.picture = PictureSpec{picture, 32, 32, 16, true};
    }
    return c;
}

constexpr ControlSpec TextBox(ControlName name, std::optional<ControlName> container, int l, int t,
                              int w, int h, int tab, bool multiLine = false) {
    ControlSpec c{name, K::TextBox, N, container, {}, {}, l, t, w, h, tab};
    c.multiLine = multiLine;
    return c;
}

constexpr ControlSpec BrowseButton() {
    ControlSpec c{
        ctl::cmdBrowse, K::CommandButton, N, ctl::fraHelp, "...", {}, 3015, 810, 345, 285, 30};
    c.font = FontSpec{"MS Sans Serif", 8.25, 700};
    return c;
}

constexpr std::string_view ButtonSet(int i) {
    return kButtonSets[i].caption;
}
constexpr std::string_view Icon(int i) {
    return kIcons[i].caption;
}
constexpr std::string_view DefButton(int i) {
    return kDefaultButtons[i].caption;
}
constexpr std::string_view Shape(int i) {
    return kCodeShapes[i].caption;
}
constexpr std::string_view FlagCaption(Flag f) {
    for (const auto& option : kFlags) {
        if (option.flag == f) {
            return option.caption;
        }
    }
    return {};
}

constexpr std::array kTable{
    // Directly on the window.
    Plain(ctl::fraIcons, K::Frame, {}, "Icon Options", 45, 45, 2295, 3240, 0),
    Plain(ctl::fraButtons, K::Frame, {}, "Button Options", 2430, 45, 2190, 1920, 6),
    Plain(ctl::fraDefButton, K::Frame, {}, "Default Button", 2430, 2070, 2205, 1215, 13),
    Plain(ctl::fraHelp, K::Frame, {}, "Help Options", 4680, 45, 3450, 1590, 25),
    Plain(ctl::fraCodeOpt, K::Frame, {}, "Code Options", 4710, 1740, 3435, 2100, 32),
    Plain(ctl::fraOtherOpt, K::Frame, {}, "Other Options", 4680, 3915, 3435, 1275, 33),
    Plain(ctl::lblTitle, K::Label, {}, "Title Text", 45, 3375, 660, 195, 20),
    TextBox(ctl::txtTitle, {}, 45, 3645, 4590, 285, 21),
    Plain(ctl::lblCaption, K::Label, {}, "Prompt Text", 45, 4050, 855, 195, 22),
    TextBox(ctl::txtPrompt, {}, 45, 4290, 4590, 1425, 23, true),
    PictureButton(ctl::cmdPreview, " Preview ", 4725, 5310, 19, Picture::Preview),
    PictureButton(ctl::cmdCopy, " Copy to Clipboard ", 5456, 5310, 17, Picture::Copy),
    PictureButton(ctl::cmdPaste, " Paste Into Project ", 6187, 5310, 44, Picture::Paste),
    PictureButton(ctl::cmdHelp, " QVN Help ", 6918, 5340, 40, Picture::Help),
    PictureButton(ctl::cmdExit, " Exit QVN ", 7650, 5310, 18, Picture::Exit),
    Plain(ctl::dlgFileDialog, K::FileDialog, {}, {}, 0, 0, 0, 0, kNoTabIndex),

    // Icon Options: each picture to the left of the option of the same Index.
    IconImage(0, 240, Picture::None),
    Member(ctl::optIcons, K::Option, 0, ctl::fraIcons, Icon(0), 810, 405, 765, 195, 5, 1),
    IconImage(1, 840, Picture::IconCritical),
    Member(ctl::optIcons, K::Option, 1, ctl::fraIcons, Icon(1), 810, 1035, 795, 195, 1),
    IconImage(2, 1440, Picture::IconQuestion),
    Member(ctl::optIcons, K::Option, 2, ctl::fraIcons, Icon(2), 810, 1575, 975, 195, 2),
    IconImage(3, 2025, Picture::IconExclamation),
    Member(ctl::optIcons, K::Option, 3, ctl::fraIcons, Icon(3), 810, 2205, 1215, 195, 3),
    IconImage(4, 2610, Picture::IconInformation),
    Member(ctl::optIcons, K::Option, 4, ctl::fraIcons, Icon(4), 810, 2790, 1215, 195, 4),

    // Button Options.
    Member(ctl::optButtons, K::Option, 0, ctl::fraButtons, ButtonSet(0), 120, 225, 945, 210, 12, 1),
    Member(ctl::optButtons, K::Option, 1, ctl::fraButtons, ButtonSet(1), 120, 468, 1395, 255, 11),
    Member(ctl::optButtons, K::Option, 2, ctl::fraButtons, ButtonSet(2), 120, 756, 1950, 255, 10),
    Member(ctl::optButtons, K::Option, 3, ctl::fraButtons, ButtonSet(3), 120, 1044, 1785, 255, 9),
    Member(ctl::optButtons, K::Option, 4, ctl::fraButtons, ButtonSet(4), 120, 1332, 1185, 255, 8),
    Member(ctl::optButtons, K::Option, 5, ctl::fraButtons, ButtonSet(5), 120, 1620, 1605, 255, 7),

    // Default Button: design captions, relabelled at run time.
    Member(ctl::optDefBtn, K::Option, 0, ctl::fraDefButton, DefButton(0), 150, 240, 1695, 195, 16,
           1),
    Member(ctl::optDefBtn, K::Option, 1, ctl::fraDefButton, DefButton(1), 150, 480, 1455, 195, 15),
    Member(ctl::optDefBtn, K::Option, 2, ctl::fraDefButton, DefButton(2), 150, 720, 1455, 195, 14),
    Member(ctl::optDefBtn, K::Option, 3, ctl::fraDefButton, DefButton(3), 150, 960, 1245, 195, 24),

    // Help Options.
    Plain(ctl::chkHelp, K::CheckBox, ctl::fraHelp, FlagCaption(Flag::Help), 135, 270, 1545, 285,
          26),
    Plain(ctl::lblHelpFile, K::Label, ctl::fraHelp, "Help File Name", 90, 585, 1080, 195, 31),
    TextBox(ctl::txtHelpFile, ctl::fraHelp, 90, 810, 2925, 285, 27),
    BrowseButton(),
    Plain(ctl::lblHelpContext, K::Label, ctl::fraHelp, "Help Context ID", 90, 1230, 1125, 195, 29),
    TextBox(ctl::txtHelpContext, ctl::fraHelp, 1350, 1170, 720, 285, 28),

    // Code Options.
    Member(ctl::optCodeOption, K::Option, 0, ctl::fraCodeOpt, Shape(0), 135, 270, 1050, 240, 41, 1),
    Member(ctl::optCodeOption, K::Option, 1, ctl::fraCodeOpt, Shape(1), 135, 522, 1455, 240, 42),
    Plain(ctl::lblVarName, K::Label, ctl::fraCodeOpt, "Name", 690, 780, 420, 195, 46),
    TextBox(ctl::txtVarName, ctl::fraCodeOpt, 1170, 750, 1815, 285, 47),
    Plain(ctl::chkAddSelect, K::CheckBox, ctl::fraCodeOpt, "Add Select Case Code", 675, 1080, 1950,
          195, 38),
    Member(ctl::optCodeOption, K::Option, 2, ctl::fraCodeOpt, Shape(2), 135, 1305, 1230, 240, 43),
    Plain(ctl::chkNotEqual, K::CheckBox, ctl::fraCodeOpt, "<>", 675, 1560, 600, 240, 45),
    Plain(ctl::chkOptValOnly, K::CheckBox, ctl::fraCodeOpt, "Buttons Value Only", 135, 1815, 2220,
          195, 39),

    // Other Options.
    Plain(ctl::chkSysModal, K::CheckBox, ctl::fraOtherOpt, FlagCaption(Flag::SysModal), 135, 225,
          2355, 240, 34),
    Plain(ctl::chkSetForeground, K::CheckBox, ctl::fraOtherOpt, FlagCaption(Flag::SetForeground),
          135, 480, 2310, 240, 35),
    Plain(ctl::chkRightAlign, K::CheckBox, ctl::fraOtherOpt, FlagCaption(Flag::RightAlign), 135,
          735, 1455, 240, 36),
    Plain(ctl::chkRtlReading, K::CheckBox, ctl::fraOtherOpt, FlagCaption(Flag::RtlReading), 135,
          990, 1860, 195, 37),
};

// The row of each (name, Index) at rows[name][Index + 1], so that a plain control's kNoIndex
// is slot 0; -1 where the table has no such control. Made when compiling, with as many slots
// as the largest Index in the table needs.
constexpr int kSlots = [] {
    int slots = 1;
    for (const auto& c : kTable) {
        slots = std::max(slots, c.index + 2);
    }
    return slots;
}();
constexpr auto kRows = [] {
    std::array<std::array<int, kSlots>, kControlNameCount> rows{};
    for (auto& slots : rows) {
        slots.fill(-1);
    }
    for (std::size_t row = 0; row < kTable.size(); ++row) {
        const auto& c = kTable[row];
        rows.at(static_cast<std::size_t>(c.name)).at(static_cast<std::size_t>(c.index + 1)) =
            static_cast<int>(row);
    }
    return rows;
}();

} // namespace

std::span<const ControlSpec> Controls() {
    return kTable;
}

std::optional<int> FindRow(ControlName name, int index) {
    if (index < kNoIndex || index + 1 >= kSlots) {
        return std::nullopt;
    }
    const int row = kRows[static_cast<std::size_t>(name)][static_cast<std::size_t>(index + 1)];
    return row < 0 ? std::nullopt : std::optional<int>(row);
}

int RowOf(ControlName name, int index) {
    if (auto row = FindRow(name, index)) {
        return *row;
    }
    throw std::out_of_range("no control " + std::string(NameText(name)) + "(" +
                            std::to_string(index) + ")");
}

int ControlIdOf(int row) {
    return kFirstControlId + row;
}

std::optional<int> RowForId(int id) {
    const int row = id - kFirstControlId;
    if (row < 0 || row >= static_cast<int>(kTable.size())) {
        return std::nullopt;
    }
    return row;
}

const ControlSpec* ControlForId(int id) {
    auto row = RowForId(id);
    return row ? &kTable[static_cast<std::size_t>(*row)] : nullptr;
}

} // namespace qvn::layout
