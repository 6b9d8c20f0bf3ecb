// What Explorer, the loader and an installer see of the two programs: version block,
// manifest and subsystem.
#include "setup_test_support.h"

#include <gtest/gtest.h>

namespace qvn::setup::testing {
namespace {

// "QVNInstall.exe" -> "Install", for test names.
std::string ToolName(const wchar_t* file) {
    const std::wstring name = file;
    return Narrow(name.substr(3, name.find(L'.') - 3));
}

struct VersionCase {
    const wchar_t* file;
    const wchar_t* key;
    const wchar_t* value;
};

void PrintTo(const VersionCase& c, std::ostream* os) {
    *os << Narrow(c.file) << " " << Narrow(c.key);
}

class VersionBlock : public ::testing::TestWithParam<VersionCase> {};

TEST_P(VersionBlock, HoldsTheProgramsTexts) {
    const VersionCase& c = GetParam();
    const fs::path program = TestBinaries() / c.file;
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeW(program.c_str(), &handle);
    ASSERT_GT(size, 0u);
    std::vector<char> block(size);
    ASSERT_TRUE(GetFileVersionInfoW(program.c_str(), 0, size, block.data()));

    void* fixed = nullptr;
    UINT fixedSize = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", &fixed, &fixedSize));
    const auto* info = static_cast<const VS_FIXEDFILEINFO*>(fixed);
    EXPECT_EQ(info->dwFileVersionMS, 0x00010000u);
    EXPECT_EQ(info->dwFileVersionLS, 0u);
    EXPECT_EQ(info->dwProductVersionMS, 0x00010000u);
    EXPECT_EQ(info->dwProductVersionLS, 0u);
    EXPECT_EQ(info->dwFileType, static_cast<DWORD>(VFT_APP));

    void* text = nullptr;
    UINT length = 0;
    const std::wstring query = std::wstring(L"\\StringFileInfo\\040904B0\\") + c.key;
    ASSERT_TRUE(VerQueryValueW(block.data(), query.c_str(), &text, &length)) << Narrow(c.key);
    EXPECT_EQ(std::wstring(static_cast<const wchar_t*>(text)), c.value);
}

INSTANTIATE_TEST_SUITE_P(
    Programs, VersionBlock,
    ::testing::Values(VersionCase{kInstall, L"FileVersion", L"1.00"},
                      VersionCase{kInstall, L"ProductVersion", L"1.00"},
                      VersionCase{kInstall, L"ProductName", L"QVNInstall"},
                      VersionCase{kInstall, L"InternalName", L"QVNInstall"},
                      VersionCase{kInstall, L"OriginalFilename", L"QVNInstall.exe"},
                      VersionCase{kRemove, L"FileVersion", L"1.00"},
                      VersionCase{kRemove, L"ProductVersion", L"1.00"},
                      VersionCase{kRemove, L"ProductName", L"QVNRemove"},
                      VersionCase{kRemove, L"InternalName", L"QVNRemove"},
                      VersionCase{kRemove, L"OriginalFilename", L"QVNRemove.exe"}),
    [](const auto& info) { return ToolName(info.param.file) + Narrow(info.param.key); });

class ProgramImage : public ::testing::TestWithParam<const wchar_t*> {};

TEST_P(ProgramImage, AsksForAdministratorRightsAndOpensNoConsole) {
    const fs::path program = TestBinaries() / GetParam();
    const HMODULE image = LoadLibraryExW(program.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(image, nullptr);
    const HRSRC resource = FindResourceW(image, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
    ASSERT_NE(resource, nullptr) << "no application manifest";
    const auto* data = static_cast<const char*>(LockResource(LoadResource(image, resource)));
    const std::string manifest(data, SizeofResource(image, resource));
    FreeLibrary(image);
    EXPECT_NE(manifest.find("level=\"requireAdministrator\""), std::string::npos) << manifest;

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
