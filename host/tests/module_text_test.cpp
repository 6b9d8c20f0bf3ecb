#include "host/module_text.h"

#include <gtest/gtest.h>

namespace qvn::host {
namespace {

TEST(ModuleText, LinesSplitAtEveryKindOfLineBreak) {
    struct Case {
        std::wstring text;
        std::vector<std::wstring> lines;
    } cases[] = {
        {L"", {L""}},
        {L"a", {L"a"}},
        {L"a\r\nb", {L"a", L"b"}},
        {L"a\r\n", {L"a", L""}},
        {L"a\rb\nc", {L"a", L"b", L"c"}},
        {L"a\r\n\r\nb", {L"a", L"", L"b"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.lines, SplitLines(c.text));
    }
    EXPECT_EQ(L"b\r\nc", JoinLines({L"a", L"b", L"c"}, 1, 5));
}

TEST(ModuleText, FilesLoseTheirFinalLineBreakAndByteOrderMark) {
    EXPECT_EQ((std::vector<std::wstring>{L"Sub A()", L"End Sub"}),
              LinesFromFileBytes("\xEF\xBB\xBFSub A()\r\nEnd Sub\r\n"));
    EXPECT_EQ((std::vector<std::wstring>{L"x = \u00e9"}), LinesFromFileBytes("x = \xC3\xA9\n"));
    EXPECT_TRUE(LinesFromFileBytes("").empty());
}

} // namespace
} // namespace qvn::host
