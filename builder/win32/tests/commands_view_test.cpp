// Input on the native controls reaching frmMain's handlers, the controls mirroring the model,
// and the commands through the system's real message boxes and clipboard.
#include "builder/win32/tests/view_harness.h"
#include "testsupport/message_box_watcher.h"
#include "win32util/text.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace qvn::win32::testing {
using win32util::Utf8;
using win32util::Wide;
namespace {

using qvn::testing::MessageBoxWatcher;

LRESULT Checked(HWND ctl) {
    return SendMessageW(ctl, BM_GETCHECK, 0, 0);
}

constexpr char kExample3[] =
    "If MsgBox (\"Quit now?\", vbYesNo + vbDefaultButton2 + vbMsgBoxHelpButton, \"Confirm\", "
    "\"app.hlp\", 100) <> vbNo Then\r\n"
    "\r\n"
    "Else\r\n"
    "\r\n"
    "End If\r\n";

TEST(BuilderWindowInput, ClicksReachTheHandlersAndTheControlsFollowTheModel) {
    Harness h;
    h.WhileShown([&] {
        h.Click(ctl::optButtons, 3); // "Yes, No and Cancel"
        EXPECT_EQ(Checked(h.Ctl(ctl::optButtons, 3)), BST_CHECKED);
        EXPECT_EQ(Checked(h.Ctl(ctl::optButtons, 0)), BST_UNCHECKED);
        EXPECT_EQ(h.window->Form().Settings().intButtonSet, 3);
        const char* labels[] = {"Yes", "No", "Cancel"};
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(Text(h.Ctl(ctl::optDefBtn, i)), labels[i]);
            EXPECT_TRUE(IsWindowVisible(h.Ctl(ctl::optDefBtn, i)));
            EXPECT_TRUE(IsWindowEnabled(h.Ctl(ctl::optDefBtn, i)));
        }
        EXPECT_FALSE(IsWindowVisible(h.Ctl(ctl::optDefBtn, 3)));
        EXPECT_TRUE(IsWindowEnabled(h.Ctl(ctl::optCodeOption, 1)));

        h.Click(ctl::optDefBtn, 2);
        EXPECT_EQ(Checked(h.Ctl(ctl::optDefBtn, 2)), BST_CHECKED);
        EXPECT_EQ(Checked(h.Ctl(ctl::optDefBtn, 0)), BST_UNCHECKED);
        EXPECT_EQ(h.window->Form().Settings().intDefButton, 2);

        h.Click(ctl::chkHelp);
        EXPECT_EQ(Checked(h.Ctl(ctl::chkHelp)), BST_CHECKED);
        EXPECT_TRUE(IsWindowEnabled(h.Ctl(ctl::txtHelpFile)));
        EXPECT_TRUE(IsWindowEnabled(h.Ctl(ctl::cmdBrowse)));
        h.Click(ctl::optButtons, 3); // already selected: the labels stay
        EXPECT_FALSE(IsWindowVisible(h.Ctl(ctl::optDefBtn, 3)));
        h.Click(ctl::optButtons, 4); // the Help button joins the next set chosen
        EXPECT_TRUE(IsWindowVisible(h.Ctl(ctl::optDefBtn, 2)));
        EXPECT_EQ(Text(h.Ctl(ctl::optDefBtn, 2)), "Help");
        EXPECT_EQ(Checked(h.Ctl(ctl::optDefBtn, 0)), BST_CHECKED);
        h.Click(ctl::chkHelp);
        EXPECT_EQ(Checked(h.Ctl(ctl::chkHelp)), BST_UNCHECKED);
        EXPECT_FALSE(IsWindowEnabled(h.Ctl(ctl::txtHelpFile)));

        h.Click(ctl::chkSysModal); // a check box without a handler toggles too
        EXPECT_EQ(Checked(h.Ctl(ctl::chkSysModal)), BST_CHECKED);
        EXPECT_EQ(h.Model().Value(layout::RowOf(ctl::chkSysModal)), 1);
    });
}

