// The streaming reader and writer of --jsonl against a document-based reference built on
// nlohmann's parser, which is how each line was composed before: every valid line gives the
// same bytes, every bad line an error, the field errors the same words. And the shapes of
// input a file can have: a line longer than the read buffer, NUL bytes, a byte order mark,
// CR LF line ends, a last line without a line feed.
#include "cli/compose_request.h"
#include "cli/json_line_parser.h"
#include "cli/json_record.h"
#include "cli/json_writer.h"
#include "cli/jsonl.h"
#include "composition/option_tables.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <sstream>

namespace qvn::cli {
namespace {

using nlohmann::json;

// What `write` writes with a writer of its own into an empty buffer.
template <typename Write> std::string Written(Write&& write) {
    OutputBuffer out;
    {
        JsonWriter writer(out);
        write(writer);
    }
    return std::string(out.View());
}

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
        // The error names the lowest wrong field with its last value.
        R"({"intIcon":7,"intIcon":9,"intButtonSet":2})",
        R"({"intIcon":9,"intButtonSet":"x","strTitle":1,"intButtonSet":8})",
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

TEST(JsonLinesStream, RecordsTheWayScriptsWriteThemGiveWhatTheDocumentReaderGave) {
    const std::string quoted = "Say \\\"hi\\\" to \\\"" + std::string(500, 'q') + "\\\"\\r\\n";
    const std::vector<std::string> lines{
        // Whole numbers up to the longest read in one pass, and just past it.
        R"({"chkHelp":999999999999999999,"txtPrompt":"a"})",
        R"({"chkHelp":1000000000000000000,"txtPrompt":"a"})",
        R"({"intIcon":-0,"intButtonSet":00})",
        R"({"intIcon":1e1})",
        R"({"intIcon":1E0,"intButtonSet":2})",
        R"({"intIcon":3.})",
        R"({"intIcon":-})",
        R"({"intIcon":4)",
        // Keys as escapes, near misses of known names, and names of other lengths.
        R"({"txt\u0050rompt":"escaped key","intIcon":1})",
        R"({"intIcoN":3,"txtPrompT":"x","labelz":[],"chkHelpX":1,"intButtonSet":1})",
        R"({"labels":["Yes","No","",""],"labels":["a","b"],"intButtonSet":4})",
        R"({"labels":["a","b"],"labels":["Yes","No","",""],"intCodeOption":1,"chkAddSelect":1})",
        // Blanks around every token.
        " {\t\"intCodeOption\" :\r2 ,\n\"chkNotEqual\":true , \"labels\" : [ \"Yes\" , "
        "\"No\" , \"\" , \"\" ] , \"txtPrompt\" : \"Quit?\" }\t",
        // Every shape, with a prompt whose expression the code holds as it stands, or in
        // cut lines when it is too long for one.
        R"({"intCodeOption":0,"txtPrompt":")" + quoted + R"(","strTitle":"T"})",
        R"({"intCodeOption":1,"txtVarName":"r\u00e9ponse","txtPrompt":")" + quoted +
            R"(","intButtonSet":4,"chkAddSelect":1,"labels":["Yes","No","",""]})",
        R"({"intCodeOption":2,"intButtonSet":1,"txtPrompt":")" + quoted +
            R"(","labels":["OK","Cancel","",""]})",
        R"({"intCodeOption":0,"txtPrompt":")" + quoted + quoted + quoted + R"("})",
        R"({"intCodeOption":2,"intButtonSet":4,"txtPrompt":"\u00e9\t\u0001\"","chkHelp":1,)"
        R"("txtHelpFile":"h\"lp","txtHelpContext":"9","labels":["Yes","No","Help",""]})",
        // Strings and the line ending inside them, at and around the end of the line.
        R"({"txtPrompt":"short"})",
        R"({"txtPrompt":"0123456789abcde"})",
        R"({"txtPrompt":"0123456789abcdef0123456789abcdef\")",
        R"({"labels":["Yes","No","","\u00e9"]})",
        R"({"labels":["Yes","No","",""])",
    };
    for (const auto& line : lines) {
        SCOPED_TRACE(line.substr(0, 120));
        bool failed = false;
        const std::string streamed = ComposeJsonLine(line, failed);
        EXPECT_EQ(Comparable(streamed), Comparable(Reference(line)));
    }
}

