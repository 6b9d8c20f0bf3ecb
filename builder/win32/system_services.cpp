#include "builder/win32/system_services.h"

#include "win32util/system_message.h"
#include "win32util/text.h"
#include "win32util/unique_handles.h"

#include <commdlg.h>

#include <cstring>
#include <vector>

namespace qvn::win32 {
using win32util::Ansi;
using win32util::Utf8;
using win32util::Wide;
namespace {

// Another program may hold the clipboard for a moment (viewers read it after every change).
bool OpenClipboardPatiently(HWND owner) {
    for (int attempt = 0; attempt < 5; ++attempt) {
        if (OpenClipboard(owner)) {
            return true;
        }
        Sleep(10);
    }
    return false;
}

} // namespace

int SystemServices::ShowMessage(const std::string& text, std::int32_t style,
                                const std::optional<std::string>& title) {
    const std::wstring caption = Wide(title.value_or(std::string(kApplicationTitle)));
    return MessageBoxW(owner_, Wide(text).c_str(), caption.c_str(), static_cast<UINT>(style));
}

bool SystemServices::ClearClipboard() {
    if (!OpenClipboardPatiently(owner_)) {
        return false;
    }
    const bool emptied = EmptyClipboard() != FALSE;
    CloseClipboard();
    return emptied;
}

bool SystemServices::SetClipboardText(const std::string& text) {
    const std::wstring wide = Wide(text);
    const std::size_t bytes = (wide.size() + 1) * sizeof(wchar_t);
    win32util::unique_hglobal memory(GlobalAlloc(GMEM_MOVEABLE, bytes));
    if (!memory) {
        return false;
    }
    void* target = GlobalLock(memory.get());
    if (target == nullptr) {
        return false;
    }
    std::memcpy(target, wide.c_str(), bytes);
    GlobalUnlock(memory.get());
    if (!OpenClipboardPatiently(owner_)) {
        return false;
    }
    // On success the clipboard owns the memory; on failure it is still ours to free.
    const bool placed = SetClipboardData(CF_UNICODETEXT, memory.get()) != nullptr;
    CloseClipboard();
    if (placed) {
        static_cast<void>(memory.release());
    }
    return placed;
}

std::wstring SystemServices::DialogFilter(std::string_view filter) {
    std::wstring out = Wide(filter);
    for (auto& c : out) {
        if (c == L'|') {
            c = L'\0';
        }
    }
    out.push_back(L'\0');
    out.push_back(L'\0');
    return out;
}

std::optional<std::string> SystemServices::ShowOpenFileDialog(std::string_view title,
                                                              std::string_view filter) {
    const std::wstring wideTitle = Wide(title);
    const std::wstring wideFilter = DialogFilter(filter);
    std::vector<wchar_t> name(4096, L'\0');
    OPENFILENAMEW ofn{};
    // The structure's size as Windows XP without the Places bar knew it is accepted everywhere.
    ofn.lStructSize = OPENFILENAME_SIZE_VERSION_400W;
    ofn.hwndOwner = owner_;
    ofn.lpstrFilter = wideFilter.c_str();
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = name.data();
    ofn.nMaxFile = static_cast<DWORD>(name.size());
    ofn.lpstrTitle = wideTitle.c_str();
    // The IDE's current folder is not ours to change.
    ofn.Flags = OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR;
    if (!GetOpenFileNameW(&ofn)) {
        return std::nullopt;
    }
    return Utf8(name.data());
}

std::string SystemServices::ErrorText(DWORD code) {
    if (code == 0) {
        return {};
    }
    const std::wstring text = win32util::SystemMessage(code);
    return Utf8(text);
}

std::optional<std::string> SystemServices::ShowHelp(const std::string& helpFile, unsigned command) {
    SetLastError(0);
    if (WinHelpA(owner_, Ansi(helpFile).c_str(), command, 0)) {
        return std::nullopt;
    }
    return ErrorText(GetLastError());
}

void SystemServices::UnloadForm() {
    if (unload_) {
        unload_();
    }
}

} // namespace qvn::win32
