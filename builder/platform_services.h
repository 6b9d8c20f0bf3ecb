// What the builder window needs from the platform, in one interface: the native view
// implements it with the system's services, tests with recording fakes. Text is UTF-8.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qvn {

// The help viewer's command that opens a help file at its contents.
inline constexpr unsigned kHelpContents = 3;

class PlatformServices {
public:
    virtual ~PlatformServices() = default;

    // A modal message box owned by the builder window; `style` is the toolkit's style value
    // (buttons + icon + default button + flags). No title (nullopt) means the component's
    // application title "QVN"; an empty title is passed on as an empty title. Returns the
    // answer, which no caller here uses.
    virtual int ShowMessage(const std::string& text, std::int32_t style,
                            const std::optional<std::string>& title) = 0;

    // The clipboard. Each returns false when the clipboard could not be opened or changed.
    virtual bool ClearClipboard() = 0;
    // Puts `text` on the clipboard as plain (Unicode) text.
    virtual bool SetClipboardText(const std::string& text) = 0;

    // The modal open-file dialog with the given title and filter ("Name|*.ext" pairs).
    // Returns the chosen file name, or nothing when the user cancelled.
    virtual std::optional<std::string> ShowOpenFileDialog(std::string_view title,
                                                          std::string_view filter) = 0;

    // Asks the help viewer to run `command` (kHelpContents) on `helpFile`, with the builder
    // window as owner. Returns nothing when the request was made; when it could not be made,
    // the system's description of the failure, or an empty text when the system has none.
    virtual std::optional<std::string> ShowHelp(const std::string& helpFile, unsigned command) = 0;

    // Unloads the builder window: the view runs the window's unload (frmMain::Unload) and
    // destroys its native controls. May be called from inside a click handler.
    virtual void UnloadForm() = 0;
};

} // namespace qvn
