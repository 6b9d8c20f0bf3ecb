#include "win32util/text.h"

#include <objbase.h>

#include <climits>

namespace qvn::win32util {
namespace {

// The conversion functions count in int; longer text is cut rather than wrapped around.
int Length(std::size_t size) {
    return size > static_cast<std::size_t>(INT_MAX) ? INT_MAX : static_cast<int>(size);
}

} // namespace

std::wstring Widen(std::string_view bytes, UINT codePage) {
    if (bytes.empty()) {
        return {};
    }
    const int n = MultiByteToWideChar(codePage, 0, bytes.data(), Length(bytes.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0) {
        MultiByteToWideChar(codePage, 0, bytes.data(), Length(bytes.size()), out.data(), n);
    }
    return out;
}

std::string Narrow(std::wstring_view text, UINT codePage) {
    if (text.empty()) {
        return {};
    }
    const int n = WideCharToMultiByte(codePage, 0, text.data(), Length(text.size()), nullptr, 0,
                                      nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
    if (n > 0) {
        WideCharToMultiByte(codePage, 0, text.data(), Length(text.size()), out.data(), n, nullptr,
                            nullptr);
    }
    return out;
}

std::wstring GuidText(REFGUID guid) {
    wchar_t text[39] = {}; // 38 characters and the null
    StringFromGUID2(guid, text, 39);
    return text;
}

} // namespace qvn::win32util
