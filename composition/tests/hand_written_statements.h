// MsgBox statements as people write them, each with what the reader must make of it: the
// record, given as the code the generators write for it, or the refusal, given by a part of
// its sentence. Shared by the native reader test and the VBScript judge, which checks the
// prompt, buttons and title read against what the engine makes of the original.
#pragma once

#include <array>

namespace qvn::test {

struct HandWritten {
    const char* code;
    const char* composed; // the code written for the record read, or null when refused
    const char* refusal;  // a part of the refusal's sentence, or null when read
};

inline constexpr HandWritten kHandWritten[] = {
    // Statement forms, keywords and constants in any letter case, trailing comments.
    {"MsgBox \"Done\"", "MsgBox \"Done\"", nullptr},
    {"  msgbox \"Done\" ' tell them\r\n", "MsgBox \"Done\"", nullptr},
    {"MsgBox(\"Done\")", "MsgBox \"Done\"", nullptr},
    {"MsgBox (\"Done\"), VBOKCANCEL", "MsgBox \"Done\", vbOKCancel", nullptr},
    {"MsgBox(\"Done\", vbOKCancel)", "MsgBox \"Done\", vbOKCancel", nullptr},
    {"Call MsgBox(\"Done\", , \"Status\"): Rem why", "MsgBox \"Done\", , \"Status\"", nullptr},
    {"MsgBox \"Done\" :' why", "MsgBox \"Done\"", nullptr},
    {"answer = MsgBox(\"Go?\", vbYesNo)", "answer = MsgBox(\"Go?\", vbYesNo)", nullptr},
    {"If MsgBox(\"Quit?\", vbYesNo) = vbYes Then",
     "If MsgBox (\"Quit?\", vbYesNo) = vbYes Then\r\n\r\nElse\r\n\r\nEnd If\r\n", nullptr},
    {"if msgbox(\"Quit?\", vbyesno + vbdefaultbutton2) <> VBNO then ' ask",
     "If MsgBox (\"Quit?\", vbYesNo + vbDefaultButton2) <> vbNo Then\r\n\r\nElse\r\n\r\nEnd If\r\n",
     nullptr},
    // The exact complement in a box with two results.
    {"If MsgBox(\"Quit?\", vbYesNo) = vbNo Then",
     "If MsgBox (\"Quit?\", vbYesNo) <> vbYes Then\r\n\r\nElse\r\n\r\nEnd If\r\n", nullptr},
    {"If MsgBox(\"Retry?\", vbRetryCancel) <> vbCancel Then",
     "If MsgBox (\"Retry?\", vbRetryCancel) = vbRetry Then\r\n\r\nElse\r\n\r\nEnd If\r\n", nullptr},
    // Arguments: empty positions, named in any order, continuation lines.
    {"MsgBox \"x\", , \"T\"", "MsgBox \"x\", , \"T\"", nullptr},
    {"MsgBox Title:=\"T\", Prompt:=\"x\", Buttons:=vbCritical", "MsgBox \"x\", vbCritical, \"T\"",
     nullptr},
    {"MsgBox \"x\", vbOKOnly + vbMsgBoxHelpButton, , \"app.hlp\", 100",
     "MsgBox \"x\", vbMsgBoxHelpButton, , \"app.hlp\", 100", nullptr},
    {"MsgBox prompt:=\"x\", context:=&H10, helpfile:=\"a.hlp\", buttons:=vbMsgBoxHelpButton",
     "MsgBox \"x\", vbMsgBoxHelpButton, , \"a.hlp\", &H10", nullptr},
    {"MsgBox \"First line\" & _\r\n    \"second\", _\r\n    vbInformation",
     "MsgBox \"First linesecond\", vbInformation", nullptr},
    {"MsgBox \"a\" & _\n  vbCrLf & \"b\"", "MsgBox \"a\" & vbCrLf & \"b\"", nullptr},
    // Texts: doubled quotes, named constants, Chr, + between texts, parentheses.
    {"MsgBox \"Say \"\"hi\"\"\"", "MsgBox \"Say \"\"hi\"\"\"", nullptr},
    {"MsgBox \"a\" & vbNewLine & \"b\" + vbLf + vbCr & vbTab",
     "MsgBox \"a\" & vbCrLf & \"b\" & vbLf & vbCr & \"\t\"", nullptr},
    {"MsgBox Chr(34) & \"q\" & Chr$(34) & Chr(13) & Chr(10) & Chr(9)",
     "MsgBox \"\"\"q\"\"\" & vbCrLf & \"\t\"", nullptr},
    {"MsgBox (\"a\" & (\"b\")) & \"c\", , (\"T\")", "MsgBox \"abc\", , \"T\"", nullptr},
    {"MsgBox \"\"", "MsgBox \"\"", nullptr},
    // Buttons decoded by their value, however they are spelt.
    {"MsgBox \"x\", vbOKCancel + vbCancel", "MsgBox \"x\", vbYesNoCancel", nullptr},
    {"MsgBox \"x\", vbYesNo Or vbQuestion Or vbDefaultButton2",
     "MsgBox \"x\", vbQuestion + vbYesNo + vbDefaultButton2", nullptr},
    {"MsgBox \"x\", vbExclamation + vbOKOnly + vbDefaultButton1 + vbApplicationModal",
     "MsgBox \"x\", vbExclamation", nullptr},
    {"MsgBox \"x\", 36", "MsgBox \"x\",  36", nullptr},
    {"MsgBox \"x\", &H24&, \"T\"", "MsgBox \"x\",  36, \"T\"", nullptr},
    {"MsgBox \"x\", 32 + vbYesNo", "MsgBox \"x\", vbQuestion + vbYesNo", nullptr},
    {"MsgBox \"x\", vbSystemModal + vbMsgBoxSetForeground + vbMsgBoxRight + vbMsgBoxRtlReading",
     "MsgBox \"x\", vbSystemModal + vbMsgBoxSetForeground + vbMsgBoxRight + vbMsgBoxRtlReading",
     nullptr},
    {"MsgBox \"x\", vbYesNoCancel + vbMsgBoxHelpButton + vbDefaultButton4, \"T\", \"h.hlp\", 5",
     "MsgBox \"x\", vbYesNoCancel + vbDefaultButton4 + vbMsgBoxHelpButton, \"T\", \"h.hlp\", 5",
     nullptr},
    {"MsgBox \"x\", vbOK", "MsgBox \"x\", vbOKCancel", nullptr},
    {"MsgBox \"x\", 0", "MsgBox \"x\"", nullptr},

    // Values decided when the program runs.
    {"MsgBox Err.Description", nullptr, "the prompt uses Err.Description, which is not text"},
    {"MsgBox \"Error: \" & strMessage", nullptr, "the prompt uses strMessage"},
    {"MsgBox \"x\", , App.Title", nullptr, "the title uses App.Title"},
    {"MsgBox IIf(ok, \"yes\", \"no\")", nullptr, "the prompt uses IIf(ok, \"yes\", \"no\")"},
    {"MsgBox \"x\", intStyle", nullptr, "the buttons use intStyle"},
    {"MsgBox \"Count: \" & 5", nullptr, "the prompt uses 5"},
    {"MsgBox 42", nullptr, "the prompt uses 42"},
    {"MsgBox Chr(65)", nullptr, "the prompt uses Chr(65)"},
    {"MsgBox \"x\", vbYesNo + vbMsgBoxSystemModal", nullptr, "not a constant of the language"},
    {"MsgBox \"x\", , \"T\", strHelp, 4", nullptr, "the help file uses strHelp"},
    {"MsgBox \"x\", vbMsgBoxHelpButton, , \"a.hlp\", lngTopic", nullptr,
     "the help context is lngTopic"},
    // Bits outside the tables, and sums that fail when the program runs.
    {"MsgBox \"x\", 6", nullptr, "whose part 6 is none"},
    {"MsgBox \"x\", vbYesNo + vbYesNo", nullptr, "the value 8"},
    {"MsgBox \"x\", vbOKOnly + 8192", nullptr, "whose part 8192"},
    {"MsgBox \"x\", &H8000", nullptr, "the value -32768"},
    {"MsgBox \"x\", 16384 + 16384", nullptr, "overflows"},
    {"MsgBox \"x\", 1.5", nullptr, "the buttons use 1.5"},
    // Combinations the window cannot show.
    {"MsgBox \"x\", vbYesNoCancel + vbDefaultButton4", nullptr, "button 4 the default"},
    {"MsgBox \"x\", vbYesNo + vbDefaultButton3", nullptr, "button 3 the default"},
    {"MsgBox \"x\", vbOKOnly, \"T\", \"a.hlp\", 3", nullptr, "without the Help button"},
    {"MsgBox \"x\", vbMsgBoxHelpButton, \"T\", \"a.hlp\"", nullptr, "without a help context"},
    {"MsgBox \"x\", , \"\"", nullptr, "the title is the empty text"},
    {"MsgBox \"x\" & Chr(0)", nullptr, "a null character"},
    // If tests the builder cannot write.
    {"If MsgBox(\"x\", vbYesNoCancel) = vbNo Then", nullptr, "not the result of the default"},
    {"If MsgBox(\"x\", vbYesNo + vbMsgBoxHelpButton) = vbNo Then", nullptr,
     "not the result of the default"},
    {"If MsgBox(\"x\", vbYesNo) = vbCancel Then", nullptr, "not the result of the default"},
    {"If MsgBox(\"x\", vbYesNo) = 6 Then", nullptr, "which is not the result of a button"},
    // The MsgBox inside something larger, or more than one statement.
    {"Select Case MsgBox(\"x\", vbYesNo)", nullptr, "larger statement or expression"},
    {"ElseIf MsgBox(\"x\", vbYesNo) = vbYes Then", nullptr, "larger statement or expression"},
    {"If MsgBox(\"x\", vbYesNo) = vbYes And ok Then", nullptr, "larger statement or expression"},
    {"Debug.Print MsgBox(\"x\")", nullptr, "larger statement or expression"},
    {"answer = MsgBox(\"x\") + 1", nullptr, "larger statement or expression"},
    {"MsgBox MsgBox(\"x\")", nullptr, "more than one MsgBox"},
    {"If ok Then MsgBox \"x\"", nullptr, "one-line If"},
    {"If MsgBox(\"x\", vbYesNo) = vbYes Then Exit Sub", nullptr, "one-line If"},
    {"MsgBox \"x\": Beep", nullptr, "separated by \":\""},
    {"MsgBox \"x\" ' asks _\r\nMsgBox \"y\"", nullptr, "comment ends with a line continuation"},
    {"MsgBox \"x\"\r\nMsgBox \"y\"", nullptr,
     "goes on after the MsgBox statement with MsgBox \"y\""},
    {"Beep", nullptr, "no MsgBox call"},
    // Argument lists the language itself refuses.
    {"MsgBox", nullptr, "no prompt"},
    {"MsgBox , \"x\"", nullptr, "no prompt"},
    {"MsgBox \"x\",", nullptr, "ends with a comma"},
    {"MsgBox Prompt:=\"x\", \"T\"", nullptr, "follows a named one"},
    {"MsgBox Prompt:=\"x\", Prompt:=\"y\"", nullptr, "given twice"},
    {"MsgBox Message:=\"x\"", nullptr, "no argument named Message"},
    {"MsgBox \"x", nullptr, "not closed on its line"},
};

} // namespace qvn::test
