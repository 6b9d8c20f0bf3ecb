#include "cli/json_writer.h"

#include "composition/statement_lines.h"
#include "composition/utf8.h"

#include <simdjson.h>

#include <array>
#include <cstdint>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace qvn::cli {
namespace {

// For each byte, what follows the backslash of its short escape in a JSON string; 1 for the
// bytes that need more (other controls, and everything from 0x80 unless the text is known to
// be well-formed UTF-8), 0 for plain ones.
using EscapeTable = std::array<char, 256>;
constexpr EscapeTable MakeEscapeTable(bool wellFormed) {
    EscapeTable table{};
    for (std::size_t c = 0; c < table.size(); ++c)
        table[c] = c < 0x20 || (c >= 0x80 && !wellFormed) ? 1 : 0;
    table['"'] = '"';
    table['\\'] = '\\';
    table['\b'] = 'b';
    table['\t'] = 't';
    table['\n'] = 'n';
    table['\f'] = 'f';
    table['\r'] = 'r';
    return table;
}
constexpr EscapeTable kEscape = MakeEscapeTable(false);
constexpr EscapeTable kEscapeWellFormed = MakeEscapeTable(true);

// The rest of a text from its first non-ASCII byte is checked for well-formed UTF-8 in one
// pass when at least this long, so that its non-ASCII characters are copied with the plain
// bytes; below it the call would cost more than it saves. ASCII text is never checked.
constexpr std::ptrdiff_t kCheckedLength = 32;

#if defined(__SSE2__)
// A mask of the bytes that are not plain: quote, backslash, controls and, unless the text is
// well-formed UTF-8, everything from 0x80.
template <bool kWellFormed> int SpecialBytes(__m128i bytes) {
    const __m128i quote = _mm_set1_epi8('"');
    const __m128i backslash = _mm_set1_epi8('\\');
    const __m128i lastControl = _mm_set1_epi8(0x1F);
    // Signed, bytes from 0x80 up compare below the blank along with the controls; unsigned,
    // only the controls are at most 0x1F.
    const __m128i below = kWellFormed
                              ? _mm_cmpeq_epi8(_mm_max_epu8(bytes, lastControl), lastControl)
                              : _mm_cmplt_epi8(bytes, _mm_set1_epi8(0x20));
    return _mm_movemask_epi8(_mm_or_si128(
        _mm_or_si128(_mm_cmpeq_epi8(bytes, quote), _mm_cmpeq_epi8(bytes, backslash)), below));
}
#endif

// Writes the one byte at `at` that is not plain as a JSON string holds it, or the UTF-8
// sequence it starts, or U+FFFD for an ill-formed one; moves `at` past what was read and
// returns the end of what was written (at most six bytes).
char* WriteSpecial(char* write, const unsigned char*& at, const unsigned char* end) {
    static constexpr char kHex[] = "0123456789abcdef";
    const unsigned char c = *at;
    if (c >= 0x80) {
        std::size_t accepted = 0;
        const std::size_t length = Utf8Sequence(at, end, accepted);
        if (length > 0) {
            for (std::size_t i = 0; i < length; ++i)
                *write++ = static_cast<char>(*at++);
            return write;
        }
        // The bytes that began the sequence go; the one that broke it is read again.
        std::memcpy(write, "\xEF\xBF\xBD", 3);
        at += accepted > 0 ? accepted : 1;
        return write + 3;
    }
    ++at;
    *write++ = '\\';
    switch (c) {
    case '"':
    case '\\':
        *write++ = static_cast<char>(c);
        break;
    case '\b':
        *write++ = 'b';
        break;
    case '\f':
        *write++ = 'f';
        break;
    case '\n':
        *write++ = 'n';
        break;
    case '\r':
        *write++ = 'r';
        break;
    case '\t':
        *write++ = 't';
        break;
    default:
        std::memcpy(write, "u00", 3);
        write[3] = kHex[c >> 4];
        write[4] = kHex[c & 0xF];
        write += 5;
        break;
    }
    return write;
}

} // namespace

void AppendJsonString(OutputBuffer& out, std::string_view text) {
    JsonWriter writer(out);
    writer.String(text);
}

void AppendJsonString(std::string& out, std::string_view text) {
    OutputBuffer buffer;
    AppendJsonString(buffer, text);
    out.append(buffer.View());
}

void JsonWriter::String(std::string_view text) {
    Raw("\"");
    Chars(text);
    Raw("\"");
}

