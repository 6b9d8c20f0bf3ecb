// GetShortPath against the system's own answer, including a path whose short form does not
// fit the routine's first 255-character buffer.
#include "setup/get_short_path.h"
#include "setup/tests/setup_test_support.h"

#include <gtest/gtest.h>

namespace qvn::setup::testing {
namespace {

struct ShortPathCase {
    const char* name;
    std::wstring relative; // created under the root; empty: nothing is created
    std::size_t minimumLength;
};

// Parameters print as their names in test listings.
void PrintTo(const ShortPathCase& c, std::ostream* os) {
    *os << c.name;
}

class GetShortPathCases : public ::testing::TestWithParam<ShortPathCase> {};

std::wstring DeepPath() {
    // 8.3 names throughout, so the short form is as long as the path itself.
    std::wstring path;
    for (int i = 0; i < 26; ++i)
        path += L"DIRECTRY\\";
    return path + L"LASTFILE.TXT";
}

TEST_P(GetShortPathCases, MatchesTheSystemsAnswer) {
    const ShortPathCase& c = GetParam();
    const fs::path root = L"C:\\QVNSP";
    std::error_code ignored;
    fs::remove_all(root, ignored);
    const fs::path path = root / c.relative;
    if (!c.relative.empty()) {
        fs::create_directories(path.parent_path());
        WriteText(path, "x");
    }
    const std::string longPath = Narrow(path.wstring());
    const std::string expected = ShortPath(path);
    ASSERT_GE(expected.size(), c.minimumLength) << "the case does not test what it names";

    EXPECT_EQ(Module1::GetShortPath(longPath), expected);
    fs::remove_all(root, ignored);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, GetShortPathCases,
    ::testing::Values(ShortPathCase{"Missing", L"", 0}, ShortPathCase{"Plain", L"QVN.DLL", 8},
                      ShortPathCase{"Blanks", L"long folder name\\a file with blanks.dll", 8},
                      ShortPathCase{"LongerThanTheFirstBuffer", DeepPath(), 255}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(GetShortPath, ShortFormOfABlankFolderHoldsNoBlanks) {
    const fs::path folder = L"C:\\QVNSP\\folder with blanks";
    fs::create_directories(folder);
    WriteText(folder / L"QVN.dll", "x");
    const std::string shortPath = Module1::GetShortPath(Narrow((folder / L"QVN.dll").wstring()));
    std::error_code ignored;
    fs::remove_all(L"C:\\QVNSP", ignored);
    EXPECT_FALSE(shortPath.empty());
    EXPECT_EQ(shortPath.find(' '), std::string::npos) << shortPath;
}

} // namespace
} // namespace qvn::setup::testing
