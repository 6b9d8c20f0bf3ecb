#include "host/module_text.h"

#include "win32util/text.h"

#include <windows.h>

namespace qvn::host {

std::vector<std::wstring> SplitLines(const std::wstring& text) {
    std::vector<std::wstring> lines;
    std::wstring current;
    for (std::size_t i = 0; i < text.size(); ++i) {
        wchar_t c = text[i];
        if (c == L'\r' || c == L'\n') {
            lines.push_back(std::move(current));
            current.clear();
            if (c == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n') {
                ++i;
            }
        } else {
            current.push_back(c);
        }
    }
    lines.push_back(std::move(current));
    return lines;
}

std::wstring JoinLines(const std::vector<std::wstring>& lines, std::size_t first,
                       std::size_t count) {
    std::wstring text;
    for (std::size_t i = first; i < first + count && i < lines.size(); ++i) {
        if (i != first) {
            text += L"\r\n";
        }
        text += lines[i];
    }
    return text;
}

std::vector<std::wstring> LinesFromFileBytes(const std::string& bytes) {
    std::string body = bytes;
    UINT codePage = CP_ACP;
    if (body.size() >= 3 && body.compare(0, 3, "\xEF\xBB\xBF") == 0) {
        body.erase(0, 3);
        codePage = CP_UTF8;
    } else if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, body.data(),
                                   static_cast<int>(body.size()), nullptr, 0) > 0) {
        codePage = CP_UTF8;
    }
    std::wstring text = win32util::Widen(body, codePage);
    // A final line break ends the last line rather than starting an empty one.
    if (!text.empty() && (text.back() == L'\n' || text.back() == L'\r')) {
        text.pop_back();
        if (!text.empty() && text.back() == L'\r') {
            text.pop_back();
        }
    }
    if (text.empty()) {
        return {};
    }
    return SplitLines(text);
}

} // namespace qvn::host
