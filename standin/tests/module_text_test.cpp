#include "standin/module_text.h"

#include <gtest/gtest.h>

namespace qvn::standin {
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

// The code module's view of procedures: comments and blanks above a Sub belong to it, a
// declared library function is no procedure, and a Property's kinds are told apart.
TEST(ModuleText, ProceduresSpanFromAfterThePreviousOneToTheirEnd) {
    const std::vector<std::wstring> module = {
        L"Option Explicit", // 1
        L"Private Declare Function GetTickCount Lib \"kernel32\" () As Long",
        L"",                                     // 3
        L"' Asks first",                         // 4
        L"Public Sub Ask(ByVal n As Long)",      // 5
        L"End Sub",                              // 6
        L"Property Get Name() As String",        // 7
        L"End Property",                         // 8
        L"Property Let Name(ByVal v As String)", // 9
        L"End Property",                         // 10
        L""};                                    // 11
    const std::vector<ProcedureSpan> spans = ProceduresOf(module);
    ASSERT_EQ(spans.size(), 3U);
    EXPECT_EQ(spans[0].name, L"Ask");
    EXPECT_EQ((std::vector<long>{spans[0].kind, spans[0].start, spans[0].body, spans[0].end}),
              (std::vector<long>{0, 3, 5, 6}));
    EXPECT_EQ((std::vector<long>{spans[1].kind, spans[1].start, spans[1].body, spans[1].end}),
              (std::vector<long>{3, 7, 7, 8}));
    EXPECT_EQ((std::vector<long>{spans[2].kind, spans[2].start, spans[2].body, spans[2].end}),
              (std::vector<long>{1, 9, 9, 10}));
    EXPECT_EQ(DeclarationLinesOf(module), 2);
    EXPECT_EQ(DeclarationLinesOf({L"Option Explicit", L"' note", L""}), 1);
    EXPECT_TRUE(ProceduresOf({L"Dim x", L"' Sub A()"}).empty());
}

} // namespace
} // namespace qvn::standin
