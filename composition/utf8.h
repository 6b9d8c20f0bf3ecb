// Well-formed UTF-8 (RFC 3629), the one encoding of text in the code base.
#pragma once

#include <cstddef>
#include <string_view>

namespace qvn {

// The length of the well-formed UTF-8 sequence at `p` (no overlong forms, no surrogates,
// nothing above U+10FFFF), or 0 with `accepted` set to how many of its bytes were acceptable
// before the one that is not. `p` must be before `end`.
std::size_t Utf8Sequence(const unsigned char* p, const unsigned char* end, std::size_t& accepted);

// Whether all of `text` is well-formed UTF-8.
bool IsUtf8(std::string_view text);

} // namespace qvn