// Lines past what a JSON parser takes by default: nesting deeper than its usual limit, and
// whole numbers wider than 64 bits, which JSON allows and the document reader took as doubles.
TEST(JsonLinesStream, DeepNestingAndWideNumbersGiveWhatTheDocumentReaderGave) {
    auto nested = [](std::size_t depth, std::string_view inner = "") {
        return R"({"unknown":)" + std::string(depth, '[') + std::string(inner) +
               std::string(depth, ']') + R"(,"txtPrompt":"deep"})";
    };
    const std::string wide = "123456789012345678901234567890";
    const std::vector<std::string> lines{
        nested(1023),
        nested(1024),
        nested(1025, "1"),
        nested(20000, "\"x\""),
        nested(3000).substr(0, 2500),                             // cut inside the nesting
        R"({"unknown":)" + std::string(1500, '[') + "]" + R"(})", // unbalanced
        R"({"unknown":)" + wide + R"(,"txtPrompt":"after a wide number"})",
        R"({"unknown":[-)" + wide + "," + wide + R"(e2],"intIcon":3})",
        R"({"intIcon":)" + wide + "}",
        R"({"intIcon":-)" + wide + "}",
        R"({"chkHelp":)" + wide + "}",
        R"({"intButtonSet":18446744073709551616})",
        R"({"intButtonSet":-9223372036854775809})",
        R"({"a":)" + std::string(400, '9') + "}", // beyond the largest double
        R"({"a":1e400})",
        R"({"a":1e-400,"txtPrompt":"tiny"})",
        R"({"a":0)" + wide + "}",
        R"({"a":)" + wide + "x}",
        R"({"a":)" + wide + R"(,"b":01})",
        // Digits inside strings and keys stay as they are, escapes before them included.
        R"({"txtPrompt":"\")" + wide + R"(\\","x)" + wide + R"(":)" + wide + "}",
        R"({"txtPrompt":")" + wide + R"(\"","a":)" + wide + "}",
    };
    for (const auto& line : lines) {
        SCOPED_TRACE(line.substr(0, 80));
        bool failed = false;
        const std::string streamed = ComposeJsonLine(line, failed);
        EXPECT_EQ(Comparable(streamed), Comparable(Reference(line)));
    }
}

TEST(JsonLinesStream, StringsAcrossTheWritersBlocksAreEscapedAsBefore) {
    // Texts longer than the writer's block, with bytes that need care at every offset around
    // the ends of its sixteen-byte steps and of the block.
    for (const std::string special : {"\"", "\r\n", "\x01", "\xC3\xA9", "\xE2\x82", "\\\t"}) {
        for (std::size_t at = JsonWriter::kRoom - 40; at < JsonWriter::kRoom + 40; ++at) {
            std::string text(at, 'x');
            text += special + std::string(at % 37, 'y') + special;
            std::string streamed;
            AppendJsonString(streamed, text);
            EXPECT_EQ(streamed, json(text).dump(-1, ' ', false, json::error_handler_t::replace))
                << "special at " << at;
        }
    }
}

TEST(JsonLinesStream, ShortTextsAndLastBytesAreEscapedAtEveryPlace) {
    // Texts shorter than one wide step and the last bytes of longer ones are read apart from
    // the rest: a byte that needs care at each place of each length up to three steps.
    for (const std::string special : {"\"", "\n", "\x1F", "\\", "\xC3\xA9", "\xC3"}) {
        for (std::size_t length = 0; length <= 48; ++length) {
            for (std::size_t at = 0; at <= length; ++at) {
                std::string text(length, 'x');
                text.insert(at, special);
                const std::string expected =
                    json(text).dump(-1, ' ', false, json::error_handler_t::replace);
                std::string checked;
                AppendJsonString(checked, text);
                ASSERT_EQ(checked, expected) << length << " " << at;
                if (special != "\xC3") {
                    const std::string trusted =
                        Written([&](JsonWriter& w) { w.WellFormedChars(text); });
                    ASSERT_EQ("\"" + trusted + "\"", expected) << length << " " << at;
                }
            }
        }
    }
}

