// The platform services of the builder window on Windows: message boxes, the clipboard, the
// open-file dialog and the help viewer, each owned by the builder window. Unloading the
// window is the view's own business, so UnloadForm is forwarded to whoever owns the window.
#pragma once

#include "builder/platform_services.h"

#include <windows.h>

#include <functional>

namespace qvn::win32 {

// Title of a message box shown without one.
inline constexpr std::string_view kApplicationTitle = "QVN";

class SystemServices : public PlatformServices {
public:
    SystemServices() = default;

    void SetOwner(HWND owner) { owner_ = owner; }
    void SetUnloader(std::function<void()> unload) { unload_ = std::move(unload); }

    int ShowMessage(const std::string& text, std::int32_t style,
                    const std::optional<std::string>& title) override;
    bool ClearClipboard() override;
    bool SetClipboardText(const std::string& text) override;
    std::optional<std::string> ShowOpenFileDialog(std::string_view title,
                                                  std::string_view filter) override;
    std::optional<std::string> ShowHelp(const std::string& helpFile, unsigned command) override;
    void UnloadForm() override;

    // "Name|*.ext|..." as the file dialog wants it: NUL-separated and ending in two NULs.
    static std::wstring DialogFilter(std::string_view filter);
    // The system's text for error `code` without its trailing line break, or empty.
    static std::string ErrorText(DWORD code);

protected:
    [[nodiscard]] HWND Owner() const { return owner_; }

private:
    HWND owner_ = nullptr;
    std::function<void()> unload_;
};

} // namespace qvn::win32
