#include "standin/module_text.h"

#include "standin/host_state.h"
#include "win32util/text.h"

#include <cwctype>

#include <windows.h>

namespace qvn::standin {

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

} // namespace qvn::standin

namespace qvn::standin {

namespace {

bool IsBlankOrComment(const std::wstring& line) {
    const std::size_t first = line.find_first_not_of(L" \t");
    if (first == std::wstring::npos || line[first] == L'\'') {
        return true;
    }
    return _wcsnicmp(line.c_str() + first, L"Rem", 3) == 0 &&
           (first + 3 == line.size() || line[first + 3] == L' ' || line[first + 3] == L'\t');
}

// The words of a line up to the first character that is no part of a name.
std::vector<std::wstring> LeadingWords(const std::wstring& line, std::size_t most) {
    std::vector<std::wstring> words;
    std::size_t at = 0;
    while (words.size() < most) {
        at = line.find_first_not_of(L" \t", at);
        if (at == std::wstring::npos) {
            break;
        }
        std::size_t end = at;
        while (end < line.size() && (iswalnum(line[end]) != 0 || line[end] == L'_')) {
            ++end;
        }
        if (end == at) {
            break;
        }
        words.push_back(Lower(line.substr(at, end - at)));
        at = end;
    }
    return words;
}

// The procedure a Sub, Function or Property line opens: its name and kind; false otherwise.
bool OpensProcedure(const std::wstring& line, std::wstring& name, long& kind) {
    std::vector<std::wstring> words = LeadingWords(line, 5);
    std::size_t i = 0;
    while (i < words.size() && (words[i] == L"public" || words[i] == L"private" ||
                                words[i] == L"friend" || words[i] == L"static")) {
        ++i;
    }
    if (i + 1 >= words.size()) {
        return false;
    }
    kind = 0;
    if (words[i] == L"property") {
        static const wchar_t* const kinds[] = {L"", L"let", L"set", L"get"};
        for (long k = 1; k <= 3; ++k) {
            if (words[i + 1] == kinds[k]) {
                kind = k;
            }
        }
        if (kind == 0 || i + 2 >= words.size()) {
            return false;
        }
        i += 2;
    } else if (words[i] == L"sub" || words[i] == L"function") {
        ++i;
    } else {
        return false;
    }
    // The name as written, not lower-cased: find it again in the line.
    const std::size_t at = Lower(line).find(words[i]);
    name = line.substr(at, words[i].size());
    return true;
}

bool EndsProcedure(const std::wstring& line) {
    std::vector<std::wstring> words = LeadingWords(line, 2);
    return words.size() == 2 && words[0] == L"end" &&
           (words[1] == L"sub" || words[1] == L"function" || words[1] == L"property");
}

} // namespace

std::vector<ProcedureSpan> ProceduresOf(const std::vector<std::wstring>& lines) {
    std::vector<ProcedureSpan> found;
    long lastStatement = 0; // the last line before a procedure that is neither blank nor comment
    ProcedureSpan* open = nullptr;
    for (long n = 1; n <= static_cast<long>(lines.size()); ++n) {
        const std::wstring& line = lines[static_cast<std::size_t>(n - 1)];
        ProcedureSpan span;
        if (open == nullptr && OpensProcedure(line, span.name, span.kind)) {
            span.start = found.empty() ? lastStatement + 1 : found.back().end + 1;
            span.body = n;
            found.push_back(std::move(span));
            open = &found.back();
        } else if (open != nullptr && EndsProcedure(line)) {
            open->end = n;
            open = nullptr;
        } else if (found.empty() && !IsBlankOrComment(line)) {
            lastStatement = n;
        }
    }
    if (open != nullptr) {
        open->end = static_cast<long>(lines.size());
    }
    return found;
}

long DeclarationLinesOf(const std::vector<std::wstring>& lines) {
    const std::vector<ProcedureSpan> procedures = ProceduresOf(lines);
    if (procedures.empty()) {
        long last = 0;
        for (long n = 1; n <= static_cast<long>(lines.size()); ++n) {
            if (!IsBlankOrComment(lines[static_cast<std::size_t>(n - 1)])) {
                last = n;
            }
        }
        return last;
    }
    return procedures.front().start - 1;
}

} // namespace qvn::standin
