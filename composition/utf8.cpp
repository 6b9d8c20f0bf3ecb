#include "composition/utf8.h"

namespace qvn {

std::size_t Utf8Sequence(const unsigned char* p, const unsigned char* end, std::size_t& accepted) {
    accepted = 0;
    const unsigned char lead = *p;
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    accepted = 1;
    for (std::size_t i = 1; i < length; ++i) {
        if (p + i >= end)
            return 0;
        const unsigned char byte = p[i];
        if (byte < low || byte > high)
            return 0;
        low = 0x80;
        high = 0xBF;
        ++accepted;
    }
    return length;
}

bool IsUtf8(std::string_view text) {
    const auto* at = reinterpret_cast<const unsigned char*>(text.data());
    const auto* end = at + text.size();
    while (at < end) {
        if (*at < 0x80) {
            ++at;
            continue;
        }
        std::size_t accepted = 0;
        const std::size_t length = Utf8Sequence(at, end, accepted);
        if (length == 0)
            return false;
        at += length;
    }
    return true;
}

} // namespace qvn