TEST(BuilderWindowInput, ImagesSelectTheirIconOptionTheEmptyOneIncluded) {
    Harness h;
    h.WhileShown([&] {
        for (int i : {2, 4, 1, 0, 3}) {
            SCOPED_TRACE(i);
            h.Click(ctl::imgIcons, i);
            EXPECT_EQ(Checked(h.Ctl(ctl::optIcons, i)), BST_CHECKED);
            EXPECT_EQ(h.window->Form().Settings().intIcon, i);
            for (int other = 0; other < 5; ++other) {
                if (other != i) {
                    EXPECT_EQ(Checked(h.Ctl(ctl::optIcons, other)), BST_UNCHECKED);
                }
            }
        }
    });
}

TEST(BuilderWindowInput, TypedTextReachesTheChangeHandlersAndCodeTextShowsWithoutEcho) {
    Harness h;
    h.WhileShown([&] {
        h.Type(ctl::txtTitle, "Confirm");
        EXPECT_EQ(h.window->Form().Settings().strTitle, "Confirm");
        h.Type(ctl::txtPrompt, "First line\r\nSecond line \xC3\xA9");
        EXPECT_EQ(h.window->Form().Settings().txtPrompt, "First line\r\nSecond line \xC3\xA9");
        EXPECT_EQ(h.Model().Text(layout::RowOf(ctl::txtPrompt)),
                  "First line\r\nSecond line \xC3\xA9");

        // A disabled box takes no text from outside; it keeps showing what the model holds.
        h.Type(ctl::txtVarName, "sneaked in");
        EXPECT_EQ(Text(h.Ctl(ctl::txtVarName)), "");
        EXPECT_EQ(h.Model().Text(layout::RowOf(ctl::txtVarName)), "");

        // Text set by code shows in the box.
        h.Model().SetText(layout::RowOf(ctl::txtTitle), "From code");
        EXPECT_EQ(Text(h.Ctl(ctl::txtTitle)), "From code");
        EXPECT_EQ(h.window->Form().Settings().strTitle, "From code");
    });
}

TEST(BuilderWindowInput, SecondClickOnTheSelectedOptionKeepsTheVariableName) {
    Harness h;
    h.WhileShown([&] {
        h.Click(ctl::optButtons, 1);
        h.Click(ctl::optCodeOption, 1);
        EXPECT_EQ(Text(h.Ctl(ctl::txtVarName)), "response");
        h.Type(ctl::txtVarName, "answer");
        h.Click(ctl::optCodeOption, 1);
        EXPECT_EQ(Text(h.Ctl(ctl::txtVarName)), "answer");
        EXPECT_EQ(h.Model().Text(layout::RowOf(ctl::txtVarName)), "answer");
    });
}

TEST(BuilderWindowCommands, PreviewShowsTheComposedMessageBox) {
    Harness h;
    MessageBoxWatcher watcher(IDYES);
    h.WhileShown([&] {
        h.Type(ctl::txtPrompt, "Save the file?\r\nIt has changed.");
        h.Type(ctl::txtTitle, "Editor");
        h.Click(ctl::optButtons, 4);
        h.Click(ctl::optIcons, 2);
        h.Click(ctl::cmdPreview);
        EXPECT_EQ(GetFocus(), h.Ctl(ctl::cmdPreview)) << "the keyboard is back where it was";
    });
    ASSERT_TRUE(watcher.WaitForCount(1));
    const auto box = watcher.Seen().front();
    EXPECT_EQ(box.title, L"Editor");
    EXPECT_EQ(MessageBoxWatcher::Lf(box.text), L"Save the file?\nIt has changed.");
    ASSERT_EQ(box.buttons.size(), 2U);
    EXPECT_NE(box.buttons[0].find(L"Yes"), std::wstring::npos);
    EXPECT_NE(box.buttons[1].find(L"No"), std::wstring::npos);
    EXPECT_TRUE(box.hasIcon);
    ASSERT_EQ(h.services->messages.size(), 1U);
    EXPECT_EQ(h.services->messages[0].style, 4 + 32) << "vbYesNo + vbQuestion";
    EXPECT_EQ(h.services->messages[0].title, std::optional<std::string>("Editor"));
}

