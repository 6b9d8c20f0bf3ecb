// qvn-compose: the message-box code generator from the command line.
#include "cli/compose_request.h"
#include "cli/json_record.h"
#include "cli/jsonl.h"
#include "composition/msgbox_reader.h"

#include <CLI/CLI.hpp>

#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>

namespace {

constexpr int kRefused = 2;

bool ReadFile(const std::string& path, std::string& text) {
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return false;
    text.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    return !file.bad();
}

} // namespace

int main(int argc, char** argv) {
    using qvn::cli::ComposeRequest;
    ComposeRequest request;
    std::string promptFile;
    bool jsonl = false;
    bool read = false;

    CLI::App app{"qvn-compose: writes message-box code for Visual Basic and VBA.\n"
                 "Prints the code that the builder window would paste for the same choices."};
    app.get_formatter()->column_width(34);
    auto* prompt = app.add_option("--prompt", request.prompt,
                                  "message text; a line feed in it is a line break");
    app.add_option("--prompt-file", promptFile,
                   "read the message text from FILE (its final line break is dropped)")
        ->excludes(prompt);
    app.add_option("--title", request.title, "title of the message box");
    app.add_option("--buttons", request.buttons, qvn::cli::ButtonChoices())->capture_default_str();
    app.add_option("--icon", request.icon, qvn::cli::IconChoices())->capture_default_str();
    app.add_option("--default", request.defaultButton, "default button, 1..4")
        ->capture_default_str();
    app.add_flag("--help-button", request.helpButton, "add a Help button");
    app.add_option("--help-file", request.helpFile, "help file of the Help button");
    app.add_option("--help-context", request.helpContext, "help context number");
    app.add_flag("--system-modal", request.systemModal, "system modal message box");
    app.add_flag("--foreground", request.foreground, "message box as foreground window");
    app.add_flag("--right-align", request.rightAlign, "right-aligned text");
    app.add_flag("--rtl-reading", request.rtlReading, "right-to-left reading");
    app.add_option("--shape", request.shape, qvn::cli::ShapeChoices())->capture_default_str();
    app.add_option("--var", request.var, "variable that receives the result (variable shape)")
        ->capture_default_str();
    app.add_flag("--select-case", request.selectCase,
                 "follow the assignment with a Select Case block (variable shape)");
    app.add_flag("--not-equal", request.notEqual, "test with <> instead of = (if shape)");
    app.add_flag("--value-only", request.valueOnly,
                 "write the buttons argument as a number instead of constants");
    app.add_flag("--lf", request.lf, "end the code's lines with LF instead of CR LF");
    app.add_flag("--jsonl", jsonl,
                 "read settings records as JSON Lines on standard input and write one result "
                 "line for each (no window rules, no checks)");
    auto* readFlag = app.add_flag(
        "--read", read,
        "read MsgBox code on standard input and print its settings record as JSON; with "
        "--jsonl, read {\"code\": ...} lines");
    for (const CLI::Option* option : app.get_options()) {
        const std::string name = option->get_name();
        if (name != "--read" && name != "--jsonl" && name != "--help")
            readFlag->excludes(option->get_name());
    }
    app.footer("Example:\n  qvn-compose --prompt 'Save changes?' --buttons yes-no-cancel "
               "--icon question --title Editor\n"
               "  echo 'MsgBox \"Done\", , \"Status\"' | qvn-compose --read\n"
               "Exit status: 0 done, 1 a JSON line failed, 2 the request was refused.");

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        app.exit(e);
        std::cerr << "Run qvn-compose --help for the options.\n";
        return kRefused;
    }

    if (jsonl) {
        std::ios::sync_with_stdio(false);
        return read ? qvn::cli::RunReadJsonLines(std::cin, std::cout)
                    : qvn::cli::RunJsonLines(std::cin, std::cout);
    }
    if (read) {
        std::ios::sync_with_stdio(false);
        const std::string code(std::istreambuf_iterator<char>(std::cin), {});
        auto settings = qvn::ReadMsgBoxCode(code);
        if (const auto* refusal = std::get_if<qvn::ReadRefusal>(&settings)) {
            std::cerr << "qvn-compose: " << refusal->sentence << "\n";
            return kRefused;
        }
        std::string record;
        qvn::cli::AppendSettingsRecord(record, std::get<qvn::MsgBoxSettings>(settings));
        std::cout << record << '\n';
        return 0;
    }

    if (!promptFile.empty()) {
        if (!ReadFile(promptFile, request.prompt)) {
            std::cerr << "qvn-compose: cannot read the prompt file " << promptFile << "\n";
            return kRefused;
        }
        request.prompt = qvn::cli::DropFinalLineBreak(std::move(request.prompt));
    }
    request.prompt = qvn::cli::LineFeedsToBreaks(request.prompt);

    auto built = qvn::cli::BuildSettings(request);
    if (const auto* refusal = std::get_if<qvn::cli::Refusal>(&built)) {
        std::cerr << "qvn-compose: " << refusal->message << "\n";
        return kRefused;
    }
    auto& settings = std::get<qvn::MsgBoxSettings>(built);
    const std::string code = qvn::cli::Compose(settings);
    if (settings.blnCodeTooLong) {
        std::cerr << "qvn-compose: " << qvn::cli::kCodeTooLong
                  << "; shorten the prompt, the title, the help file name or the variable name\n";
        return kRefused;
    }
    std::cout << code;
    // The single-line shapes end without a line break; end the terminal's line for them.
    if (!code.ends_with('\n'))
        std::cout << '\n';
    return 0;
}
