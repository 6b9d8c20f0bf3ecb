// Modules, caret lines and the module after pasting `MsgBox "Hi"` there: the indentation
// rules as cases, shared by the window's tests and the script engine's check that every
// module the table expects still compiles.
#pragma once

#include <string>
#include <vector>

namespace qvn::test {

struct IndentCase {
    const char* what;
    std::vector<std::string> module;
    long caret;
    std::vector<std::string> expected;
};

inline const std::vector<IndentCase>& IndentCases() {
    using Lines = std::vector<std::string>;
    const Lines kIndented = {"Option Explicit",   "",           "Private Sub Form_Load()",
                             "    If Ready Then", "        Go", "",
                             "    End If",        "End Sub"};
    static const std::vector<IndentCase> cases = {
        {"an indented caret line",
         kIndented,
         5,
         {"Option Explicit", "", "Private Sub Form_Load()", "    If Ready Then",
          "        MsgBox \"Hi\"", "        Go", "", "    End If", "End Sub"}},
        {"a blank line after an indented statement",
         kIndented,
         6,
         {"Option Explicit", "", "Private Sub Form_Load()", "    If Ready Then", "        Go",
          "        MsgBox \"Hi\"", "", "    End If", "End Sub"}},
        {"a caret line that closes a block goes into it",
         kIndented,
         7,
         {"Option Explicit", "", "Private Sub Form_Load()", "    If Ready Then", "        Go", "",
          "        MsgBox \"Hi\"", "    End If", "End Sub"}},
        {"End Sub in the first column",
         kIndented,
         8,
         {"Option Explicit", "", "Private Sub Form_Load()", "    If Ready Then", "        Go", "",
          "    End If", "    MsgBox \"Hi\"", "End Sub"}},
        {"a blank line after a Sub line, tabs in the module",
         {"Sub A()", "", "\tIf x Then", "\t\ty", "\tEnd If", "End Sub"},
         2,
         {"Sub A()", "\tMsgBox \"Hi\"", "", "\tIf x Then", "\t\ty", "\tEnd If", "End Sub"}},
        {"a blank line after a block If, a two-blank module",
         {"Sub A()", "  If x Then", "", "  End If", "End Sub"},
         3,
         {"Sub A()", "  If x Then", "    MsgBox \"Hi\"", "", "  End If", "End Sub"}},
        {"a single-line If opens nothing",
         {"Sub A()", "  If x Then y", "", "End Sub"},
         3,
         {"Sub A()", "  If x Then y", "  MsgBox \"Hi\"", "", "End Sub"}},
        {"a module without steps takes four blanks",
         {"Sub A()", "", "End Sub"},
         2,
         {"Sub A()", "    MsgBox \"Hi\"", "", "End Sub"}},
        {"a first-column line that ends no block gets the code as generated",
         {"Sub A()", "Go", "End Sub"},
         2,
         {"Sub A()", "MsgBox \"Hi\"", "Go", "End Sub"}},
    };
    return cases;
}

} // namespace qvn::test