TEST(BuilderWindowCommands, CopyPutsTheExactCodeOnTheClipboard) {
    Harness h;
    MessageBoxWatcher watcher;
    h.WhileShown([&] {
        h.ComposeIfThenElseExample();
        h.Click(ctl::cmdCopy);
        EXPECT_TRUE(h.window->IsShowing()) << "Copy leaves the window open";
    });
    EXPECT_EQ(ClipboardText(), kExample3);
    EXPECT_TRUE(watcher.Seen().empty());
}

TEST(BuilderWindowCommands, CopyThatCannotReachTheClipboardSaysSo) {
    Harness h;
    h.services->failClipboard = true;
    MessageBoxWatcher watcher;
    h.WhileShown([&] { h.Click(ctl::cmdCopy); });
    ASSERT_TRUE(watcher.WaitForCount(1));
    EXPECT_EQ(watcher.Seen()[0].title, L"Copy Error");
    EXPECT_EQ(MessageBoxWatcher::Lf(watcher.Seen()[0].text),
              L"The code could not be copied to the clipboard.\n\nThe clipboard may be in use "
              L"by another program; try again, or use Paste.");
}

// Exit pressed by an automation client, from another thread, ends the display at once: the
// modal loop does not wait for the next message someone happens to post.
TEST(BuilderWindowCommands, ExitSentFromAnotherThreadEndsTheDisplayAtOnce) {
    Harness h;
    std::atomic<bool> ended{false};
    std::atomic<bool> rescued{false};
    std::thread rescue([&] {
        for (int i = 0; i < 200 && !ended; ++i) {
            Sleep(50);
        }
        if (!ended) {
            rescued = true;
            PostThreadMessageW(h.windowThread, WM_NULL, 0, 0);
        }
    });
    h.DriveWhileShown([&] { h.Click(ctl::cmdExit); });
    ended = true;
    rescue.join();
    EXPECT_FALSE(rescued) << "the display lasted 10 s after Exit";
    EXPECT_FALSE(h.window->IsShowing());
}

TEST(BuilderWindowCommands, PasteInsertsTheCodeBeforeTheCaretLine) {
    Harness h;
    MessageBoxWatcher watcher;
    h.WhileShown([&] {
        h.ComposeIfThenElseExample();
        h.Click(ctl::cmdPaste);
    });
    ASSERT_EQ(h.ide->inserted.size(), 1U);
    EXPECT_EQ(h.ide->inserted[0].first, 7);
    EXPECT_EQ(h.ide->inserted[0].second, kExample3);
    EXPECT_TRUE(watcher.Seen().empty());
}

struct Refusal {
    const char* what;
    std::function<void(Harness&)> compose;
    const wchar_t* title;
    const wchar_t* text;
};

class BuilderWindowRefusals : public ::testing::TestWithParam<int> {};

const std::vector<Refusal>& Refusals() {
    static const std::vector<Refusal> refusals = {
        {"help file without context",
         [](Harness& h) {
             h.Click(ctl::chkHelp);
             h.Type(ctl::txtHelpFile, "app.hlp");
         },
         L"Help File Specification Error",
         L"The message box cannot be built as specified.\n\nYou must specify both a help file "
         L"name and help context\nif either one is specified."},
        {"variable return without a name",
         [](Harness& h) {
             h.Click(ctl::optButtons, 1);
             h.Click(ctl::optCodeOption, 1);
             h.Type(ctl::txtVarName, "");
         },
         L"Variable Name Error",
         L"The message box cannot be built as specified.\n\nYou must specify a variable name if "
         L"selecting the \nvariable return code option."},
        {"If block on the Help button",
         [](Harness& h) {
             h.Click(ctl::chkHelp);
             h.Click(ctl::optButtons, 1);
             h.Click(ctl::optCodeOption, 2);
             h.Click(ctl::optDefBtn, 2);
         },
         L"Default Button Error",
         L"The message box cannot be built as specified.\n\nThe Help button returns no value to "
         L"test.\nChoose another default button or another code option."},
        {"paste with no code pane", [](Harness& h) { h.ide->hasPane = false; }, L"Paste Error",
         L"\nA problem occurred while trying to paste into your project.\n\nA code pane or a "
         L"project may not be open.\n\nClose QVN and be sure a project and code pane are open "
         L"or copy to the clipboard."},
    };
    return refusals;
}

