// The tools' per-user mode: each component of the folder registered for this user by the
// registration tool of its bitness, the one report at the end and its exit status, the
// refusal of other arguments, and the elevation asked for by the machine-wide mode.
#include "setup/tests/setup_test_support.h"

#include "win32util/registry.h"

#include <gtest/gtest.h>

namespace qvn::setup::testing {
namespace {

using qvn::testing::MessageBoxWatcher;

constexpr bool kSixtyFourBitTools = sizeof(void*) == 8;
const std::wstring kEntry = L"Software\\Microsoft\\VBA\\VBE\\6.0\\Addins";

bool SixtyFourBitWindows() {
    BOOL wow64 = FALSE;
    return kSixtyFourBitTools || (IsWow64Process(GetCurrentProcess(), &wow64) && wow64);
}

bool Listed(bool sixtyFourBit) {
    return win32util::KeyExists(HKEY_CURRENT_USER,
                                (kEntry + (sixtyFourBit ? L"64" : L"") + L"\\Quorvane.Connect"));
}

// Where a component of this build's bitness, or of the other one, sits in the tools' folder.
fs::path Slot(const fs::path& folder, bool sixtyFourBit) {
    return sixtyFourBit ? folder / L"x64" / L"QVN.dll" : folder / L"QVN.dll";
}

enum class Part { Absent, Ours, OtherBuild, NotADll, FailingInstall };

void Put(const fs::path& folder, bool sixtyFourBit, Part part) {
    const fs::path target = Slot(folder, sixtyFourBit);
    fs::create_directories(target.parent_path());
    switch (part) {
    case Part::Absent:
        break;
    case Part::Ours:
        fs::copy_file(TestBinaries() / L"qvn.dll", target, fs::copy_options::overwrite_existing);
        break;
    case Part::OtherBuild:
        fs::copy_file(QVN_OTHER_BUILD_DLL, target, fs::copy_options::overwrite_existing);
        break;
    case Part::NotADll:
        WriteText(target, "not a library");
        break;
    case Part::FailingInstall:
        fs::copy_file(TestBinaries() / L"qvn_failing_install.dll", target,
                      fs::copy_options::overwrite_existing);
        break;
    }
}

fs::path ToolsOnly(const std::wstring& name) {
    const fs::path folder = MakeToolFolder(name, false);
    return folder;
}

class UserMode : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(WaitForRegistrationTools());
        SetEnvironmentVariableW(L"QVN_SETUP_ELEVATION", nullptr);
    }
    void TearDown() override {
        SetEnvironmentVariableW(L"QVN_SETUP_ELEVATION", nullptr);
        WaitForRegistrationTools();
    }
    ListFileGuard lists_;
};

TEST_F(UserMode, InstallsAndRemovesEveryComponentForThisUserOnly) {
    const fs::path folder = ToolsOnly(L"user mode both");
    Put(folder, kSixtyFourBitTools, Part::Ours);
    const bool both =
        SixtyFourBitWindows() && GetFileAttributesW(QVN_OTHER_BUILD_DLL) != INVALID_FILE_ATTRIBUTES;
    if (both) {
        Put(folder, !kSixtyFourBitTools, Part::OtherBuild);
    }
    std::wstring lines;
    if (!kSixtyFourBitTools || both) {
        lines += L"\n  32-bit Office";
    }
    if (kSixtyFourBitTools || both) {
        lines += L"\n  64-bit Office";
    }

    const ToolRun install = RunTool(folder, kInstall, L"/user");
    EXPECT_EQ(install.exitCode, 0u);
    ASSERT_EQ(install.boxes.size(), 1u);
    EXPECT_EQ(install.boxes[0].title, L"QVNInstall");
    EXPECT_EQ(MessageBoxWatcher::Lf(install.boxes[0].text),
              L"QVN installed for this user in the VBA editor:" + lines);
    EXPECT_TRUE(install.boxes[0].hasIcon);
    EXPECT_EQ(install.boxes[0].buttons, std::vector<std::wstring>{L"OK"});
    EXPECT_EQ(Listed(false), !kSixtyFourBitTools || both);
    EXPECT_EQ(Listed(true), kSixtyFourBitTools || both);
    EXPECT_FALSE(fs::exists(ListFile())) << "the per-user mode leaves the IDE's list alone";

    const ToolRun remove = RunTool(folder, kRemove, L"/USER");
    EXPECT_EQ(remove.exitCode, 0u);
    ASSERT_EQ(remove.boxes.size(), 1u);
    EXPECT_EQ(remove.boxes[0].title, L"QVNRemove");
    EXPECT_EQ(MessageBoxWatcher::Lf(remove.boxes[0].text),
              L"QVN removed for this user from the VBA editor:" + lines);
    EXPECT_FALSE(Listed(false));
    EXPECT_FALSE(Listed(true));
}

