// The choices the builder offers, as data. Every caption, constant name and value of a
// choice is written here and nowhere else; the generators, the window and qvn-compose all
// read these tables.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace qvn {

struct ButtonSetOption {
    std::string_view caption;
    std::string_view constant; // empty: the choice writes no term
    std::int32_t value;
    // Names of the buttons in the order the message box shows them; empty where the set
    // has no such button. The next free position takes "Help" when the Help button is on.
    std::array<std::string_view, 4> labels;
    std::string_view commandName; // as qvn-compose's --buttons takes it
};

struct ValueOption {
    std::string_view caption;
    std::string_view constant;
    std::int32_t value;
    std::string_view commandName = {}; // as qvn-compose takes it, where it names the choice
};

// Check boxes that add a flag to the buttons argument, in the order their terms are written.
enum class Flag { Help, SysModal, SetForeground, RightAlign, RtlReading };

struct FlagOption {
    Flag flag;
    std::string_view control;
    std::string_view caption;
    std::string_view constant;
    std::int32_t value;
};

struct CodeShapeOption {
    std::string_view caption;
    std::string_view commandName; // as qvn-compose's --shape takes it
};

inline constexpr std::array<ButtonSetOption, 6> kButtonSets{{
    {"OK Only", "", 0, {"OK", "", "", ""}, "ok"},
    {"OK and Cancel", "vbOKCancel", 1, {"OK", "Cancel", "", ""}, "ok-cancel"},
    {"Abort, Retry and Ignore",
     "vbAbortRetryIgnore",
     2,
     {"Abort", "Retry", "Ignore", ""},
     "abort-retry-ignore"},
    {"Yes, No and Cancel", "vbYesNoCancel", 3, {"Yes", "No", "Cancel", ""}, "yes-no-cancel"},
    {"Yes and No", "vbYesNo", 4, {"Yes", "No", "", ""}, "yes-no"},
    {"Retry and Cancel", "vbRetryCancel", 5, {"Retry", "Cancel", "", ""}, "retry-cancel"},
}};

inline constexpr std::array<ValueOption, 5> kIcons{{
    {"None", "", 0, "none"},
    {"Critical", "vbCritical", 16, "critical"},
    {"Question", "vbQuestion", 32, "question"},
    {"Exclamation", "vbExclamation", 48, "exclamation"},
    {"Information", "vbInformation", 64, "information"},
}};

// The captions are the design captions of the default-button options; the window relabels
// them with the button names when a button set is chosen.
inline constexpr std::array<ValueOption, 4> kDefaultButtons{{
    {"Button 1", "", 0},
    {"Button 2", "vbDefaultButton2", 256},
    {"Button 3", "vbDefaultButton3", 512},
    {"Button 4", "vbDefaultButton4", 768},
}};

// The language names the system-modal flag vbSystemModal; there is no vbMsgBoxSystemModal.
inline constexpr std::array<FlagOption, 5> kFlags{{
    {Flag::Help, "chkHelp", "Add Help Button", "vbMsgBoxHelpButton", 16384},
    {Flag::SysModal, "chkSysModal", "System Modal Message Box", "vbSystemModal", 4096},
    {Flag::SetForeground, "chkSetForeground", "Set as Foreground Window", "vbMsgBoxSetForeground",
     65536},
    {Flag::RightAlign, "chkRightAlign", "Right Align Text", "vbMsgBoxRight", 524288},
    {Flag::RtlReading, "chkRtlReading", "Right-to-Left Reading", "vbMsgBoxRtlReading", 1048576},
}};

inline constexpr std::array<CodeShapeOption, 3> kCodeShapes{{
    {"Standard", "standard"},
    {"Variable Return", "variable"},
    {"If-Then-Else", "if"},
}};

inline constexpr int kCodeStandard = 0;
inline constexpr int kCodeVariableReturn = 1;
inline constexpr int kCodeIfThenElse = 2;

// What MsgBox returns for each button that ends the box: the result constant is "vb" and the
// button's label, as the generated Case lines and If tests write it.
struct ButtonResult {
    std::string_view label;
    std::int32_t value;
};

inline constexpr std::array<ButtonResult, 7> kButtonResults{{
    {"OK", 1},
    {"Cancel", 2},
    {"Abort", 3},
    {"Retry", 4},
    {"Ignore", 5},
    {"Yes", 6},
    {"No", 7},
}};

// The language's names for the choices at index 0, which the generators never write.
inline constexpr std::array<std::string_view, 3> kZeroStyleConstants{"vbOKOnly", "vbDefaultButton1",
                                                                     "vbApplicationModal"};

// The language's named text constants that a string expression may use. vbNewLine is taken as
// CR LF, its value on Windows, where the code runs.
struct TextConstant {
    std::string_view name;
    std::string_view text;
};

inline constexpr std::array<TextConstant, 5> kTextConstants{{
    {"vbCrLf", "\r\n"},
    {"vbNewLine", "\r\n"},
    {"vbCr", "\r"},
    {"vbLf", "\n"},
    {"vbTab", "\t"},
}};
inline constexpr std::size_t kCrLfConstant = 0;
inline constexpr std::size_t kCrConstant = 2;
inline constexpr std::size_t kLfConstant = 3;

// The label of the Help button, which returns no result to the program.
inline constexpr std::string_view kHelpLabel = "Help";

// Caption of default-button option 0 when the window loads.
inline constexpr std::string_view kFirstButtonLabel = "OK";

} // namespace qvn
