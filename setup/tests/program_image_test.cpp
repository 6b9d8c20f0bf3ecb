// What the loader sees of the two programs: the manifest that makes Windows elevate them, and
// the windows subsystem that keeps a console window away.
#include "setup/tests/setup_test_support.h"

#include <gtest/gtest.h>

namespace qvn::setup::testing {
namespace {

// "QVNInstall.exe" -> "Install", for test names.
std::string ToolName(const wchar_t* file) {
    const std::wstring name = file;
    return Narrow(name.substr(3, name.find(L'.') - 3));
}

class ProgramImage : public ::testing::TestWithParam<const wchar_t*> {};

TEST_P(ProgramImage, RunsAsInvokedAndOpensNoConsole) {
    const fs::path program = TestBinaries() / GetParam();
    const HMODULE image = LoadLibraryExW(program.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(image, nullptr);
    const HRSRC resource = FindResourceW(image, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
    ASSERT_NE(resource, nullptr) << "no application manifest";
    const auto* data = static_cast<const char*>(LockResource(LoadResource(image, resource)));
    const std::string manifest(data, SizeofResource(image, resource));
    FreeLibrary(image);
    // /user needs no administrator; without it the tool asks for the rights itself.
    EXPECT_NE(manifest.find("level=\"asInvoker\""), std::string::npos) << manifest;

    const std::string bytes = ReadText(program);
    ASSERT_GT(bytes.size(), sizeof(IMAGE_DOS_HEADER));
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(bytes.data());
    ASSERT_LT(static_cast<std::size_t>(dos->e_lfanew) + sizeof(IMAGE_NT_HEADERS), bytes.size());
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(bytes.data() + dos->e_lfanew);
    EXPECT_EQ(nt->OptionalHeader.Subsystem, IMAGE_SUBSYSTEM_WINDOWS_GUI);
}

INSTANTIATE_TEST_SUITE_P(Programs, ProgramImage, ::testing::Values(kInstall, kRemove),
                         [](const auto& info) { return ToolName(info.param); });

} // namespace
} // namespace qvn::setup::testing