// As a silent installation runs them: no message at all, the outcome in the exit status.
TEST_F(UserMode, QuietToolsShowNothingAndReportThroughTheirStatus) {
    const fs::path folder = ToolsOnly(L"user mode quiet");
    Put(folder, kSixtyFourBitTools, Part::Ours);
    SetEnvironmentVariableW(L"QVN_SETUP_QUIET", L"1");
    const ToolRun install = RunTool(folder, kInstall, L"/user");
    const ToolRun remove = RunTool(folder, kRemove, L"/user");
    Put(folder, kSixtyFourBitTools, Part::NotADll);
    const ToolRun failing = RunTool(folder, kInstall, L"/user");
    const ToolRun bad = RunTool(folder, kInstall, L"/nonsense");
    SetEnvironmentVariableW(L"QVN_SETUP_QUIET", nullptr);
    EXPECT_EQ(install.exitCode, 0u);
    EXPECT_EQ(remove.exitCode, 0u);
    EXPECT_EQ(failing.exitCode, 8u);
    EXPECT_EQ(bad.exitCode, 4u);
    for (const ToolRun* run : {&install, &remove, &failing, &bad}) {
        EXPECT_TRUE(run->boxes.empty()) << Narrow(run->boxes.front().text);
    }
    EXPECT_FALSE(Listed(kSixtyFourBitTools));
}

struct SlotFailure {
    const char* name;
    Part ownSlot;
    Part otherSlot;
    unsigned exitCode;
    std::wstring text; // with {own} for this build's Office line, {other} for the other's
};

void PrintTo(const SlotFailure& c, std::ostream* os) {
    *os << c.name;
}

class UserModeFailure : public UserMode, public ::testing::WithParamInterface<SlotFailure> {};

std::wstring Office(bool sixtyFourBit) {
    return sixtyFourBit ? L"64-bit Office" : L"32-bit Office";
}

