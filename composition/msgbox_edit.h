// Editing a message box where it stands: finding the MsgBox call in the statement at the
// caret, reading its settings, and writing the box's new code in place of the old while every
// other character of the statement stays as it was.
#pragma once

#include "composition/msgbox_reader.h"

#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace qvn {

// What the edit command says when the caret's statement holds no MsgBox call.
inline constexpr std::string_view kNoMessageBoxHere =
    "There is no message box on this line to edit.";

// The message box in the statement at the caret.
struct MsgBoxSite {
    enum class Kind {
        // A MsgBox statement or an assignment with nothing else on its lines but a trailing
        // comment, and nothing below that depends on it: replaced whole, in any shape.
        Statement,
        // A call inside other code (an If's condition or body, a ':' line, an assignment a
        // Select Case tests): only the call is rewritten, and the shape stays as the context is.
        Call,
    };
    Kind kind = Kind::Statement;
    long firstLine = 0; // the statement's first physical line in the module, from 1
    long lineCount = 0; // and how many physical lines it has
    std::string text;   // those lines joined by CR LF, as they stand
    // Call: where the call (from "MsgBox" to the end of its arguments) sits in `text`.
    std::size_t callBegin = 0;
    std::size_t callEnd = 0;
    // Statement: the first line's leading blanks and tabs, and the trailing comment with the
    // blanks before it.
    std::string indent;
    std::string comment;
    // Call: the results (indexes into kButtonResults) the kept code tests: an If's comparison
    // with the call, or the Case lines of the Select Case that tests the assigned variable.
    std::vector<int> keptResults;
    // The box as read. For a Call, the code shape is the context's: "If-Then-Else" for an If's
    // condition, "Variable Return" for an assignment, "Standard" for a statement of its own.
    MsgBoxSettings settings;
};

// Finds the message box in the logical statement that holds `caretLine` (from 1) of the
// module `lines` (without line breaks). A refusal carries the sentence to show: no MsgBox
// there, or why the reader cannot hold it.
std::variant<MsgBoxSite, ReadRefusal> FindMsgBoxAt(const std::vector<std::string>& lines,
                                                   long caretLine);

// The lines that replace the site's lines (joined by CR LF) once the box is composed as
// `composed` (with strMsgBoxCode built), and where the new call sits in them. Refused when the
// kept code tests a result the new box cannot give, or a line grows beyond the language's
// limit.
struct MsgBoxRewrite {
    std::string text;
    std::size_t callBegin = 0;
    std::size_t callEnd = 0;
};
std::variant<MsgBoxRewrite, ReadRefusal> RewriteMsgBox(const MsgBoxSite& site,
                                                       const MsgBoxSettings& composed);

// The site as it stands after `rewrite` replaced its lines, so that a second Paste replaces
// what the first one wrote.
void ApplyRewrite(MsgBoxSite& site, const MsgBoxRewrite& rewrite);

} // namespace qvn
