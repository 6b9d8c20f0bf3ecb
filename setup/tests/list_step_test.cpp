// The list step of both tools against vbaddin.ini in the prefix's Windows folder: what each
// shows, what the file holds afterwards (compared as sections and keys), and the exit status.
// The stand-in registration tool takes the registration step, so every run also shows the
// command line the tool started.
#include "setup/tests/setup_test_support.h"

#include <gtest/gtest.h>

namespace qvn::setup::testing {
namespace {

using qvn::testing::MessageBoxWatcher;

constexpr wchar_t kInstalled[] = L"QVN installed in VBAddin.ini.";
constexpr wchar_t kAlreadyInstalled[] = L"QVN already installed in VBAddin.ini.";
constexpr wchar_t kRemoved[] = L"QVN removed from VBAddin.ini.";
constexpr wchar_t kAlreadyRemoved[] = L"QVN already removed from VBAddin.ini.";

std::wstring TitleOf(const wchar_t* tool) {
    return std::wstring(tool) == kInstall ? L"QVNInstall" : L"QVNRemove";
}

void ExpectMessage(const qvn::testing::SeenMessageBox& box, const wchar_t* tool,
                   const std::wstring& text) {
    EXPECT_EQ(box.title, TitleOf(tool));
    EXPECT_EQ(MessageBoxWatcher::Lf(box.text), text);
    EXPECT_TRUE(box.hasIcon);
    EXPECT_EQ(box.buttons, std::vector<std::wstring>{L"OK"});
}

std::string ExpectedCommand(const fs::path& folder, const wchar_t* tool) {
    const std::string switches = std::wstring(tool) == kInstall ? "" : "/u ";
    return "c:\\windows\\system\\regsvr32 " + switches + "\"" + ShortPath(folder / L"QVN.dll") +
           "\"";
}

class ListStep : public ::testing::Test {
protected:
    ListFileGuard lists_;
    FakeRegistrationTool registration_;
};

struct ListCase {
    const char* name;
    const wchar_t* tool;
    std::optional<std::string> before; // the file's text; none: no file
    const wchar_t* message;
    std::optional<IniContents> after; // none: no file; ignored when `unchanged`
    bool unchanged = false;
};

// Parameters print as their names in test listings.
void PrintTo(const ListCase& c, std::ostream* os) {
    *os << c.name;
}

class ListStepCases : public ListStep, public ::testing::WithParamInterface<ListCase> {};

TEST_P(ListStepCases, ShowsItsMessageAndLeavesTheExpectedList) {
    const ListCase& c = GetParam();
    if (c.before)
        WriteText(ListFile(), *c.before);
    const auto expected = c.unchanged ? ReadIni(ListFile()) : c.after;
    const fs::path folder = MakeToolFolder(ToWide(c.name));

    const ToolRun run = RunTool(folder, c.tool);

    ASSERT_EQ(run.boxes.size(), 1u);
    ExpectMessage(run.boxes[0], c.tool, c.message);
    EXPECT_EQ(ReadIni(ListFile()), expected);
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(registration_.CommandLines(),
              std::vector<std::string>{ExpectedCommand(folder, c.tool)});
    EXPECT_FALSE(fs::exists(VirtualStoreList())) << "a virtual copy was created";
}

const std::string kOthers = "[Other]\r\nkey=value\r\n[Add-Ins32]\r\nOther.Connect=0\r\n";

INSTANTIATE_TEST_SUITE_P(
    Install, ListStepCases,
    ::testing::Values(
        ListCase{"install-no-file", kInstall, std::nullopt, kInstalled,
                 IniContents{{"Add-Ins32", {{"Quorvane.Connect", "1"}}}}},
        ListCase{"install-value-0",
                 kInstall,
                 "[Add-Ins32]\r\nQuorvane.Connect=0\r\n",
                 kAlreadyInstalled,
                 {},
                 true},
        ListCase{"install-value-1",
                 kInstall,
                 "[Add-Ins32]\r\nQuorvane.Connect=1\r\n",
                 kAlreadyInstalled,
                 {},
                 true},
        ListCase{"install-empty-value",
                 kInstall,
                 "[Add-Ins32]\r\nQuorvane.Connect=\r\n",
                 kAlreadyInstalled,
                 {},
                 true},
        ListCase{"install-other-case",
                 kInstall,
                 "[add-ins32]\r\nquorvane.connect=0\r\n",
                 kAlreadyInstalled,
                 {},
                 true},
        ListCase{"install-absent-mark", kInstall, "[Add-Ins32]\r\nQuorvane.Connect=***x\r\n",
                 kInstalled, IniContents{{"Add-Ins32", {{"Quorvane.Connect", "1"}}}}},
        ListCase{"install-beside-others", kInstall, kOthers, kInstalled,
                 IniContents{{"Other", {{"key", "value"}}},
                             {"Add-Ins32", {{"Other.Connect", "0"}, {"Quorvane.Connect", "1"}}}}},
        ListCase{"install-key-elsewhere", kInstall, "[Elsewhere]\r\nQuorvane.Connect=0\r\n",
                 kInstalled,
                 IniContents{{"Elsewhere", {{"Quorvane.Connect", "0"}}},
                             {"Add-Ins32", {{"Quorvane.Connect", "1"}}}}}),
    [](const auto& info) {
        std::string name = info.param.name;
        std::erase(name, '-');
        return name;
    });

INSTANTIATE_TEST_SUITE_P(
    Remove, ListStepCases,
    ::testing::Values(
        ListCase{"remove-no-file", kRemove, std::nullopt, kAlreadyRemoved, std::nullopt},
        ListCase{"remove-value-1", kRemove, "[Add-Ins32]\r\nQuorvane.Connect=1\r\n", kRemoved,
                 IniContents{{"Add-Ins32", {}}}},
        ListCase{"remove-value-0", kRemove, "[Add-Ins32]\r\nQuorvane.Connect=0\r\n", kRemoved,
                 IniContents{{"Add-Ins32", {}}}},
        ListCase{"remove-empty-value", kRemove, "[Add-Ins32]\r\nQuorvane.Connect=\r\n", kRemoved,
                 IniContents{{"Add-Ins32", {}}}},
        ListCase{"remove-absent-mark",
                 kRemove,
                 "[Add-Ins32]\r\nQuorvane.Connect=***x\r\n",
                 kAlreadyRemoved,
                 {},
                 true},
        ListCase{"remove-no-entry", kRemove, kOthers, kAlreadyRemoved, {}, true},
        ListCase{
            "remove-beside-others", kRemove, kOthers + "Quorvane.Connect=1\r\n", kRemoved,
            IniContents{{"Other", {{"key", "value"}}}, {"Add-Ins32", {{"Other.Connect", "0"}}}}}),
    [](const auto& info) {
        std::string name = info.param.name;
        std::erase(name, '-');
        return name;
    });

TEST_F(ListStep, InstallTwiceKeepsOneEntryAndRegistersBothTimes) {
    const fs::path folder = MakeToolFolder(L"install-twice");
    const ToolRun first = RunTool(folder, kInstall);
    const ToolRun second = RunTool(folder, kInstall);

    ASSERT_EQ(first.boxes.size(), 1u);
    ExpectMessage(first.boxes[0], kInstall, kInstalled);
    ASSERT_EQ(second.boxes.size(), 1u);
    ExpectMessage(second.boxes[0], kInstall, kAlreadyInstalled);
    EXPECT_EQ(first.exitCode, 0u);
    EXPECT_EQ(second.exitCode, 0u);
    EXPECT_EQ(ReadIni(ListFile()), (IniContents{{"Add-Ins32", {{"Quorvane.Connect", "1"}}}}));
    const std::string command = ExpectedCommand(folder, kInstall);
    EXPECT_EQ(registration_.CommandLines(), (std::vector<std::string>{command, command}));
}

TEST_F(ListStep, InstallThenRemoveKeepsTheSectionWithoutTheEntry) {
    WriteText(ListFile(), "[Other]\r\nkey=value\r\n");
    const fs::path folder = MakeToolFolder(L"install-then-remove");
    const ToolRun install = RunTool(folder, kInstall);
    const ToolRun remove = RunTool(folder, kRemove);

    ASSERT_EQ(install.boxes.size(), 1u);
    ExpectMessage(install.boxes[0], kInstall, kInstalled);
    ASSERT_EQ(remove.boxes.size(), 1u);
    ExpectMessage(remove.boxes[0], kRemove, kRemoved);
    EXPECT_EQ(ReadIni(ListFile()), (IniContents{{"Other", {{"key", "value"}}}, {"Add-Ins32", {}}}));
    EXPECT_EQ(registration_.CommandLines(),
              (std::vector<std::string>{ExpectedCommand(folder, kInstall),
                                        ExpectedCommand(folder, kRemove)}));
}

// The user's virtual copy is what an IDE without administrator rights reads; it must get the
// same entry, or lose it, even when the real file already says otherwise.
struct VirtualCase {
    const char* name;
    const wchar_t* tool;
    std::optional<std::string> real;
    std::string copy;
    const wchar_t* message;
    std::optional<IniContents> realAfter;
    IniContents copyAfter;
};

// Parameters print as their names in test listings.
void PrintTo(const VirtualCase& c, std::ostream* os) {
    *os << c.name;
}

class VirtualStoreCases : public ListStep, public ::testing::WithParamInterface<VirtualCase> {};

TEST_P(VirtualStoreCases, TheCopyGetsTheSameChange) {
    const VirtualCase& c = GetParam();
    if (c.real)
        WriteText(ListFile(), *c.real);
    WriteText(VirtualStoreList(), c.copy);
    const fs::path folder = MakeToolFolder(ToWide(c.name));

    const ToolRun run = RunTool(folder, c.tool);

    ASSERT_EQ(run.boxes.size(), 1u);
    ExpectMessage(run.boxes[0], c.tool, c.message);
    EXPECT_EQ(ReadIni(ListFile()), c.realAfter);
    EXPECT_EQ(ReadIni(VirtualStoreList()), c.copyAfter);
    EXPECT_EQ(run.exitCode, 0u);
}

INSTANTIATE_TEST_SUITE_P(
    VirtualStore, VirtualStoreCases,
    ::testing::Values(
        VirtualCase{
            "virtual-install", kInstall, std::nullopt, "[Add-Ins32]\r\nOther.Connect=0\r\n",
            kInstalled, IniContents{{"Add-Ins32", {{"Quorvane.Connect", "1"}}}},
            IniContents{{"Add-Ins32", {{"Other.Connect", "0"}, {"Quorvane.Connect", "1"}}}}},
        VirtualCase{
            "virtual-install-real-present", kInstall, "[Add-Ins32]\r\nQuorvane.Connect=0\r\n",
            "[Other]\r\nkey=value\r\n", kAlreadyInstalled,
            IniContents{{"Add-Ins32", {{"Quorvane.Connect", "0"}}}},
            IniContents{{"Other", {{"key", "value"}}}, {"Add-Ins32", {{"Quorvane.Connect", "1"}}}}},
        VirtualCase{"virtual-install-copy-keeps-value", kInstall, std::nullopt,
                    "[Add-Ins32]\r\nQuorvane.Connect=0\r\n", kInstalled,
                    IniContents{{"Add-Ins32", {{"Quorvane.Connect", "1"}}}},
                    IniContents{{"Add-Ins32", {{"Quorvane.Connect", "0"}}}}},
        VirtualCase{"virtual-remove", kRemove, "[Add-Ins32]\r\nQuorvane.Connect=1\r\n",
                    "[Add-Ins32]\r\nQuorvane.Connect=1\r\nOther.Connect=0\r\n", kRemoved,
                    IniContents{{"Add-Ins32", {}}},
                    IniContents{{"Add-Ins32", {{"Other.Connect", "0"}}}}},
        VirtualCase{"virtual-remove-only-copy", kRemove, std::nullopt,
                    "[Add-Ins32]\r\nQuorvane.Connect=1\r\n", kAlreadyRemoved, std::nullopt,
                    IniContents{{"Add-Ins32", {}}}}),
    [](const auto& info) {
        std::string name = info.param.name;
        std::erase(name, '-');
        return name;
    });

// A list the service cannot write: the tool says so with the system's reason instead of
// claiming success, still takes the registration step, and reports the failure by its exit
// status.
struct FailureCase {
    const char* name;
    const wchar_t* tool;
    std::string before;
    const wchar_t* failure;
};

// Parameters print as their names in test listings.
void PrintTo(const FailureCase& c, std::ostream* os) {
    *os << c.name;
}

class WriteFailureCases : public ListStep, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(WriteFailureCases, IsReportedAsAFailure) {
    const FailureCase& c = GetParam();
    WriteText(ListFile(), c.before);
    const auto before = ReadIni(ListFile());
    const fs::path folder = MakeToolFolder(ToWide(c.name));
    // Others may read the file but nobody may write it while this handle is open.
    const HANDLE lock = CreateFileW(ListFile().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);

