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
