// What a person asks qvn-compose for on the command line, and the window's rules that turn
// such a request into a settings record or refuse it.
#pragma once

#include "ide/names.h"

#include "composition/msgbox_settings.h"

#include <optional>
#include <string>
#include <variant>

namespace qvn::cli {

struct ComposeRequest {
    std::string prompt;
    std::string title;
    std::string buttons = "ok";
    std::string icon = "none";
    int defaultButton = 1;
    bool helpButton = false;
    std::string helpFile;
    std::string helpContext;
    bool systemModal = false;
    bool foreground = false;
    bool rightAlign = false;
    bool rtlReading = false;
    std::string shape = "standard";
    std::string var = names::kDefaultVariableName;
    bool selectCase = false;
    bool notEqual = false;
    bool valueOnly = false;
    bool lf = false;
};

// The names accepted by --buttons, --icon and --shape, from the option tables, joined by "|".
std::string ButtonChoices();
std::string IconChoices();
std::string ShapeChoices();

// Why a request whose code no arrangement fits into one statement of the language is refused.
inline constexpr const char* kCodeTooLong =
    "the code would be longer than one statement of the language allows";

// A refusal: the message says what is wrong and what to do.
struct Refusal {
    std::string message;
};

// Applies the window's rules. On success the record is ready for the generators.
std::variant<MsgBoxSettings, Refusal> BuildSettings(const ComposeRequest& request);

// Runs the generators in the order Copy runs them and returns the code.
std::string Compose(MsgBoxSettings& settings);

// A line feed typed on the command line stands for a line break (CR LF).
std::string LineFeedsToBreaks(const std::string& text);

// Drops one final line break of a file's text, as a person expects of a text file.
std::string DropFinalLineBreak(std::string text);

} // namespace qvn::cli