    const ToolRun run = RunTool(folder, c.tool);
    CloseHandle(lock);

    ASSERT_EQ(run.boxes.size(), 1u);
    const auto& box = run.boxes[0];
    EXPECT_EQ(box.title, TitleOf(c.tool));
    EXPECT_TRUE(box.hasIcon);
    EXPECT_EQ(box.buttons, std::vector<std::wstring>{L"OK"});
    const std::wstring text = MessageBoxWatcher::Lf(box.text);
    const std::wstring head = std::wstring(c.failure) + L"\n\n";
    EXPECT_EQ(text.substr(0, head.size()), head) << Narrow(text);
    EXPECT_GT(text.size(), head.size()) << "the system's reason is missing";
    EXPECT_EQ(text.find(L"successfully"), std::wstring::npos) << Narrow(text);
    EXPECT_EQ(run.exitCode, 1u);
    EXPECT_EQ(ReadIni(ListFile()), before);
    EXPECT_EQ(registration_.CommandLines(),
              std::vector<std::string>{ExpectedCommand(folder, c.tool)});
}

INSTANTIATE_TEST_SUITE_P(
    Locked, WriteFailureCases,
    ::testing::Values(FailureCase{"locked-install", kInstall, "[Other]\r\nkey=value\r\n",
                                  L"QVN could not be added to VBAddin.ini."},
                      FailureCase{"locked-remove", kRemove, "[Add-Ins32]\r\nQuorvane.Connect=1\r\n",
                                  L"QVN could not be removed from VBAddin.ini."}),
    [](const auto& info) {
        std::string name = info.param.name;
        std::erase(name, '-');
        return name;
    });

} // namespace
} // namespace qvn::setup::testing