TEST(JsonLinesStream, TextWrittenAgainIsTheSameWhereverTheRoomEnds) {
    // A result writes its prompt twice, the second time copied from where it was written, the
    // buffer perhaps grown in between: prompts and what comes before and between them of sizes
    // around the room the writer makes at a time.
    const std::size_t room = JsonWriter::kRoom;
    for (const std::size_t before : {std::size_t{0}, std::size_t{10}, room - 100, room - 5}) {
        for (const std::size_t length : {std::size_t{1}, std::size_t{90}, room / 2, room + 7}) {
            for (const std::size_t between : {std::size_t{0}, std::size_t{50}, room / 2}) {
                const std::string text =
                    std::string(length / 2, 'p') + "\"\n" + std::string(length - length / 2, 'q');
                const std::string out = Written([&](JsonWriter& writer) {
                    writer.Raw(std::string(before, 'a'));
                    const std::size_t from = writer.Position();
                    writer.Chars(text);
                    const std::size_t to = writer.Position();
                    writer.Raw(std::string(between, 'b'));
                    writer.Repeat(from, to);
                });
                std::string escaped;
                AppendJsonString(escaped, text);
                escaped = escaped.substr(1, escaped.size() - 2);
                EXPECT_EQ(out,
                          std::string(before, 'a') + escaped + std::string(between, 'b') + escaped)
                    << before << " " << length << " " << between;
            }
        }
    }
}

TEST(JsonLinesStream, WellFormedTextIsWrittenAsTheCheckedWriterWritesIt) {
    std::string umlauts;
    for (int i = 0; i < 35; ++i)
        umlauts += "\xC3\xA4";
    // Non-ASCII characters of every length beside bytes that need escapes, short and past the
    // length from which the checked writer validates.
    const std::string texts[] = {"",
                                 "\xC3\xA9",
                                 "caf\xC3\xA9 \"Gr\xC3\xB6\xC3\x9F"
                                 "e\"\r\n\t\x01",
                                 std::string(40, 'x') + "\xE2\x82\xAC\\" + std::string(20, 'y'),
                                 "\xF0\x9F\x98\x80\x1F" + umlauts + "\"",
                                 std::string(17, '\n') + "\xE6\x97\xA5\xE6\x9C\xAC"};
    for (const std::string& text : texts) {
        const std::string checked = Written([&](JsonWriter& w) { w.Chars(text); });
        const std::string trusted = Written([&](JsonWriter& w) { w.WellFormedChars(text); });
        EXPECT_EQ(trusted, checked) << text;
        EXPECT_EQ("\"" + trusted + "\"", json(text).dump()) << text;
    }
}

TEST(JsonLinesStream, TextCutAfterAnAsciiByteIsWrittenAsItsPartsTogether) {
    // What lets a result take the escaped prompt for the code that holds it.
    for (const std::string& text :
         {std::string("ab\"c\\d\r\n\te"), std::string("\xC3\xA9x\xC3(y\xE2\x82z\xF0\x9F\x98\x80"),
          std::string(40, '"') + "\x01" + std::string(20, 'x') + "\xED\xA0\x80" + "q"}) {
        std::string whole;
        AppendJsonString(whole, text);
        for (std::size_t cut = 1; cut < text.size(); ++cut) {
            if (static_cast<unsigned char>(text[cut - 1]) >= 0x80)
                continue;
            const std::string parts = Written([&](JsonWriter& writer) {
                writer.Raw("\"");
                writer.Chars(std::string_view(text).substr(0, cut));
                writer.Chars(std::string_view(text).substr(cut));
                writer.Raw("\"");
            });
            EXPECT_EQ(parts, whole) << "cut at " << cut;
        }
    }
}

