#include "tool_message.h"

namespace qvn::setup {

void ShowMessage(const std::string& text, UINT style, const char* programTitle) {
    MessageBoxA(nullptr, text.c_str(), programTitle, style);
}

std::string SystemErrorText(DWORD error) {
    char* text = nullptr;
    const DWORD n = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                       FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, error, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string result = n != 0 && text ? std::string(text, n) : std::string();
    if (text)
        LocalFree(text);
    while (!result.empty() &&
           (result.back() == '\r' || result.back() == '\n' || result.back() == ' '))
        result.pop_back();
    if (result.empty())
        result = "Error " + std::to_string(error) + ".";
    return result;
}

} // namespace qvn::setup
