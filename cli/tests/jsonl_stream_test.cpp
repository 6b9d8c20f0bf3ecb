// The streaming reader and writer of --jsonl against a document-based reference built on
// nlohmann's parser, which is how each line was composed before: every valid line gives the
// same bytes, every bad line an error, the field errors the same words. And the shapes of
// input a file can have: a line longer than the read buffer, NUL bytes, a byte order mark,
// CR LF line ends, a last line without a line feed.
#include "cli/compose_request.h"
#include "cli/json_record.h"
#include "cli/jsonl.h"
#include "composition/option_tables.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <sstream>

namespace qvn::cli {
namespace {

using nlohmann::json;

// The reference: a document per line in, a document per result out.
std::string Reference(const std::string& line) {
    nlohmann::ordered_json out;
    auto field = [](const std::string& message) { return std::runtime_error(message); };
    try {
        const json r = json::parse(line);
        if (!r.is_object())
            throw field("a line must hold one JSON object");
        MsgBoxSettings s;
        auto index = [&](const char* key, std::size_t size, std::int16_t& target) {
            if (!r.contains(key))
                return;
            if (!r[key].is_number_integer())
                throw field(std::string(key) + " must be a whole number");
            const auto v = r[key].get<long long>();
            if (v < 0 || v >= static_cast<long long>(size))
                throw field(std::string(key) + " " + std::to_string(v) + " is outside 0.." +
                            std::to_string(size - 1));
            target = static_cast<std::int16_t>(v);
        };
        auto text = [&](const char* key, std::string& target) {
            if (!r.contains(key))
                return;
            if (!r[key].is_string())
                throw field(std::string(key) + " must be a string");
            target = r[key].get<std::string>();
        };
        auto check = [&](const char* key, int& target) {
            if (!r.contains(key))
                return;
            if (r[key].is_boolean())
                target = r[key].get<bool>() ? 1 : 0;
            else if (r[key].is_number_integer())
                target = r[key].get<int>();
            else
                throw field(std::string(key) + " must be 0 or 1");
        };
        index("intButtonSet", kButtonSets.size(), s.intButtonSet);
        index("intIcon", kIcons.size(), s.intIcon);
        index("intDefButton", kDefaultButtons.size(), s.intDefButton);
        index("intCodeOption", kCodeShapes.size(), s.intCodeOption);
        text("strTitle", s.strTitle);
        text("txtPrompt", s.txtPrompt);
        text("txtVarName", s.txtVarName);
        text("txtHelpFile", s.txtHelpFile);
        text("txtHelpContext", s.txtHelpContext);
        for (auto [key, target] : {std::pair{"chkHelp", &s.chkHelp},
                                   {"chkSysModal", &s.chkSysModal},
                                   {"chkSetForeground", &s.chkSetForeground},
                                   {"chkRightAlign", &s.chkRightAlign},
                                   {"chkRtlReading", &s.chkRtlReading},
                                   {"chkOptValOnly", &s.chkOptValOnly},
                                   {"chkAddSelect", &s.chkAddSelect},
                                   {"chkNotEqual", &s.chkNotEqual}})
            check(key, *target);
        if (r.contains("labels")) {
            const auto& l = r["labels"];
            if (!l.is_array() || l.size() != 4)
                throw field("labels must be an array of 4 strings");
            for (std::size_t i = 0; i < 4; ++i) {
                if (!l[i].is_string())
                    throw field("labels must be an array of 4 strings");
                s.labels[i] = l[i].get<std::string>();
            }
        }
        Compose(s);
        if (s.blnCodeTooLong)
            throw field(kCodeTooLong);
        out["strPromptExpr"] = s.strPromptExpr;
        out["strButtonsExpr"] = s.strButtonsExpr;
        out["lngButtonsValue"] = s.lngButtonsValue;
        out["strMsgBoxCode"] = s.strMsgBoxCode;
    } catch (const json::exception&) {
        out = nlohmann::ordered_json{{"error", "not valid JSON"}};
    } catch (const std::runtime_error& e) {
        out = nlohmann::ordered_json{{"error", e.what()}};
    }
    return out.dump(-1, ' ', false, json::error_handler_t::replace);
}

// Only the parser's own words after "not valid JSON: " may differ.
std::string Comparable(const std::string& result) {
    const std::string invalid = R"({"error":"not valid JSON)";
    return result.starts_with(invalid) ? invalid + "\"}" : result;
}

TEST(JsonLinesStream, EveryLineGivesWhatTheDocumentReaderGave) {
    const std::vector<std::string> lines{
        R"({"txtPrompt":"Save changes?","intButtonSet":3,"intIcon":2,"strTitle":"Editor"})",
        R"({"intCodeOption":1,"chkAddSelect":true,"txtVarName":"r","txtPrompt":"a\r\nb"})",
        R"( { "intCodeOption" : 2 , "chkNotEqual" : 1 , "labels" : ["Yes","No","Help",""] } )",
        R"({"txtPrompt":"\u00e9\ud83d\ude00\"\\\/\b\f\n\r\t\u0001\u001f\u007f"})",
        R"({"txtPrompt":"é€😀","strTitle":"Ü","unknown":{"a":[1,2,{"b":null}],"c":-1.5e+3}})",
        R"({"txtPrompt":"first","txtPrompt":"last"})",
        R"({"intIcon":"2","intIcon":2})",
        R"({"intIcon":2,"intIcon":"2"})",
        R"({"chkHelp":1,"txtHelpFile":"a.hlp","txtHelpContext":"7","chkOptValOnly":1})",
        R"({"chkHelp":4294967297})",
        R"({"chkHelp":-0,"chkSysModal":1e0})",
        R"({"intButtonSet":18446744073709551615})",
        R"({"intButtonSet":-9223372036854775808})",
        R"({"intButtonSet":99999999999999999999})",
        R"({"intIcon":7})",
        R"({"intIcon":2.0})",
        R"({"txtPrompt":5})",
        R"({"labels":["a","b","c"]})",
        R"({"labels":["a","b","c","d","e"]})",
        R"({"labels":["a","b",3,"d"]})",
        R"({"labels":"abcd"})",
        R"({"labels":[]})",
        R"({"strTitle":null,"intIcon":9})",
        R"([1,2])",
        R"("text")",
        R"(null)",
        "",
        "   ",
        "{",
        "{}x",
        R"({"a":01})",
        R"({"a":1.})",
        R"({"a":-})",
        R"({"a":tru})",
        R"({"a":"\x"})",
        R"({"a":"\ud800"})",
        R"({"a":"\udc00"})",
        R"({"a":"\u12"})",
        "{\"a\":\"tab\there\"}",
        std::string("{\"txtPrompt\":\"a\0b\"}", 17),
        "{\"txtPrompt\":\"\xC3\x28\"}",
        "{\"txtPrompt\":\"\xED\xA0\x80\"}",
        "{\"txtPrompt\":\"\xF4\x90\x80\x80\"}",
        "{\"txtPrompt\":\"\xE2\x82\"}",
        "\xEF\xBB\xBF{\"txtPrompt\":\"bom\"}",
        R"({"a":[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]})",
        R"({"a":[[[]]]]})",
        "{\"txtPrompt\":\"" + std::string(30000, 'x') + "\"}",
        "{\"txtPrompt\":\"" + std::string(3000, '"') + "\"}",
    };
    for (const auto& line : lines) {
        SCOPED_TRACE(line.substr(0, 80));
        bool failed = false;
        const std::string streamed = ComposeJsonLine(line, failed);
        EXPECT_EQ(Comparable(streamed), Comparable(Reference(line)));
        EXPECT_EQ(failed, streamed.starts_with("{\"error\""));
    }
}

