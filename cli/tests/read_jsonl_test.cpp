// --read --jsonl line by line: the code member found as a JSON reader finds it (the last of a
// duplicated key, escapes in the key, a byte order mark), the rest of the line checked in full
// however deep or wide its other values are, and every line that is not JSON refused.
#include "cli/jsonl.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace qvn::cli {
namespace {

std::string ReadLine(const std::string& line, int& status) {
    std::istringstream in(line + "\n");
    std::ostringstream out;
    status = RunReadJsonLines(in, out);
    std::string result = out.str();
    EXPECT_TRUE(result.ends_with('\n'));
    result.pop_back();
    return result;
}

TEST(ReadJsonLines, TheCodeMemberIsFoundAsAJsonReaderFindsIt) {
    const std::string a = R"({"txtPrompt":"a","labels":["OK","","",""]})";
    const std::string invalid = R"({"error": "not valid JSON: )";
    const std::string notString = R"({"error": "code must be a string"})";
    const std::string wide = "123456789012345678901234567890";
    struct Case {
        std::string line;
        std::string result; // a prefix when it ends in ": "
    };
    const std::vector<Case> cases{
        {R"({"code": "MsgBox \"a\""})", a},
        {R"({"code": 7, "code": "MsgBox \"a\""})", a},
        {R"({"code": "MsgBox \"a\"", "code": 7})", notString},
        {R"({"code": "MsgBox \"a\"", "code": null})", notString},
        {R"({"co\u0064e": "MsgBox \"a\""})", a},
        {R"({"Code": "MsgBox \"a\""})", notString},
        {R"({"code": "MsgBox \"a\u00e9\", vbOKCancel"})",
         R"({"intButtonSet":1,"txtPrompt":"aé","labels":["OK","Cancel","",""]})"},
        {"\xEF\xBB\xBF"
         R"({"code": "MsgBox \"a\""})",
         a},
        {R"({"code": "MsgBox \"a\"", "n": )" + wide + "}", a},
        {R"({"n": -)" + wide + R"(, "code": "MsgBox \"a\""})", a},
        {R"({"code": "MsgBox \"a\"", "x": )" + std::string(1500, '[') + std::string(1500, ']') +
             "}",
         a},
        {R"({"code": "MsgBox \"a\"", "x": )" + std::string(1500, '[') + "}", invalid},
        {R"({"code": "MsgBox \"a\"", "n": 1e400})", invalid},
        {R"({"code": "MsgBox \"a\"", "n": 01})", invalid},
        {R"({"code": "MsgBox \"a\"", "n": tru})", invalid},
        {R"({"code": "MsgBox \"a\""} x)", invalid},
        {R"({"code": "MsgBox \"a\"")", invalid},
        {"{\"code\": \"MsgBox \\\"a\xC3\\\"\"}", invalid},
        {"{\"code\": \"MsgBox \\\"a\\\"\", \"n\": \"\xED\xA0\x80\"}", invalid},
        {R"({"code": "MsgBox \"a\""})" + std::string(1, '\0'), invalid},
        {R"(["MsgBox \"a\""])", R"({"error": "a line must hold one JSON object"})"},
        {"", invalid},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line.substr(0, 80));
        int status = -1;
        const std::string result = ReadLine(c.line, status);
        if (c.result.ends_with(": "))
            EXPECT_TRUE(result.starts_with(c.result)) << result;
        else
            EXPECT_EQ(result, c.result);
        EXPECT_EQ(status, result.starts_with(R"({"error")") ? 1 : 0);
    }
}

} // namespace
} // namespace qvn::cli
