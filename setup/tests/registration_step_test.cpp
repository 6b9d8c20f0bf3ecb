// The registration step: the command line the tools start, a folder with blanks, a folder
// without the component, and a real registration through the system's tool that makes the
// ProgID resolve and then no longer resolve.
#include "setup/tests/setup_test_support.h"

#include <objbase.h>

#include <gtest/gtest.h>

#include <thread>

namespace qvn::setup::testing {
namespace {

using qvn::testing::MessageBoxWatcher;

struct CommandCase {
    const char* name;
    const wchar_t* tool;
    const char* switches;
    std::wstring folder;
};

// Parameters print as their names in test listings.
void PrintTo(const CommandCase& c, std::ostream* os) {
    *os << c.name;
}

class RegistrationCommand : public ::testing::TestWithParam<CommandCase> {
protected:
    ListFileGuard lists_;
    FakeRegistrationTool registration_;
};

TEST_P(RegistrationCommand, NamesTheComponentByItsQuotedShortPath) {
    const CommandCase& c = GetParam();
    const fs::path folder = MakeToolFolder(c.folder);
    const std::string shortPath = ShortPath(folder / L"QVN.dll");
    ASSERT_FALSE(shortPath.empty());

    const ToolRun run = RunTool(folder, c.tool);

    EXPECT_EQ(run.boxes.size(), 1u);
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(registration_.CommandLines(),
              std::vector<std::string>{std::string("c:\\windows\\system\\regsvr32 ") + c.switches +
                                       "\"" + shortPath + "\""});
}

INSTANTIATE_TEST_SUITE_P(
    Folders, RegistrationCommand,
    ::testing::Values(CommandCase{"InstallPlain", kInstall, "", L"plain"},
                      CommandCase{"RemovePlain", kRemove, "/u ", L"plain"},
                      CommandCase{"InstallBlanks", kInstall, "", L"folder with blanks"},
                      CommandCase{"RemoveBlanks", kRemove, "/u ", L"folder with blanks"}),
    [](const auto& info) { return std::string(info.param.name); });

// Without the component the list step still runs, then the tool says where it looked and
// starts no registration tool.
struct MissingCase {
    const wchar_t* tool;
    const wchar_t* listMessage;
    const wchar_t* title;
};

void PrintTo(const MissingCase& c, std::ostream* os) {
    *os << Narrow(c.title);
}

class MissingComponent : public ::testing::TestWithParam<MissingCase> {
protected:
    ListFileGuard lists_;
    FakeRegistrationTool registration_;
};

TEST_P(MissingComponent, IsReportedAndNothingIsRegistered) {
    const MissingCase& c = GetParam();
    const fs::path folder = MakeToolFolder(std::wstring(L"missing ") + c.title, false);

    const ToolRun run = RunTool(folder, c.tool);

    ASSERT_EQ(run.boxes.size(), 2u);
    EXPECT_EQ(MessageBoxWatcher::Lf(run.boxes[0].text), c.listMessage);
    const auto& box = run.boxes[1];
    EXPECT_EQ(box.title, c.title);
    EXPECT_EQ(MessageBoxWatcher::Lf(box.text), L"QVN.dll was not found in " + folder.wstring() +
                                                   L".\n\nRun " + c.title +
                                                   L" from the folder that holds QVN.dll.");
    EXPECT_TRUE(box.hasIcon);
    EXPECT_EQ(box.buttons, std::vector<std::wstring>{L"OK"});
    EXPECT_EQ(run.exitCode, 2u);
    EXPECT_TRUE(registration_.CommandLines().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Tools, MissingComponent,
    ::testing::Values(MissingCase{kInstall, L"QVN installed in VBAddin.ini.", L"QVNInstall"},
                      MissingCase{kRemove, L"QVN already removed from VBAddin.ini.", L"QVNRemove"}),
    [](const auto& info) { return Narrow(info.param.title); });

// A registration tool that cannot be started is reported with the system's reason, after the
// list step did its work, and shows in the exit status.
TEST(UnstartableRegistrationTool, IsReported) {
    ListFileGuard lists;
    FakeRegistrationTool registration;
    WriteText(L"c:\\windows\\system\\regsvr32.exe", "not a program");
    const fs::path folder = MakeToolFolder(L"unstartable");

    const ToolRun run = RunTool(folder, kInstall);

    ASSERT_EQ(run.boxes.size(), 2u);
    EXPECT_EQ(MessageBoxWatcher::Lf(run.boxes[0].text), L"QVN installed in VBAddin.ini.");
    const auto& box = run.boxes[1];
    EXPECT_EQ(box.title, L"QVNInstall");
    EXPECT_TRUE(box.hasIcon);
    const std::wstring head =
        L"The registration tool could not be started:\nc:\\windows\\system\\regsvr32 \"" +
        ToWide(ShortPath(folder / L"QVN.dll")) + L"\"\n\n";
    const std::wstring text = MessageBoxWatcher::Lf(box.text);
    EXPECT_EQ(text.substr(0, head.size()), head) << Narrow(text);
    EXPECT_GT(text.size(), head.size()) << "the system's reason is missing";
    EXPECT_EQ(run.exitCode, 2u);
    EXPECT_EQ(ReadIni(ListFile()), (IniContents{{"Add-Ins32", {{"Quorvane.Connect", "1"}}}}));
}

class SystemRegistration : public ::testing::Test {
protected:
    void SetUp() override {
        FakeRegistrationTool::RemoveLeftovers();
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
        ASSERT_TRUE(WaitForRegistrationTools());
    }
    void TearDown() override {
        WaitForRegistrationTools();
        CoUninitialize();
    }

    static bool ProgIdResolves() {
        CLSID clsid = {};
        return SUCCEEDED(CLSIDFromProgID(L"Quorvane.Connect", &clsid));
    }

    // Polls, since the tools do not wait for the registration tool they start.
    static bool WaitUntilResolves(bool wanted) {
        return qvn::testing::WaitUntil([wanted] { return ProgIdResolves() == wanted; },
                                       std::chrono::seconds(60), std::chrono::milliseconds(100));
    }

    ListFileGuard lists_;
};

TEST_F(SystemRegistration, InstallRegistersAndRemoveUnregistersFromAFolderWithBlanks) {
    const fs::path folder = MakeToolFolder(L"system tool with blanks");
    if (ProgIdResolves()) {
        // A leftover of an earlier run: start from an unregistered component.
        ASSERT_EQ(RunTool(folder, kRemove).exitCode, 0u);
        ASSERT_TRUE(WaitForRegistrationTools());
        ASSERT_TRUE(WaitUntilResolves(false));
        fs::remove(ListFile());
    }

    const ToolRun install = RunTool(folder, kInstall);
    ASSERT_EQ(install.exitCode, 0u);
    ASSERT_TRUE(WaitUntilResolves(true)) << "Quorvane.Connect was not registered";
    ASSERT_TRUE(WaitForRegistrationTools());
    CLSID clsid = {};
    ASSERT_EQ(CLSIDFromProgID(L"Quorvane.Connect", &clsid), S_OK);
    IUnknown* object = nullptr;
    EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                               reinterpret_cast<void**>(&object)),
              S_OK);
    if (object)
        object->Release();
    CoFreeUnusedLibrariesEx(0, 0);

    const ToolRun remove = RunTool(folder, kRemove);
    EXPECT_EQ(remove.exitCode, 0u);
    EXPECT_TRUE(WaitUntilResolves(false)) << "Quorvane.Connect is still registered";
    EXPECT_EQ(ReadIni(ListFile()), (IniContents{{"Add-Ins32", {}}}));
}

} // namespace
} // namespace qvn::setup::testing