TEST(JsonLinesStream, InvalidUtf8InAResultIsReplacedAsBefore) {
    // Results of valid lines are always well-formed; the writer is checked on its own.
    for (const std::string text : {"ok", "\xC3", "\xC3\x28", "\xE0\x80\x80", "a\xF0\x9F\x98",
                                   "\xFF\xFE", "\xED\xA0\x80z", "\x80\x80", "\x01\x7F\xC3\xA9"}) {
        std::string streamed;
        AppendJsonString(streamed, text);
        EXPECT_EQ(streamed, json(text).dump(-1, ' ', false, json::error_handler_t::replace))
            << json(text).dump(-1, ' ', true, json::error_handler_t::replace);
    }
}

std::vector<std::string> RunLines(const std::string& input, int* status = nullptr) {
    std::istringstream in(input);
    std::ostringstream out;
    const int result = RunJsonLines(in, out);
    if (status != nullptr)
        *status = result;
    std::vector<std::string> lines;
    std::istringstream read(out.str());
    for (std::string line; std::getline(read, line);)
        lines.push_back(line);
    EXPECT_TRUE(out.str().empty() || out.str().ends_with('\n'));
    return lines;
}

TEST(JsonLinesStream, ShapesOfInputEachComposeOrGetAnErrorLine) {
    const std::string done = R"({"strPromptExpr":"\"Done\"","strButtonsExpr":"",)"
                             R"("lngButtonsValue":0,"strMsgBoxCode":"MsgBox \"Done\""})";
    const std::string record = R"({"txtPrompt":"Done"})";
    // Longer than the reader's 1 MiB block, and continued over the block's end.
    const std::string longer =
        R"({"unknown":")" + std::string(3 << 20, 'x') + R"(","txtPrompt":"Done"})";
    int status = -1;
    EXPECT_EQ(RunLines(record + "\n" + longer + "\n" + record + "\n", &status),
              (std::vector<std::string>{done, done, done}));
    EXPECT_EQ(status, 0);
    EXPECT_EQ(RunLines(record + "\r\n" + record + "\r\n"), (std::vector<std::string>{done, done}));
    EXPECT_EQ(RunLines(record + "\n" + record), (std::vector<std::string>{done, done}));
    EXPECT_EQ(RunLines("\xEF\xBB\xBF" + record + "\n"), std::vector<std::string>{done});
    // A NUL byte ends nothing: after the record it is text after the end of the value (the
    // document reader stopped reading there and composed the record).
    const auto withNul = RunLines(record + "\n" + std::string(1, '\0') + "\n" + record +
                                      std::string(1, '\0') + "\n" + record + "\n",
                                  &status);
    ASSERT_EQ(withNul.size(), 4u);
    EXPECT_EQ(withNul[0], done);
    EXPECT_TRUE(withNul[1].starts_with(R"({"error":"not valid JSON)"));
    EXPECT_TRUE(withNul[2].starts_with(R"({"error":"not valid JSON)"));
    EXPECT_EQ(withNul[3], done);
    EXPECT_EQ(status, 1);
    EXPECT_EQ(RunLines(""), std::vector<std::string>{});
    EXPECT_EQ(RunLines("\n").size(), 1u) << "an empty line is a line, and gets its error";
}

} // namespace
} // namespace qvn::cli