TEST(JsonLinesStream, InvalidUtf8InAResultIsReplacedAsBefore) {
    // Results of valid lines are always well-formed; the writer is checked on its own.
    for (const std::string& text : std::vector<std::string>{
             "ok", "\xC3", "\xC3\x28", "\xE0\x80\x80", "a\xF0\x9F\x98", "\xFF\xFE", "\xED\xA0\x80z",
             "\x80\x80", "\x01\x7F\xC3\xA9",
             // Long enough to be checked as a whole after the first
             // non-ASCII byte: well-formed, and ill-formed only far on.
             "\xC3\xA9" + std::string(40, 'x') + "\xE2\x82\xAC" + "\"",
             "\xC3\xA9" + std::string(40, 'x') + "\xE2\x82" + "\xC3\xA9",
             std::string(40, 'x') + "\xF0\x9F\x98\x80" + std::string(40, 'y') + "\xED\xA0\x80"}) {
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

TEST(JsonLinesStream, EveryLineOfALongRunGivesWhatItGivesAlone) {
    // Lines of many lengths, so that they cross the reader's blocks at every kind of place.
    std::string input;
    std::vector<std::string> lines;
    for (std::size_t i = 0; input.size() < (5u << 20); ++i) {
        lines.push_back(R"({"intButtonSet":1,"txtPrompt":")" + std::string((i * 7919) % 6000, 'p') +
                        R"("})");
        input += lines.back() + (i % 3 == 0 ? "\r\n" : "\n");
    }
    const std::vector<std::string> results = RunLines(input);
    ASSERT_EQ(results.size(), lines.size());
    for (std::size_t i = 0; i < lines.size(); ++i) {
        bool failed = false;
        ASSERT_EQ(results[i], ComposeJsonLine(lines[i], failed)) << "line " << i;
    }
}

TEST(JsonLinesStream, TheBlockPassHandsOnlyLinesThatAreOneObject) {
    const struct {
        std::string block;
        std::vector<std::string> handed;
        std::size_t resume; // where the line parser takes over
    } cases[] = {
        {"{\"a\":1}\n{\"b\":2}\r\n", {"{\"a\":1}", "{\"b\":2}"}, 17},
        {"{\"a\":1}\n\n{\"b\":2}\n", {"{\"a\":1}"}, 8},
        {"{\"a\":1}\n {\"b\":2}\n", {"{\"a\":1}"}, 8},
        {"{\"a\":1} \n{\"b\":2}\n", {}, 0},
        {"{\"a\":\n1}\n{\"b\":2}\n", {}, 0},
        {"{} {}\n{\"b\":2}\n", {}, 0},
        {"[1]\n{\"b\":2}\n", {}, 0},
        {"{\"a\":1}\n\xEF\xBB\xBF{}\n", {"{\"a\":1}"}, 8},
        {"{\"a\":1}\n{\"b\":2\n", {"{\"a\":1}"}, 8},
        {"{\"a\":1}\n{\"b\":123456789012345678901234}\n", {"{\"a\":1}"}, 8},
        {"{\"a\":\"\xC3\"}\n", {}, 0},
        {"{\"a\":1}\n{\"b\":\"\0\"}\n", {"{\"a\":1}"}, 8},
    };
    for (const auto& c : cases) {
        const std::string padded = c.block + std::string(kLinePadding, ' ');
        std::vector<std::string> handed;
        const std::size_t resume =
            ParseJsonLines(std::string_view(padded).substr(0, c.block.size()),
                           [&](std::string_view line, simdjson::dom::element root) {
                               EXPECT_TRUE(root.is_object()) << line;
                               handed.emplace_back(line);
                           });
        EXPECT_EQ(handed, c.handed) << c.block;
        EXPECT_EQ(resume, c.resume) << c.block;
    }
}

TEST(JsonLinesStream, LinesTheBlockPassLeavesGiveWhatTheyGiveAlone) {
    const std::string record = R"({"txtPrompt":"Done","intIcon":2})";
    const std::vector<std::string> odd{"",
                                       " " + record,
                                       record + " ",
                                       "\xEF\xBB\xBF" + record,
                                       R"({"intIcon":123456789012345678901234})",
                                       R"({"intIcon":7})",
                                       R"({"txtPrompt":"\xC3"})",
                                       "[1]",
                                       "{} {}",
                                       R"({"txtPrompt":)"};
    for (const std::string& line : odd) {
        const std::vector<std::string> lines{record, line, record, record};
        std::string input;
        for (const std::string& l : lines)
            input += l + "\n";
        const std::vector<std::string> results = RunLines(input);
        ASSERT_EQ(results.size(), lines.size()) << line;
        for (std::size_t i = 0; i < lines.size(); ++i) {
            bool failed = false;
            EXPECT_EQ(results[i], ComposeJsonLine(lines[i], failed)) << line << " at " << i;
        }
    }
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