template <bool kWellFormed> void JsonWriter::Escape(std::string_view text) {
    char* write = write_;
    const auto* at = reinterpret_cast<const unsigned char*>(text.data());
    const auto* end = at + text.size();
    bool checked = kWellFormed;
    const EscapeTable& escapes = kWellFormed ? kEscapeWellFormed : kEscape;
    auto room = [&] {
        if (write >= limit_) {
            write_ = write;
            MakeRoom(0);
            write = write_;
        }
    };
    while (at < end) {
        room();
#if defined(__SSE2__)
        const auto left = static_cast<std::size_t>(end - at);
        if (left >= 16) {
            // The sixteen bytes are stored whatever they hold; only those before the first
            // one that needs care are kept.
            const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(write), bytes);
            auto mask = static_cast<unsigned>(SpecialBytes<kWellFormed>(bytes));
            if (mask == 0) {
                at += 16;
                write += 16;
                continue;
            }
            if (left >= 32) {
                // Every byte of the step that has a short escape is written here, the plain
                // bytes between them each moved as sixteen from where they start (the text
                // has that many after any of them): one pass over the mask, rather than a
                // step for each escape, as quote-heavy code needs.
                std::size_t from = 0; // the step's first byte not yet written
                for (; mask != 0; mask &= mask - 1) {
                    const auto place = static_cast<std::size_t>(__builtin_ctz(mask));
                    const char escape = escapes[at[place]];
                    if (escape == 1)
                        break;
                    _mm_storeu_si128(reinterpret_cast<__m128i*>(write),
                                     _mm_loadu_si128(reinterpret_cast<const __m128i*>(at + from)));
                    write += place - from;
                    write[0] = '\\';
                    write[1] = escape;
                    write += 2;
                    from = place + 1;
                }
                if (mask == 0) {
                    _mm_storeu_si128(reinterpret_cast<__m128i*>(write),
                                     _mm_loadu_si128(reinterpret_cast<const __m128i*>(at + from)));
                    write += 16 - from;
                    at += 16;
                    continue;
                }
                // A byte that needs more than a short escape: the plain bytes before it, then
                // the way below.
                const auto place = static_cast<std::size_t>(__builtin_ctz(mask));
                _mm_storeu_si128(reinterpret_cast<__m128i*>(write),
                                 _mm_loadu_si128(reinterpret_cast<const __m128i*>(at + from)));
                write += place - from;
                at += place;
            } else {
                const int plain = __builtin_ctz(mask);
                at += plain;
                write += plain;
            }
        } else {
            // The last bytes: read as the text's last sixteen, with those already written
            // shifted out, or for a short text from a copy with zeros after it; the plain
            // ones are copied in a few moves.
            unsigned mask = 0;
            if (text.size() >= 16) {
                const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(end - 16));
                mask = static_cast<unsigned>(SpecialBytes<kWellFormed>(bytes)) >> (16 - left);
            } else {
                char tail[16] = {};
                CopyShortBytes(tail, reinterpret_cast<const char*>(at), left);
                const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(tail));
                mask = static_cast<unsigned>(SpecialBytes<kWellFormed>(bytes)) & ((1U << left) - 1);
            }
            const std::size_t plain =
                mask != 0 ? static_cast<std::size_t>(__builtin_ctz(mask)) : left;
            CopyShortBytes(write, reinterpret_cast<const char*>(at), plain);
            at += plain;
            write += plain;
            if (at == end)
                break;
        }
#else
        {
            while (at < end && escapes[*at] == 0)
                *write++ = static_cast<char>(*at++);
            if (at == end)
                break;
        }
#endif
        // Bytes that need care come in runs in code: doubled quotes, and the line breaks and
        // tabs between its lines. A run is written here without going back to the plain
        // steps, its commonest escapes as the table has them.
        do {
            if (const char escape = escapes[*at]; escape != 1) {
                write[0] = '\\';
                write[1] = escape;
                write += 2;
                ++at;
            } else if (*at >= 0x80 && !checked) {
                // The bytes before are ASCII, so the text is well-formed when its rest is,
                // and its rest is then written as such.
                checked = true;
                const auto rest = static_cast<std::size_t>(end - at);
                if (rest >= kCheckedLength &&
                    simdjson::validate_utf8(reinterpret_cast<const char*>(at), rest)) {
                    write_ = write;
                    Escape<true>(std::string_view(reinterpret_cast<const char*>(at), rest));
                    return;
                }
            } else {
                write = WriteSpecial(write, at, end);
            }
        } while (at < end && escapes[*at] != 0 && write < limit_);
    }
    write_ = write;
}

template void JsonWriter::Escape<false>(std::string_view text);
template void JsonWriter::Escape<true>(std::string_view text);

} // namespace qvn::cli
