// The builder window's controls as data: one row per control (a member of a control array is
// a row of its own). The toolkit-neutral model and the native window are both made from this
// table, so a caption, position or tab index is written here and nowhere else. Captions of
// the option groups and of the flag check boxes come from the composition's option tables.
#pragma once

#include <iterator>
#include <optional>
#include <span>
#include <string_view>

namespace qvn::layout {

// Fixed client area of the window, in twips (546 by 390 pixels at 96 DPI).
inline constexpr int kClientWidth = 8190;
inline constexpr int kClientHeight = 5850;
// Caption in the design; the load handler replaces it with the versioned one.
inline constexpr std::string_view kDesignCaption = "Quorvane";

inline constexpr int kNoIndex = -1;    // the control is not a member of a control array
inline constexpr int kNoTabIndex = -1; // images and the file dialog hold no tab place

enum class ControlKind {
    Frame,
    Option,
    CheckBox,
    TextBox,
    Label,
    PictureButton, // square button that shows a picture and a tooltip, no caption text
    CommandButton, // ordinary button with a caption
    Image,         // bordered box with an icon; clickable
    FileDialog,    // the common file dialog; no place in the window
};

enum class Picture {
    None,
    Preview,      // a page under a magnifying glass
    Copy,         // two overlapping pages
    Paste,        // a clipboard with a page in front of it
    Help,         // a blue question mark
    Exit,         // a blue arrow pointing into an open red door
    IconCritical, // the standard message-box icons, in the order of optIcons
    IconQuestion,
    IconExclamation,
    IconInformation,
};

struct PictureSpec {
    Picture subject = Picture::None;
    int widthPx = 0;
    int heightPx = 0;
    int colours = 0;
    bool isIcon = false; // an icon (with a 16 by 16 variant for the message-box icons)
                         // rather than a bitmap
};

// Empty name: the window's font.
struct FontSpec {
    std::string_view name;
    double pointSize = 0;
    int weight = 0;
};

// Every control name of the window, once.
#define QVN_BUILDER_CONTROLS(X)                                                                    \
    X(fraButtons)                                                                                  \
    X(optButtons)                                                                                  \
    X(fraIcons)                                                                                    \
    X(optIcons)                                                                                    \
    X(imgIcons)                                                                                    \
    X(fraDefButton)                                                                                \
    X(optDefBtn)                                                                                   \
    X(fraCodeOpt)                                                                                  \
    X(optCodeOption)                                                                               \
    X(lblVarName)                                                                                  \
    X(txtVarName)                                                                                  \
    X(chkAddSelect)                                                                                \
    X(chkNotEqual)                                                                                 \
    X(fraOtherOpt)                                                                                 \
    X(chkSysModal)                                                                                 \
    X(chkSetForeground)                                                                            \
    X(chkRightAlign)                                                                               \
    X(chkRtlReading)                                                                               \
    X(chkOptValOnly)                                                                               \
    X(fraHelp)                                                                                     \
    X(chkHelp)                                                                                     \
    X(lblHelpFile)                                                                                 \
    X(txtHelpFile)                                                                                 \
    X(lblHelpContext)                                                                              \
    X(txtHelpContext)                                                                              \
    X(cmdBrowse)                                                                                   \
    X(lblTitle)                                                                                    \
    X(txtTitle)                                                                                    \
    X(lblCaption)                                                                                  \
    X(txtPrompt)                                                                                   \
    X(cmdPreview)                                                                                  \
    X(cmdCopy)                                                                                     \
    X(cmdPaste)                                                                                    \
    X(cmdHelp)                                                                                     \
    X(cmdExit)                                                                                     \
    X(dlgFileDialog)

// A control as the code refers to it, by its name in the window's design: `ctl::optButtons`.
// A misspelt name does not compile, and nothing looks a control up by its text.
enum class ControlName : unsigned char {
#define QVN_CONTROL_ENUMERATOR(name) name,
    QVN_BUILDER_CONTROLS(QVN_CONTROL_ENUMERATOR)
#undef QVN_CONTROL_ENUMERATOR
};
namespace ctl {
using enum ControlName;
} // namespace ctl

// The names as written in the design, for messages and test output.
#define QVN_CONTROL_TEXT(name) #name,
inline constexpr std::string_view kNameTexts[] = {QVN_BUILDER_CONTROLS(QVN_CONTROL_TEXT)};
#undef QVN_CONTROL_TEXT
inline constexpr int kControlNameCount = static_cast<int>(std::size(kNameTexts));
constexpr std::string_view NameText(ControlName name) {
    return kNameTexts[static_cast<int>(name)];
}

struct ControlSpec {
    ControlName name;
    ControlKind kind;
    int index;                            // control-array Index, or kNoIndex
    std::optional<ControlName> container; // the holding frame; nothing for the window itself
    std::string_view caption;     // caption (design caption of options); empty for text boxes
    std::string_view tooltip;     // picture buttons only, blanks included
    int left, top, width, height; // twips, relative to the container
    int tabIndex;                 // or kNoTabIndex
    int designValue = 0;          // options: 1 selected; check boxes: 0 off, 1 on
    bool designEnabled = true;
    bool designVisible = true;
    bool multiLine = false; // several lines, vertical scroll bar, Enter is a line break
    PictureSpec picture{};
    FontSpec font{};

    [[nodiscard]] constexpr std::string_view NameText() const { return layout::NameText(name); }
    [[nodiscard]] constexpr bool IsArrayMember() const { return index != kNoIndex; }
    // Controls that can hold the keyboard focus (frames and labels keep a tab place only).
    [[nodiscard]] constexpr bool TakesFocus() const {
        return kind == ControlKind::Option || kind == ControlKind::CheckBox ||
               kind == ControlKind::TextBox || kind == ControlKind::PictureButton ||
               kind == ControlKind::CommandButton;
    }
};

// The common file dialog's design properties.
inline constexpr std::string_view kFileDialogTitle = "Select Help File for Message Box Help";
inline constexpr std::string_view kFileDialogFilter = "Help (*.hlp)|*.hlp";

// Every control once; the row number (position in this span) identifies the control.
std::span<const ControlSpec> Controls();

// Row of the control `name` with Index `index` (kNoIndex for a plain control), or nothing
// when the control has no such Index (or is an array and `index` is kNoIndex).
std::optional<int> FindRow(ControlName name, int index = kNoIndex);
// Like FindRow for members known to exist; throws std::out_of_range otherwise.
int RowOf(ControlName name, int index = kNoIndex);

// Native control IDs: one per row, kFirstControlId + row. A native control's name and Index
// are recovered from its ID through ControlForId. The file dialog has a row but no window.
inline constexpr int kFirstControlId = 1001;
int ControlIdOf(int row);
// Row of the control with native ID `id`, or nothing when the ID is not one of ours.
std::optional<int> RowForId(int id);
// The control with native ID `id`, or nullptr.
const ControlSpec* ControlForId(int id);

} // namespace qvn::layout
