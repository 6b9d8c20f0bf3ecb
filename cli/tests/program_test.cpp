// Runs the built qvn-compose as a person would.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <sys/wait.h>

namespace {

struct Result {
    int status;
    std::string out;
};

Result RunCompose(const std::string& args) {
    const std::string command = std::string(QVN_COMPOSE_PATH) + " " + args + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    Result r{-1, {}};
    if (!pipe)
        return r;
    char buffer[4096];
    for (std::size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        r.out.append(buffer, n);
    const int status = pclose(pipe);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

// Runs qvn-compose with `input` on its standard input. The input file is the test's own:
// ctest runs the tests of this program side by side.
Result RunComposeOn(const std::string& input, const std::string& args) {
    const std::string path = ::testing::TempDir() + "qvn_input_" +
                             ::testing::UnitTest::GetInstance()->current_test_info()->name() +
                             ".txt";
    std::ofstream(path, std::ios::binary) << input;
    return RunCompose("<" + path + " " + args);
}

TEST(Program, ComposesTheReadmeExample) {
    const Result r = RunCompose("--prompt 'Save changes?' --buttons yes-no-cancel --icon question "
                                "--title Editor");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "MsgBox \"Save changes?\", vbQuestion + vbYesNoCancel, \"Editor\"\n");
}

TEST(Program, RefusalExitsTwoWithAMessage) {
    const Result r = RunCompose("--prompt x --select-case");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.out.find("--select-case"), std::string::npos);
}

TEST(Program, CodeTooLongForTheLanguageIsRefusedAndALongPromptIsContinued) {
    Result r = RunCompose("--prompt \"$(head -c 30000 /dev/zero | tr '\\0' a)\"");
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "qvn-compose: the code would be longer than one statement of the language "
                     "allows; shorten the prompt, the title, the help file name or the variable "
                     "name\n");
    r = RunCompose("--prompt \"$(head -c 1100 /dev/zero | tr '\\0' a)\"");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "MsgBox \"" + std::string(1010, 'a') + "\" & _\r\n\t\"" +
                         std::string(90, 'a') + "\"\n");
}

TEST(Program, UnknownOptionExitsTwo) {
    EXPECT_EQ(RunCompose("--no-such-thing").status, 2);
}

TEST(Program, HelpPrintsUsage) {
    const Result r = RunCompose("--help");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("--prompt-file"), std::string::npos);
}

TEST(Program, PromptFileDropsOneFinalLineBreak) {
    const std::string path = ::testing::TempDir() + "qvn_prompt.txt";
    std::ofstream(path, std::ios::binary) << "First\nSecond\n";
    const Result r = RunCompose("--prompt-file " + path);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "MsgBox \"First\" & vbCrLf & \"Second\"\n");
}

TEST(Program, JsonLinesExitOneWhenALineFails) {
    const Result r = RunCompose("--jsonl <<'EOF'\n{\"txtPrompt\":\"a\"}\n{\"intIcon\":9}\nEOF");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("MsgBox \\\"a\\\""), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\"error\""), std::string::npos);
}

} // namespace

namespace {

TEST(Program, ReadPrintsTheRecordAndJsonlComposesItAgain) {
    const std::string composed = "If MsgBox (\"Quit now?\", vbYesNo + vbDefaultButton2 + "
                                 "vbMsgBoxHelpButton, \"Confirm\", \"app.hlp\", 100) <> vbNo Then";
    Result r = RunComposeOn(composed + "\n", "--read");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "{\"intButtonSet\":4,\"intDefButton\":1,\"intCodeOption\":2,\"strTitle\":"
                     "\"Confirm\",\"txtPrompt\":\"Quit now?\",\"txtHelpFile\":\"app.hlp\","
                     "\"txtHelpContext\":\"100\",\"chkHelp\":1,\"chkNotEqual\":1,\"labels\":"
                     "[\"Yes\",\"No\",\"Help\",\"\"]}\n");
    r = RunComposeOn(composed, "--read | " + std::string(QVN_COMPOSE_PATH) + " --jsonl");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("\"strMsgBoxCode\":\"If MsgBox (\\\"Quit now?\\\", vbYesNo + "
                         "vbDefaultButton2 + vbMsgBoxHelpButton, \\\"Confirm\\\", \\\"app.hlp\\\","
                         " 100) <> vbNo Then\\r\\n\\r\\nElse\\r\\n\\r\\nEnd If\\r\\n\""),
              std::string::npos)
        << r.out;
}

TEST(Program, ReadRefusesWithTheSentenceOnOneLineAndExitsTwo) {
    const Result r = RunComposeOn("MsgBox Err.Description\r\n", "--read");
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out,
              "qvn-compose: the prompt uses Err.Description, which is not text the builder can "
              "hold\n");
}

TEST(Program, ReadTakesNoCompositionOption) {
    for (const char* option :
         {"--prompt x", "--title x", "--buttons yes-no", "--value-only", "--lf"}) {
        EXPECT_EQ(RunCompose(std::string("--read ") + option + " </dev/null").status, 2) << option;
        EXPECT_EQ(RunCompose(std::string("--read --jsonl ") + option + " </dev/null").status, 2)
            << option;
    }
}

TEST(Program, ReadJsonLinesGoesOnAfterAFailedLineAndExitsOne) {
    Result r = RunComposeOn("{\"code\": \"MsgBox \\\"a\\\", vbOK\"}\n{\"code\": 7}\n{}\n"
                            "not json\n{\"code\": \"Beep\"}\n{\"code\": \"x = MsgBox(\\\"b\\\")\"}",
                            "--read --jsonl");
    EXPECT_EQ(r.status, 1);
    // The parser's own words after "not valid JSON: " are its to choose.
    const std::string invalid = "{\"error\": \"not valid JSON: ";
    const auto at = r.out.find(invalid);
    ASSERT_NE(at, std::string::npos);
    r.out.replace(at + invalid.size(), r.out.find('"', at + invalid.size()) - at - invalid.size(),
                  "...");
    EXPECT_EQ(r.out, "{\"intButtonSet\":1,\"txtPrompt\":\"a\",\"labels\":[\"OK\",\"Cancel\",\"\","
                     "\"\"]}\n"
                     "{\"error\": \"code must be a string\"}\n"
                     "{\"error\": \"code must be a string\"}\n"
                     "{\"error\": \"not valid JSON: ...\"}\n"
                     "{\"error\": \"the code holds no MsgBox call\"}\n"
                     "{\"intCodeOption\":1,\"txtPrompt\":\"b\",\"txtVarName\":\"x\",\"labels\":"
                     "[\"OK\",\"\",\"\",\"\"]}\n");
    r = RunComposeOn("{\"code\": \"MsgBox \\\"a\\\"\\r\\n\"}\r\n", "--read --jsonl");
    EXPECT_EQ(r.status, 0);
}

} // namespace