TEST_P(UserModeFailure, IsReportedPerComponentWithItsExitStatus) {
    const SlotFailure& c = GetParam();
    if (c.otherSlot == Part::OtherBuild &&
        (!SixtyFourBitWindows() ||
         GetFileAttributesW(QVN_OTHER_BUILD_DLL) == INVALID_FILE_ATTRIBUTES)) {
        GTEST_SKIP() << "needs the other build on 64-bit Windows";
    }
    const fs::path folder = ToolsOnly(L"user mode " + ToWide(c.name));
    Put(folder, kSixtyFourBitTools, c.ownSlot);
    Put(folder, !kSixtyFourBitTools, c.otherSlot);

    const ToolRun run = RunTool(folder, kInstall, L"/user");
    EXPECT_EQ(run.exitCode, c.exitCode);
    ASSERT_EQ(run.boxes.size(), 1u);
    std::wstring expected = c.text;
    for (auto [mark, office] : {std::pair{L"{own}", Office(kSixtyFourBitTools)},
                                std::pair{L"{other}", Office(!kSixtyFourBitTools)}}) {
        for (auto at = expected.find(mark); at != std::wstring::npos; at = expected.find(mark)) {
            expected.replace(at, std::wcslen(mark), office);
        }
    }
    for (auto at = expected.find(L"{folder}"); at != std::wstring::npos;
         at = expected.find(L"{folder}")) {
        expected.replace(at, 8, folder.wstring());
    }
    EXPECT_EQ(MessageBoxWatcher::Lf(run.boxes[0].text), expected);
    EXPECT_TRUE(run.boxes[0].hasIcon);
    if (c.otherSlot == Part::OtherBuild) {
        EXPECT_TRUE(Listed(!kSixtyFourBitTools)) << "the good component is installed";
        EXPECT_EQ(RunTool(folder, kRemove, L"/user").exitCode, 8u);
        EXPECT_FALSE(Listed(!kSixtyFourBitTools));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Components, UserModeFailure,
    ::testing::Values(
        SlotFailure{"unloadable", Part::NotADll, Part::Absent, 8,
                    L"QVN could not be installed for this user:\n  {own}: the DLL could not be "
                    L"loaded"},
        SlotFailure{"failing DllInstall", Part::FailingInstall, Part::Absent, 8,
                    L"QVN could not be installed for this user:\n  {own}: the DLL's DllInstall "
                    L"failed"},
        SlotFailure{"one of two", Part::NotADll, Part::OtherBuild, 8,
                    L"QVN could not be installed for this user:\n  {own}: the DLL could not be "
                    L"loaded\nQVN installed for this user in the VBA editor:\n  {other}"},
        SlotFailure{"none", Part::Absent, Part::Absent, 16,
                    L"QVN.dll was not found in {folder}.\n\nRun QVNInstall /user from the "
                    L"folder that holds QVN.dll."}),
    [](const auto& info) {
        std::string name = info.param.name;
        for (char& ch : name) {
            if (ch == ' ' || ch == '\'')
                ch = '_';
        }
        return name;
    });

TEST_F(UserMode, AnyOtherArgumentIsRefusedAndChangesNothing) {
    const fs::path folder = MakeToolFolder(L"user mode arguments");
    struct Case {
        const wchar_t* tool;
        const wchar_t* text;
    };
    const Case tools[] = {
        {kInstall, L"QVNInstall takes no argument, or /user to install for this user only (the "
                   L"VBA editor)."},
        {kRemove, L"QVNRemove takes no argument, or /user to remove it for this user only."},
    };
    for (const auto& tool : tools) {
        for (const wchar_t* argument : {L"/users", L"-user", L"/user now", L"user"}) {
            const ToolRun run = RunTool(folder, tool.tool, argument);
            EXPECT_EQ(run.exitCode, 4u) << Narrow(argument);
            ASSERT_EQ(run.boxes.size(), 1u) << Narrow(argument);
            EXPECT_EQ(MessageBoxWatcher::Lf(run.boxes[0].text), tool.text);
            EXPECT_TRUE(run.boxes[0].hasIcon);
        }
    }
    EXPECT_FALSE(fs::exists(ListFile()));
    EXPECT_FALSE(Listed(false));
    EXPECT_FALSE(Listed(true));
}

// Every process is elevated under Wine: the stand-in for the system's elevation decides.
TEST_F(UserMode, WithoutAdministratorRightsTheMachineModeAsksForThemAndForwardsTheOutcome) {
    const fs::path folder = MakeToolFolder(L"user mode elevation");
    SetEnvironmentVariableW(L"QVN_SETUP_ELEVATION", L"cancel");
    const ToolRun refused = RunTool(folder, kInstall);
    EXPECT_EQ(refused.exitCode, 32u);
    ASSERT_EQ(refused.boxes.size(), 1u);
    EXPECT_EQ(MessageBoxWatcher::Lf(refused.boxes[0].text),
              L"QVN was not installed: administrator rights are needed to change vbaddin.ini "
              L"and register QVN.dll for every user. Run QVNInstall /user to install for "
              L"yourself only.");
    const ToolRun refusedRemove = RunTool(folder, kRemove);
    EXPECT_EQ(refusedRemove.exitCode, 32u);
    ASSERT_EQ(refusedRemove.boxes.size(), 1u);
    EXPECT_EQ(MessageBoxWatcher::Lf(refusedRemove.boxes[0].text),
              L"QVN was not removed: administrator rights are needed to change vbaddin.ini and "
              L"register QVN.dll for every user. Run QVNRemove /user to remove it for yourself "
              L"only.");
    EXPECT_FALSE(fs::exists(ListFile())) << "nothing changed without the rights";

    // The elevated run's exit status is the tool's.
    SetEnvironmentVariableW(L"QVN_SETUP_ELEVATION", L"cmd.exe /c exit 3");
    const ToolRun forwarded = RunTool(folder, kInstall);
    EXPECT_EQ(forwarded.exitCode, 3u);
    EXPECT_TRUE(forwarded.boxes.empty());
    EXPECT_FALSE(fs::exists(ListFile())) << "the elevated run, not this one, does the work";
}

} // namespace
} // namespace qvn::setup::testing
