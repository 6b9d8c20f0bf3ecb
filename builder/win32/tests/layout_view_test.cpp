// The native window as drawn from the layout table: every control with its class, ID,
// caption, place and state after load, the fonts, tooltips, pictures and the tab order.
#include "builder/win32/button_art.h"
#include "builder/win32/tests/view_harness.h"
#include "win32util/text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <commctrl.h>
#include <set>

namespace qvn::win32::testing {
using win32util::Utf8;
namespace {

using layout::ControlKind;

struct Expected {
    const char* className;
    LONG style; // the kind's defining style bits
    LONG mask;
};

Expected ExpectedNative(const layout::ControlSpec& entry) {
    switch (entry.kind) {
    case ControlKind::Frame:
        return {"Button", BS_GROUPBOX, BS_TYPEMASK};
    case ControlKind::Option:
        return {"Button", BS_RADIOBUTTON, BS_TYPEMASK};
    case ControlKind::CheckBox:
        return {"Button", BS_CHECKBOX, BS_TYPEMASK};
    case ControlKind::TextBox:
        return entry.multiLine ? Expected{"Edit", ES_MULTILINE | ES_WANTRETURN | WS_VSCROLL,
                                          ES_MULTILINE | ES_WANTRETURN | WS_VSCROLL}
                               : Expected{"Edit", 0, ES_MULTILINE};
    case ControlKind::Label:
        return {"Static", SS_LEFTNOWORDWRAP, SS_TYPEMASK};
    case ControlKind::PictureButton:
        return {"Button", BS_PUSHBUTTON, BS_TYPEMASK};
    case ControlKind::CommandButton:
        return {"Button", BS_PUSHBUTTON, BS_TYPEMASK};
    case ControlKind::Image:
        return {"Static", SS_ICON | WS_BORDER, SS_TYPEMASK | WS_BORDER};
    case ControlKind::FileDialog:
        break;
    }
    return {"", 0, 0};
}

// Controls that the load leaves disabled; the default-button options among them are hidden too.
const std::set<std::pair<layout::ControlName, int>> kDisabledAfterLoad = {
    {ctl::optDefBtn, 1},       {ctl::optDefBtn, 2},       {ctl::optDefBtn, 3},
    {ctl::optCodeOption, 1},   {ctl::optCodeOption, 2},   {ctl::lblVarName, -1},
    {ctl::txtVarName, -1},     {ctl::chkAddSelect, -1},   {ctl::chkNotEqual, -1},
    {ctl::txtHelpFile, -1},    {ctl::txtHelpContext, -1}, {ctl::cmdBrowse, -1},
    {ctl::lblHelpContext, -1}, {ctl::lblHelpFile, -1},
};

RECT PlaceInClient(HWND ctl) {
    RECT rect{};
    GetWindowRect(ctl, &rect);
    MapWindowPoints(nullptr, GetParent(ctl), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

int Px(int twips) {
    return static_cast<int>(std::lround(twips / 15.0));
}

TEST(BuilderWindowLayout, EveryControlOfTheTableExistsWithItsClassIdPlaceAndLoadState) {
    Harness h;
    h.WhileShown([&] {
        if (h.window->Dpi() != 96) {
            GTEST_SKIP() << "positions are checked at 96 DPI; this display has " << h.window->Dpi();
        }
        const auto controls = layout::Controls();
        for (int row = 0; row < static_cast<int>(controls.size()); ++row) {
            const auto& entry = controls[static_cast<std::size_t>(row)];
            SCOPED_TRACE(std::string(entry.NameText()) + " " + std::to_string(entry.index));
            HWND ctl = h.window->ControlWindow(row);
            if (entry.kind == ControlKind::FileDialog) {
                EXPECT_EQ(ctl, nullptr);
                continue;
            }
            ASSERT_NE(ctl, nullptr);
            EXPECT_EQ(GetParent(ctl), h.Window());
            EXPECT_EQ(GetDlgCtrlID(ctl), layout::kFirstControlId + row);
            EXPECT_EQ(layout::ControlForId(GetDlgCtrlID(ctl)), &entry);

            const Expected native = ExpectedNative(entry);
            EXPECT_EQ(ClassOf(ctl), native.className);
            EXPECT_EQ(GetWindowLongW(ctl, GWL_STYLE) & native.mask, native.style);

            int left = entry.left;
            int top = entry.top;
            if (entry.container) {
                const auto& frame =
                    controls[static_cast<std::size_t>(layout::RowOf(*entry.container))];
                left += frame.left;
                top += frame.top;
            }
            const RECT place = PlaceInClient(ctl);
            EXPECT_EQ(place.left, Px(left));
            EXPECT_EQ(place.top, Px(top));
            EXPECT_EQ(place.right - place.left, Px(entry.width));
            EXPECT_EQ(place.bottom - place.top, Px(entry.height));

            const bool disabled = kDisabledAfterLoad.count({entry.name, entry.index}) != 0;
            const bool hidden = entry.name == ctl::optDefBtn && entry.index > 0;
            EXPECT_EQ(IsWindowEnabled(ctl) != FALSE, !disabled);
            EXPECT_EQ(IsWindowVisible(ctl) != FALSE, !hidden);

            if (entry.kind == ControlKind::TextBox) {
                EXPECT_EQ(Text(ctl), "");
            } else if (entry.kind == ControlKind::PictureButton ||
                       entry.kind == ControlKind::Image) {
                EXPECT_EQ(Text(ctl), "");
            } else if (entry.name == ctl::optDefBtn && entry.index == 0) {
                EXPECT_EQ(Text(ctl), "OK");
            } else {
                EXPECT_EQ(Text(ctl), entry.caption);
            }
            if (entry.kind == ControlKind::Option || entry.kind == ControlKind::CheckBox) {
                const LRESULT want = entry.kind == ControlKind::Option && entry.index == 0
                                         ? BST_CHECKED
                                         : BST_UNCHECKED;
                EXPECT_EQ(SendMessageW(ctl, BM_GETCHECK, 0, 0), want);
            }
        }
    });
}

TEST(BuilderWindowLayout, WindowHasTheFixedClientAreaTheCaptionAndNoOwner) {
    Harness h;
    h.WhileShown([&] {
        EXPECT_EQ(Text(h.Window()), "Quorvane  v2.0");
        EXPECT_EQ(GetWindow(h.Window(), GW_OWNER), nullptr);
        EXPECT_EQ(ClassOf(h.Window()), "QvnBuilderWindow");
        RECT client{};
        GetClientRect(h.Window(), &client);
        EXPECT_EQ(client.right, MulDiv(8190, static_cast<int>(h.window->Dpi()), 1440));
        EXPECT_EQ(client.bottom, MulDiv(5850, static_cast<int>(h.window->Dpi()), 1440));
        const LONG style = GetWindowLongW(h.Window(), GWL_STYLE);
        EXPECT_EQ(style & WS_THICKFRAME, 0) << "the window has a fixed size";
        EXPECT_NE(style & WS_SYSMENU, 0) << "the close box is offered";
    });
}

LOGFONTW FontOf(HWND ctl);

TEST(BuilderWindowLayout, ControlsFollowTheWindowToAMonitorWithAnotherDpi) {
    Harness h;
    h.WhileShown([&] {
        RECT outer{};
        GetWindowRect(h.Window(), &outer);
        const RECT suggested{outer.left, outer.top, outer.left + 900, outer.top + 700};
        SendMessageW(h.Window(), WM_DPICHANGED, MAKEWPARAM(144, 144),
                     reinterpret_cast<LPARAM>(&suggested));
        EXPECT_EQ(h.window->Dpi(), 144U);
        // cmdBrowse sits in fraHelp: 4680 + 3015 twips from the left, 45 + 810 from the top.
        const RECT place = PlaceInClient(h.Ctl(ctl::cmdBrowse));
        EXPECT_EQ(place.left, MulDiv(4680 + 3015, 144, 1440));
        EXPECT_EQ(place.top, MulDiv(45 + 810, 144, 1440));
        EXPECT_EQ(place.right - place.left, MulDiv(345, 144, 1440));
        EXPECT_EQ(place.bottom - place.top, MulDiv(285, 144, 1440));
        EXPECT_LE(FontOf(h.Ctl(ctl::cmdBrowse)).lfHeight, -16) << "8.25 point at 144 DPI";
        EXPECT_TRUE(IsWindowVisible(h.Ctl(ctl::txtPrompt)));
    });
}

LOGFONTW FontOf(HWND ctl) {
    LOGFONTW font{};
    GetObjectW(reinterpret_cast<HGDIOBJ>(SendMessageW(ctl, WM_GETFONT, 0, 0)), sizeof font, &font);
    return font;
}

TEST(BuilderWindowLayout, BrowseButtonAloneHasTheBoldFont) {
    Harness h;
    h.WhileShown([&] {
        const LOGFONTW browse = FontOf(h.Ctl(ctl::cmdBrowse));
        EXPECT_EQ(browse.lfWeight, 700);
        if (h.window->Dpi() == 96) {
            EXPECT_EQ(browse.lfHeight, -11) << "8.25 point at 96 DPI";
        }
        const HGDIOBJ shared =
            reinterpret_cast<HGDIOBJ>(SendMessageW(h.Ctl(ctl::txtTitle), WM_GETFONT, 0, 0));
        ASSERT_NE(shared, nullptr);
        for (auto name :
             {ctl::fraIcons, ctl::lblTitle, ctl::chkHelp, ctl::txtPrompt, ctl::cmdPreview}) {
            SCOPED_TRACE(layout::NameText(name));
            EXPECT_EQ(reinterpret_cast<HGDIOBJ>(SendMessageW(h.Ctl(name), WM_GETFONT, 0, 0)),
                      shared);
            EXPECT_LT(FontOf(h.Ctl(name)).lfWeight, 700);
        }
    });
}

BOOL CALLBACK FindTooltip(HWND w, LPARAM found) {
    if (ClassOf(w) == "tooltips_class32") {
        *reinterpret_cast<HWND*>(found) = w;
        return FALSE;
    }
    return TRUE;
}

TEST(BuilderWindowLayout, PictureButtonsCarryTheirTooltipsExactly) {
    Harness h;
    h.WhileShown([&] {
        HWND tooltip = nullptr;
        EnumThreadWindows(GetCurrentThreadId(), &FindTooltip, reinterpret_cast<LPARAM>(&tooltip));
        ASSERT_NE(tooltip, nullptr);
        EXPECT_EQ(GetWindow(tooltip, GW_OWNER), h.Window());

        const std::pair<layout::ControlName, const char*> expected[] = {
            {ctl::cmdPreview, " Preview "},
            {ctl::cmdCopy, " Copy to Clipboard "},
            {ctl::cmdPaste, " Paste Into Project "},
            {ctl::cmdHelp, " QVN Help "},
            {ctl::cmdExit, " Exit QVN "},
        };
        EXPECT_EQ(SendMessageW(tooltip, TTM_GETTOOLCOUNT, 0, 0), 5);
        for (const auto& [name, text] : expected) {
            SCOPED_TRACE(layout::NameText(name));
            wchar_t buffer[128] = {};
            TOOLINFOW tool{};
            tool.cbSize = TTTOOLINFOW_V2_SIZE;
            tool.hwnd = h.Window();
            tool.uId = reinterpret_cast<UINT_PTR>(h.Ctl(name));
            tool.lpszText = buffer;
            SendMessageW(tooltip, TTM_GETTEXTW, 128, reinterpret_cast<LPARAM>(&tool));
            EXPECT_EQ(Utf8(buffer), text);
        }
    });
}

TEST(BuilderWindowLayout, PictureButtonsShowOurPicturesAndImagesTheStandardIcons) {
    Harness h;
    h.WhileShown([&] {
        for (auto name : {ctl::cmdPreview, ctl::cmdCopy, ctl::cmdPaste, ctl::cmdHelp}) {
            SCOPED_TRACE(layout::NameText(name));
            EXPECT_NE(GetWindowLongW(h.Ctl(name), GWL_STYLE) & BS_BITMAP, 0);
            auto bitmap =
                reinterpret_cast<HBITMAP>(SendMessageW(h.Ctl(name), BM_GETIMAGE, IMAGE_BITMAP, 0));
            ASSERT_NE(bitmap, nullptr);
            DIBSECTION dib{};
            ASSERT_EQ(GetObjectW(bitmap, sizeof dib, &dib), static_cast<int>(sizeof dib));
            EXPECT_EQ(dib.dsBm.bmWidth, 24);
            EXPECT_EQ(dib.dsBm.bmHeight, 23);
            EXPECT_EQ(dib.dsBm.bmBitsPixel, 8) << "256 colours";
        }
        EXPECT_NE(GetWindowLongW(h.Ctl(ctl::cmdExit), GWL_STYLE) & BS_ICON, 0);
        auto exitIcon =
            reinterpret_cast<HICON>(SendMessageW(h.Ctl(ctl::cmdExit), BM_GETIMAGE, IMAGE_ICON, 0));
        ASSERT_NE(exitIcon, nullptr);
        ICONINFO info{};
        ASSERT_TRUE(GetIconInfo(exitIcon, &info));
        BITMAP mask{};
        GetObjectW(info.hbmMask, sizeof mask, &mask);
        EXPECT_EQ(mask.bmWidth, 32);
        DeleteObject(info.hbmMask);
        if (info.hbmColor != nullptr) {
            DeleteObject(info.hbmColor);
        }

        const LPCWSTR standard[] = {nullptr, IDI_HAND, IDI_QUESTION, IDI_EXCLAMATION, IDI_ASTERISK};
        for (int i = 0; i < 5; ++i) {
            SCOPED_TRACE(i);
            HWND image = h.Ctl(ctl::imgIcons, i);
            const auto shown = reinterpret_cast<HICON>(SendMessageW(image, STM_GETICON, 0, 0));
            EXPECT_EQ(shown, standard[i] == nullptr ? nullptr : LoadIconW(nullptr, standard[i]));
        }
    });
}

TEST(ButtonArt, EachPictureIsADrawingOfItsOwnAtItsSize) {
    const layout::Picture subjects[] = {layout::Picture::Preview, layout::Picture::Copy,
                                        layout::Picture::Paste, layout::Picture::Help,
                                        layout::Picture::Exit};
    std::vector<std::vector<std::uint8_t>> drawings;
    for (auto subject : subjects) {
        const int size = subject == layout::Picture::Exit ? 32 : 24;
        const int height = subject == layout::Picture::Exit ? 32 : 23;
        const PixelCanvas canvas = DrawPicture(subject, size, height);
        std::vector<std::uint8_t> pixels;
        std::set<std::uint8_t> colours;
        int painted = 0;
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < size; ++x) {
                pixels.push_back(canvas.At(x, y));
                colours.insert(canvas.At(x, y));
                painted += canvas.At(x, y) != PixelCanvas::kClear;
            }
        }
        SCOPED_TRACE(static_cast<int>(subject));
        EXPECT_GE(colours.size(), 3U) << "a picture, not a blot";
        EXPECT_GT(painted, size * height / 8);
        EXPECT_LT(painted, size * height) << "the button face shows around it";
        drawings.push_back(pixels);
    }
    for (std::size_t i = 0; i < drawings.size(); ++i) {
        for (std::size_t j = i + 1; j < drawings.size(); ++j) {
            EXPECT_NE(drawings[i], drawings[j]);
        }
    }
}

// The names of the controls the focus visits, from the first tab stop round to it again.
std::vector<std::string> FocusTour(Harness& h, bool backward) {
    std::vector<std::string> tour;
    for (int step = 0; step < 40; ++step) {
        const auto* entry = layout::ControlForId(GetDlgCtrlID(h.FocusedControl()));
        std::string name = entry != nullptr ? std::string(entry->NameText()) : "?";
        if (entry != nullptr && entry->index != layout::kNoIndex) {
            name += " " + std::to_string(entry->index);
        }
        if (!tour.empty() && name == tour.front()) {
            break;
        }
        tour.push_back(name);
        if (!h.PressKey(VK_TAB, backward)) {
            tour.push_back("(focus stuck)");
            break;
        }
    }
    return tour;
}

TEST(BuilderWindowKeyboard, TabVisitsTheTabStopsInTheTableOrderAndShiftTabGoesBack) {
    Harness h;
    const std::vector<std::string> forward = {
        "optIcons 0",       "optButtons 0",  "optDefBtn 0",   "cmdCopy",       "cmdExit",
        "cmdPreview",       "txtTitle",      "txtPrompt",     "chkHelp",       "chkSysModal",
        "chkSetForeground", "chkRightAlign", "chkRtlReading", "chkOptValOnly", "cmdHelp",
        "optCodeOption 0",  "cmdPaste",
    };
    std::vector<std::string> seenForward;
    std::vector<std::string> seenBackward;
    h.DriveWhileShown([&] {
        seenForward = FocusTour(h, false);
        seenBackward = FocusTour(h, true);
    });
    EXPECT_EQ(seenForward, forward);
    std::vector<std::string> backward = {forward.front()};
    backward.insert(backward.end(), forward.rbegin(), forward.rend() - 1);
    EXPECT_EQ(seenBackward, backward);
}

TEST(BuilderWindowKeyboard, ArrowKeysSelectWithinTheOptionGroup) {
    Harness h;
    h.DriveWhileShown([&] {
        ASSERT_TRUE(h.PressKey(VK_TAB)); // to the button sets
        EXPECT_EQ(h.FocusedControl(), h.Ctl(ctl::optButtons, 0));
        ASSERT_TRUE(h.PressKey(VK_DOWN));
        EXPECT_EQ(h.FocusedControl(), h.Ctl(ctl::optButtons, 1));
        EXPECT_EQ(SendMessageW(h.Ctl(ctl::optButtons, 1), BM_GETCHECK, 0, 0), BST_CHECKED);
        EXPECT_EQ(SendMessageW(h.Ctl(ctl::optButtons, 0), BM_GETCHECK, 0, 0), BST_UNCHECKED);
        // optButtons_click ran: "OK and Cancel" shows a second default button.
        EXPECT_TRUE(IsWindowVisible(h.Ctl(ctl::optDefBtn, 1)));
        EXPECT_EQ(Text(h.Ctl(ctl::optDefBtn, 1)), "Cancel");
        ASSERT_TRUE(h.PressKey(VK_UP));
        ASSERT_TRUE(h.PressKey(VK_UP)); // wraps to the last set
        EXPECT_EQ(h.FocusedControl(), h.Ctl(ctl::optButtons, 5));
        EXPECT_EQ(h.window->Form().Settings().intButtonSet, 5);
    });
}

} // namespace
} // namespace qvn::win32::testing