TEST_P(BuilderWindowRefusals, RefusalShowsItsTitleAndTextAndInsertsNothing) {
    const Refusal& refusal = Refusals()[static_cast<std::size_t>(GetParam())];
    SCOPED_TRACE(refusal.what);
    Harness h;
    MessageBoxWatcher watcher;
    h.WhileShown([&] {
        refusal.compose(h);
        h.Click(ctl::cmdPaste);
        EXPECT_TRUE(h.window->IsShowing());
    });
    ASSERT_TRUE(watcher.WaitForCount(1));
    EXPECT_EQ(watcher.Seen()[0].title, refusal.title);
    EXPECT_EQ(MessageBoxWatcher::Lf(watcher.Seen()[0].text), refusal.text);
    EXPECT_TRUE(watcher.Seen()[0].hasIcon) << "style 16, the critical icon";
    ASSERT_EQ(h.services->messages.size(), 1U);
    EXPECT_EQ(h.services->messages[0].style, 16);
    EXPECT_TRUE(h.ide->inserted.empty());
}

INSTANTIATE_TEST_SUITE_P(EachCheck, BuilderWindowRefusals, ::testing::Range(0, 4));

TEST(BuilderWindowCommands, HelpAsksTheViewerAndReportsItsFailureUnderQvn) {
    struct Case {
        std::optional<std::string> answer;
        const wchar_t* text; // nullptr: no message
    };
    const Case cases[] = {
        {std::nullopt, nullptr},
        {std::string("The help viewer is not installed."), L"The help viewer is not installed."},
        {std::string(), L"Unable to display Help Contents."},
    };
    for (const auto& c : cases) {
        Harness h;
        h.services->helpAnswer = c.answer;
        MessageBoxWatcher watcher;
        HWND owner = nullptr;
        h.WhileShown([&] {
            owner = h.Window();
            h.Click(ctl::cmdHelp);
        });
        EXPECT_EQ(h.services->helpFiles, std::vector<std::string>{"Qvn.hlp"});
        EXPECT_EQ(h.services->helpOwner, owner);
        if (c.text == nullptr) {
            EXPECT_TRUE(watcher.Seen().empty());
            continue;
        }
        ASSERT_TRUE(watcher.WaitForCount(1));
        EXPECT_EQ(watcher.Seen()[0].title, L"QVN");
        EXPECT_EQ(watcher.Seen()[0].text, c.text);
    }
}

TEST(BuilderWindowCommands, BrowseOpensTheHelpFileDialogAndCancelKeepsTheTypedName) {
    Harness h;
    MessageBoxWatcher watcher(IDCANCEL);
    h.WhileShown([&] {
        h.Click(ctl::chkHelp);
        h.Type(ctl::txtHelpFile, "typed.hlp");
        h.Click(ctl::cmdBrowse);
        EXPECT_EQ(Text(h.Ctl(ctl::txtHelpFile)), "typed.hlp");
    });
    ASSERT_TRUE(watcher.WaitForCount(1));
    EXPECT_EQ(watcher.Seen()[0].title, L"Select Help File for Message Box Help");
}

TEST(SystemServicesText, FilterBecomesNulSeparatedAndErrorsReadAsText) {
    EXPECT_EQ(SystemServices::DialogFilter("Help (*.hlp)|*.hlp"),
              std::wstring(L"Help (*.hlp)\0*.hlp\0\0", 20));
    EXPECT_EQ(SystemServices::ErrorText(0), "");
    const std::string text = SystemServices::ErrorText(ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(text.empty());
    EXPECT_NE(text.back(), '\n');
    EXPECT_EQ(Utf8(Wide("Gr\xC3\xBC\xC3\x9F"
                        "e")),
              "Gr\xC3\xBC\xC3\x9F"
              "e");
}

} // namespace
} // namespace qvn::win32::testing
