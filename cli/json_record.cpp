#include "cli/json_record.h"

#include "composition/option_tables.h"
#include "composition/utf8.h"

#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <optional>
#include <vector>

namespace qvn::cli {
namespace {

// For each byte, what follows the backslash of its short escape in a JSON string; 1 for the
// bytes that need more (other controls, and everything from 0x80), 0 for plain ones.
constexpr std::array<char, 256> kEscape = [] {
    std::array<char, 256> table{};
    for (std::size_t c = 0; c < table.size(); ++c)
        table[c] = c < 0x20 || c >= 0x80 ? 1 : 0;
    table['"'] = '"';
    table['\\'] = '\\';
    table['\b'] = 'b';
    table['\t'] = 't';
    table['\n'] = 'n';
    table['\f'] = 'f';
    table['\r'] = 'r';
    return table;
}();

// Printable ASCII other than quote and backslash; one look in the table.
bool IsPlainJsonByte(unsigned char c) {
    return kEscape[c] == 0;
}

#if defined(__SSE2__)
// A mask of the bytes that are not plain: quote, backslash, controls and everything from 0x80.
__m128i SpecialBytes(__m128i bytes) {
    const __m128i quote = _mm_set1_epi8('"');
    const __m128i backslash = _mm_set1_epi8('\\');
    const __m128i blank = _mm_set1_epi8(0x20);
    // Signed, bytes from 0x80 up compare below the blank along with the controls.
    return _mm_or_si128(
        _mm_or_si128(_mm_cmpeq_epi8(bytes, quote), _mm_cmpeq_epi8(bytes, backslash)),
        _mm_cmplt_epi8(bytes, blank));
}
#endif

// The end of the run of plain bytes (printable ASCII other than quote and backslash) that
// starts at `p`, looked at sixteen bytes at a time where the processor allows.
const unsigned char* PlainRunEnd(const unsigned char* p, const unsigned char* end) {
#if defined(__SSE2__)
    while (end - p >= 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const int mask = _mm_movemask_epi8(SpecialBytes(bytes));
        if (mask != 0)
            return p + __builtin_ctz(static_cast<unsigned>(mask));
        p += 16;
    }
#endif
    while (p < end && IsPlainJsonByte(*p))
        ++p;
    return p;
}

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

// Where a known field's value starts in the line; the last occurrence of a key counts.
enum Field : std::size_t {
    kButtonSet,
    kIcon,
    kDefButton,
    kCodeOption,
    kTitle,
    kPrompt,
    kVarName,
    kHelpFile,
    kHelpContext,
    kHelp,
    kSysModal,
    kSetForeground,
    kRightAlign,
    kRtlReading,
    kOptValOnly,
    kAddSelect,
    kNotEqual,
    kLabels,
    kFieldCount
};

constexpr std::array<std::string_view, kFieldCount> kFieldNames{
    "intButtonSet", "intIcon",          "intDefButton",  "intCodeOption",  "strTitle",
    "txtPrompt",    "txtVarName",       "txtHelpFile",   "txtHelpContext", "chkHelp",
    "chkSysModal",  "chkSetForeground", "chkRightAlign", "chkRtlReading",  "chkOptValOnly",
    "chkAddSelect", "chkNotEqual",      "labels"};

// The record's fields by kind, each in the order of its field numbers.
constexpr std::array<std::int16_t MsgBoxSettings::*, 4> kIndexFields{
    &MsgBoxSettings::intButtonSet, &MsgBoxSettings::intIcon, &MsgBoxSettings::intDefButton,
    &MsgBoxSettings::intCodeOption};
constexpr std::array<std::string MsgBoxSettings::*, 5> kTextFields{
    &MsgBoxSettings::strTitle, &MsgBoxSettings::txtPrompt, &MsgBoxSettings::txtVarName,
    &MsgBoxSettings::txtHelpFile, &MsgBoxSettings::txtHelpContext};
constexpr std::array<int MsgBoxSettings::*, 8> kCheckFields{
    &MsgBoxSettings::chkHelp,          &MsgBoxSettings::chkSysModal,
    &MsgBoxSettings::chkSetForeground, &MsgBoxSettings::chkRightAlign,
    &MsgBoxSettings::chkRtlReading,    &MsgBoxSettings::chkOptValOnly,
    &MsgBoxSettings::chkAddSelect,     &MsgBoxSettings::chkNotEqual};

// A JSON number as the record reads it: whole numbers keep their value, the rest is not a
// whole number.
struct Number {
    long long value = 0; // a whole number above the range of long long wraps, as a cast would
    bool whole = false;
};

class Parser {
public:
    explicit Parser(std::string_view line)
        : begin_(reinterpret_cast<const unsigned char*>(line.data())), at_(begin_),
          end_(begin_ + line.size()) {}

    // Reads the "code" member of the line's object into `code` instead of the record's
    // fields.
    void TakeCode(std::string* code) { code_ = code; }
    // Whether the last "code" member held a string.
    [[nodiscard]] bool CodeIsString() const { return codeIsString_; }

    // Checks the whole line, reading the known fields' values as they come; the last value
    // of a key counts.
    bool Line(MsgBoxSettings& s, bool& isObject) {
        // A byte order mark may open the text, as JSON parsers commonly allow.
        if (end_ - at_ >= 3 && at_[0] == 0xEF && at_[1] == 0xBB && at_[2] == 0xBF)
            at_ += 3;
        SkipBlanks();
        isObject = at_ < end_ && *at_ == '{';
        if (!(isObject ? Object(s) : Value()))
            return false;
        SkipBlanks();
        return at_ == end_ || Fail("text after the end of the value");
    }

    // What the line said of each known field it holds.
    struct Seen {
        Number number; // index and check fields
        bool rightType = false;
    };
    [[nodiscard]] const Seen& Field(std::size_t f) const { return seen_[f]; }
    // A bit for each known field the line holds, by the field's number.
    [[nodiscard]] std::uint32_t Present() const { return present_; }

    [[nodiscard]] const std::string& Error() const { return error_; }

    Number ReadNumber() {
        const unsigned char* from = at_;
        Number n;
        if (!NumberToken())
            return n;
        bool negative = *from == '-';
        std::uint64_t magnitude = 0;
        bool overflow = false;
        for (const unsigned char* p = from + (negative ? 1 : 0); p < at_; ++p) {
            if (*p < '0' || *p > '9')
                return n; // a fraction or an exponent
            const unsigned digit = *p - '0';
            if (magnitude > (UINT64_MAX - digit) / 10)
                overflow = true;
            magnitude = magnitude * 10 + digit;
        }
        if (overflow || (negative && magnitude > (std::uint64_t{1} << 63)))
            return n; // too large for a whole number: read as a fraction would be
        n.whole = true;
        n.value =
            negative ? static_cast<long long>(~magnitude + 1) : static_cast<long long>(magnitude);
        return n;
    }
    bool Literal(std::string_view word) {
        if (static_cast<std::size_t>(end_ - at_) < word.size() ||
            std::string_view(reinterpret_cast<const char*>(at_), word.size()) != word)
            return false;
        at_ += word.size();
        return true;
    }
    void SkipBlanks() {
        // Most records have no blanks between their tokens: one comparison says so.
        if (at_<end_&& * at_> ' ')
            return;
        while (at_ < end_ && (*at_ == ' ' || *at_ == '\t' || *at_ == '\n' || *at_ == '\r'))
            ++at_;
    }
    // Checks one value of any kind; nested values are followed with a stack of their own,
    // so that deep nesting cannot exhaust the call stack.
    bool Value() {
        std::vector<char> open; // '{' or '['
        for (;;) {
            SkipBlanks();
            if (at_ == end_)
                return Fail("the line ends inside a value");
            const unsigned char c = *at_;
            if (c == '{' || c == '[') {
                ++at_;
                SkipBlanks();
                if (at_ < end_ && *at_ == (c == '{' ? '}' : ']')) {
                    ++at_;
                } else {
                    open.push_back(static_cast<char>(c));
                    if (c == '{' && !Key())
                        return false;
                    continue;
                }
            } else if (c == '"') {
                if (!String(nullptr))
                    return false;
            } else if (c == '-' || (c >= '0' && c <= '9')) {
                if (!NumberToken())
                    return false;
            } else if (!Literal("true") && !Literal("false") && !Literal("null")) {
                return Fail("unexpected character");
            }
            // After a value: close containers or go on to the next element.
            for (;;) {
                if (open.empty())
                    return true;
                SkipBlanks();
                if (at_ == end_)
                    return Fail("the line ends inside an array or object");
                const char close = open.back() == '{' ? '}' : ']';
                if (*at_ == close) {
                    ++at_;
                    open.pop_back();
                    continue;
                }
                if (*at_ != ',')
                    return Fail("expected ',' or a closing bracket");
                ++at_;
                if (open.back() == '{' && !Key())
                    return false;
                break;
            }
        }
    }

private:
    bool Fail(const char* what) {
        if (error_.empty())
            error_ = std::string(what) + " at byte " + std::to_string(at_ - begin_ + 1);
        return false;
    }

    // A member's key and its colon, inside an object being checked.
    bool Key(std::string_view* name = nullptr) {
        if (!NextIs('"'))
            return Fail("expected a key in quotes");
        if (name != nullptr) {
            // Most keys hold no escapes: their bytes in the line are the name.
            const unsigned char* run = PlainRunEnd(at_ + 1, end_);
            if (run < end_ && *run == '"') {
                *name = std::string_view(reinterpret_cast<const char*>(at_ + 1),
                                         static_cast<std::size_t>(run - at_ - 1));
                at_ = run + 1;
            } else {
                key_.clear();
                if (!String(&key_))
                    return false;
                *name = key_;
            }
        } else if (!String(nullptr)) {
            return false;
        }
        if (!NextIs(':'))
            return Fail("expected ':' after a key");
        ++at_;
        return true;
    }

    // Whether the next token starts with `c`, blanks before it skipped: the byte is looked
    // at first, as most records have no blanks.
    bool NextIs(unsigned char c) {
        if (at_ < end_ && *at_ == c)
            return true;
        SkipBlanks();
        return at_ < end_ && *at_ == c;
    }

    // The top-level object.
    bool Object(MsgBoxSettings& s) {
        ++at_;
        SkipBlanks();
        if (at_ < end_ && *at_ == '}') {
            ++at_;
            return true;
        }
        for (;;) {
            std::string_view key;
            if (!Key(&key))
                return false;
            SkipBlanks();
            if (code_ != nullptr) {
                if (!CodeValue(key))
                    return false;
            } else if (const std::size_t f = FieldOf(key);
                       !(f < kFieldCount ? KnownValue(f, s) : Value())) {
                return false;
            }
            if (at_ < end_ && *at_ == ',') {
                ++at_;
                continue;
            }
            SkipBlanks();
            if (at_ == end_)
                return Fail("the line ends inside an object");
            if (*at_ == '}') {
                ++at_;
                return true;
            }
            if (*at_ != ',')
                return Fail("expected ',' or '}'");
            ++at_;
        }
    }

    static std::size_t FieldOf(std::string_view key) {
        // The known names, grouped by length: a key is compared with at most four of them.
        static constexpr auto kByLength = [] {
            std::array<std::array<std::uint8_t, 4>, 17> table{};
            for (auto& row : table)
                row.fill(kFieldCount);
            for (std::size_t f = 0; f < kFieldCount; ++f) {
                auto& row = table[kFieldNames[f].size()];
                std::size_t i = 0;
                while (row[i] != kFieldCount)
                    ++i;
                row[i] = static_cast<std::uint8_t>(f);
            }
            return table;
        }();
        if (key.size() >= kByLength.size())
            return kFieldCount;
        for (const std::uint8_t f : kByLength[key.size()]) {
            if (f == kFieldCount)
                break;
            if (SameName(key, kFieldNames[f]))
                return f;
        }
        return kFieldCount;
    }

    // Two names of the same length from 4 to 16 bytes compared as two words each, the first
    // bytes and the last ones (overlapping when shorter than two words): a few instructions
    // where a call to the library costs tens.
    static bool SameName(std::string_view key, std::string_view name) {
        const std::size_t n = name.size();
        auto words = [n](const char* p, auto word) {
            decltype(word) first;
            decltype(word) last;
            std::memcpy(&first, p, sizeof first);
            std::memcpy(&last, p + n - sizeof last, sizeof last);
            return std::pair{first, last};
        };
        if (n >= 8)
            return words(key.data(), std::uint64_t{}) == words(name.data(), std::uint64_t{});
        return words(key.data(), std::uint32_t{}) == words(name.data(), std::uint32_t{});
    }

    bool CodeValue(std::string_view key) {
        if (key != "code")
            return Value();
        codeIsString_ = at_ < end_ && *at_ == '"';
        if (!codeIsString_)
            return Value();
        code_->clear();
        return String(code_);
    }

    static std::string* TextTarget(std::size_t f, MsgBoxSettings& s) {
        return f >= kTitle && f <= kHelpContext ? &(s.*kTextFields[f - kTitle]) : nullptr;
    }

    // A known field's value, read as its field wants it when it is of the right kind, and
    // checked like any other value when not.
    bool KnownValue(std::size_t f, MsgBoxSettings& s) {
        Seen& seen = seen_[f];
        seen = Seen{};
        present_ |= std::uint32_t{1} << f;
        if (at_ == end_)
            return Value();
        const unsigned char c = *at_;
        const bool number = c == '-' || (c >= '0' && c <= '9');
        if (std::string* text = TextTarget(f, s)) {
            if (c != '"')
                return Value();
            seen.rightType = true;
            text->clear();
            return String(text);
        }
        if (f == kLabels)
            return LabelsValue(seen, s.labels);
        if (number) {
            seen.rightType = true;
            if (!ShortWholeNumber(seen.number))
                seen.number = ReadNumber();
            return error_.empty();
        }
        if (f >= kHelp) { // the check boxes take true and false too
            for (const auto& [word, value] : {std::pair{"true", 1}, std::pair{"false", 0}}) {
                if (Literal(word)) {
                    seen.rightType = true;
                    seen.number = Number{value, true};
                    return true;
                }
            }
        }
        return Value();
    }

    // Four strings in an array; anything else is checked as a value and is the wrong kind.
    bool LabelsValue(Seen& seen, std::array<std::string, 4>& labels) {
        const unsigned char* start = at_;
        if (*at_ != '[')
            return Value();
        ++at_;
        for (std::size_t i = 0; i < labels.size(); ++i) {
            SkipBlanks();
            if (i > 0) {
                if (at_ == end_ || *at_ != ',')
                    break;
                ++at_;
                SkipBlanks();
            }
            if (at_ == end_ || *at_ != '"')
                break;
            labels[i].clear();
            if (!String(&labels[i]))
                return false;
            if (i + 1 == labels.size()) {
                SkipBlanks();
                if (at_ < end_ && *at_ == ']') {
                    ++at_;
                    seen.rightType = true;
                    return true;
                }
            }
        }
        at_ = start;
        return Value();
    }

    // The common number of a record, a few digits with no fraction or exponent, read in one
    // pass; false, with nothing read, for anything else.
    bool ShortWholeNumber(Number& n) {
        const unsigned char* p = at_;
        const bool negative = *p == '-';
        p += negative ? 1 : 0;
        if (p == end_ || *p < '0' || *p > '9')
            return false;
        long long value = *p++ - '0';
        if (value != 0) {
            // Up to 18 digits fit without overflow.
            for (int digits = 1; p < end_ && *p >= '0' && *p <= '9'; ++digits, ++p) {
                if (digits == 18)
                    return false;
                value = value * 10 + (*p - '0');
            }
        }
        if (p < end_ && (*p == '.' || *p == 'e' || *p == 'E' || (*p >= '0' && *p <= '9')))
            return false;
        at_ = p;
        n = Number{negative ? -value : value, true};
        return true;
    }

    bool NumberToken() {
        const unsigned char* from = at_;
        auto digits = [this] {
            const unsigned char* from = at_;
            while (at_ < end_ && *at_ >= '0' && *at_ <= '9')
                ++at_;
            return at_ > from;
        };
        if (*at_ == '-')
            ++at_;
        if (at_ < end_ && *at_ == '0')
            ++at_;
        else if (!digits())
            return Fail("a number needs digits");
        if (at_ < end_ && *at_ == '.') {
            ++at_;
            if (!digits())
                return Fail("a fraction needs digits");
        }
        if (at_ < end_ && (*at_ == 'e' || *at_ == 'E')) {
            ++at_;
            if (at_ < end_ && (*at_ == '+' || *at_ == '-'))
                ++at_;
            if (!digits())
                return Fail("an exponent needs digits");
        }
        // A whole number of up to 18 digits always fits; anything else must be a finite
        // double, as JSON numbers are read everywhere else.
        const std::size_t length = static_cast<std::size_t>(at_ - from);
        bool whole = length <= 19;
        for (const unsigned char* p = from; whole && p < at_; ++p)
            whole = *p == '-' || (*p >= '0' && *p <= '9');
        if (!whole) {
            const std::string text(reinterpret_cast<const char*>(from), length);
            if (!std::isfinite(std::strtod(text.c_str(), nullptr)))
                return Fail("a number too large for a double");
        }
        return true;
    }

    int Hex4() {
        if (end_ - at_ < 4)
            return -1;
        int value = 0;
        for (int i = 0; i < 4; ++i) {
            const unsigned char c = *at_++;
            value <<= 4;
            if (c >= '0' && c <= '9')
                value |= c - '0';
            else if (c >= 'a' && c <= 'f')
                value |= c - 'a' + 10;
            else if (c >= 'A' && c <= 'F')
                value |= c - 'A' + 10;
            else
                return -1;
        }
        return value;
    }

    static char* WriteUtf8(char* write, unsigned code) {
        if (code < 0x80) {
            *write++ = static_cast<char>(code);
        } else if (code < 0x800) {
            *write++ = static_cast<char>(0xC0 | (code >> 6));
            *write++ = static_cast<char>(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            *write++ = static_cast<char>(0xE0 | (code >> 12));
            *write++ = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            *write++ = static_cast<char>(0x80 | (code & 0x3F));
        } else {
            *write++ = static_cast<char>(0xF0 | (code >> 18));
            *write++ = static_cast<char>(0x80 | ((code >> 12) & 0x3F));
            *write++ = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            *write++ = static_cast<char>(0x80 | (code & 0x3F));
        }
        return write;
    }

    // A string at the opening quote; its decoded text goes to `out` when given.
    bool String(std::string* out) {
        // Decoded into a block on the stack that goes to `out` when it fills and at the end:
        // one append for most strings, however many escapes they hold.
        constexpr std::size_t kBlockRoom = 480;
        // One step writes at most 16 plain bytes, or fewer and then one character.
        char block[kBlockRoom + 32];
        char* write = block;
        ++at_;
        for (;;) {
            if (write >= block + kBlockRoom) {
                if (out != nullptr)
                    out->append(block, static_cast<std::size_t>(write - block));
                write = block;
            }
#if defined(__SSE2__)
            if (end_ - at_ >= 16) {
                const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at_));
                _mm_storeu_si128(reinterpret_cast<__m128i*>(write), bytes);
                const int mask = _mm_movemask_epi8(SpecialBytes(bytes));
                if (mask == 0) {
                    at_ += 16;
                    write += 16;
                    continue;
                }
                const int plain = __builtin_ctz(static_cast<unsigned>(mask));
                at_ += plain;
                write += plain;
            } else
#endif
            {
                while (at_ < end_ && IsPlainJsonByte(*at_))
                    *write++ = static_cast<char>(*at_++);
                if (at_ == end_)
                    return Fail("the line ends inside a string");
            }
            const unsigned char c = *at_;
            if (c == '"') {
                ++at_;
                if (out != nullptr)
                    out->append(block, static_cast<std::size_t>(write - block));
                return true;
            }
            if (c < 0x20)
                return Fail("a control character must be escaped in a string");
            if (c >= 0x80) {
                std::size_t accepted = 0;
                const std::size_t length = Utf8Sequence(at_, end_, accepted);
                if (length == 0)
                    return Fail("ill-formed UTF-8 in a string");
                for (std::size_t i = 0; i < length; ++i)
                    *write++ = static_cast<char>(*at_++);
                continue;
            }
            // A backslash.
            if (++at_ == end_)
                return Fail("the line ends inside an escape");
            const unsigned char e = *at_++;
            switch (e) {
            case '"':
            case '\\':
            case '/':
                *write++ = static_cast<char>(e);
                break;
            case 'b':
                *write++ = '\b';
                break;
            case 'f':
                *write++ = '\f';
                break;
            case 'n':
                *write++ = '\n';
                break;
            case 'r':
                *write++ = '\r';
                break;
            case 't':
                *write++ = '\t';
                break;
            case 'u': {
                int code = Hex4();
                if (code < 0)
                    return Fail("\\u needs four hexadecimal digits");
                if (code >= 0xDC00 && code <= 0xDFFF)
                    return Fail("a low surrogate without a high one");
                if (code >= 0xD800 && code <= 0xDBFF) {
                    if (end_ - at_ < 2 || at_[0] != '\\' || at_[1] != 'u')
                        return Fail("a high surrogate without a low one");
                    at_ += 2;
                    const int low = Hex4();
                    if (low < 0xDC00 || low > 0xDFFF)
                        return Fail("a high surrogate without a low one");
                    code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
                }
                write = WriteUtf8(write, static_cast<unsigned>(code));
                break;
            }
            default:
                return Fail("unknown escape in a string");
            }
        }
    }

    const unsigned char* begin_;
    const unsigned char* at_;
    const unsigned char* end_;
    std::string error_;
    std::string key_;
    std::array<Seen, kFieldCount> seen_;
    std::uint32_t present_ = 0;
    std::string* code_ = nullptr;
    bool codeIsString_ = false;
};

} // namespace

std::string ReadSettingsRecord(std::string_view line, MsgBoxSettings& s) {
    Parser parser(line);
    bool isObject = false;
    if (!parser.Line(s, isObject))
        return "not valid JSON: " + parser.Error();
    if (!isObject)
        return "a line must hold one JSON object";
    // Only the fields the line holds, in the order they are checked (the order of their
    // numbers): the first wrong one is the one reported.
    static constexpr std::array<std::size_t, 4> kIndexSizes{
        kButtonSets.size(), kIcons.size(), kDefaultButtons.size(), kCodeShapes.size()};
    for (std::uint32_t present = parser.Present(); present != 0; present &= present - 1) {
        const auto f = static_cast<std::size_t>(std::countr_zero(present));
        const auto& seen = parser.Field(f);
        // Made only for a message: most lines need none.
        auto name = [f] { return std::string(kFieldNames[f]); };
        if (f <= kCodeOption) {
            if (!seen.rightType || !seen.number.whole)
                return name() + " must be a whole number";
            const long long value = seen.number.value;
            const std::size_t size = kIndexSizes[f];
            if (value < 0 || value >= static_cast<long long>(size))
                return name() + " " + std::to_string(value) + " is outside 0.." +
                       std::to_string(size - 1);
            s.*kIndexFields[f] = static_cast<std::int16_t>(value);
        } else if (f < kHelp) {
            if (!seen.rightType)
                return name() + " must be a string";
        } else if (f < kLabels) {
            if (!seen.rightType || !seen.number.whole)
                return name() + " must be 0 or 1";
            s.*kCheckFields[f - kHelp] = static_cast<int>(seen.number.value);
        } else if (!seen.rightType) {
            return "labels must be an array of 4 strings";
        }
    }
    return {};
}

std::string ReadCodeRecord(std::string_view line, std::string& code) {
    Parser parser(line);
    parser.TakeCode(&code);
    MsgBoxSettings unused;
    bool isObject = false;
    if (!parser.Line(unused, isObject))
        return "not valid JSON: " + parser.Error();
    if (!isObject)
        return "a line must hold one JSON object";
    if (!parser.CodeIsString())
        return "code must be a string";
    return {};
}

void AppendSettingsRecord(std::string& out, const MsgBoxSettings& s) {
    static const MsgBoxSettings kLoaded;
    JsonWriter writer(out);
    bool first = true;
    auto key = [&](std::size_t f) {
        writer.Raw(first ? "{\"" : ",\"");
        first = false;
        writer.Raw(kFieldNames[f]);
        writer.Raw("\":");
    };
    auto number = [&](std::size_t f, long long value, long long loaded) {
        if (value == loaded)
            return;
        key(f);
        writer.Raw(std::to_string(value));
    };
    for (std::size_t f = 0; f < kIndexFields.size(); ++f)
        number(kButtonSet + f, s.*kIndexFields[f], kLoaded.*kIndexFields[f]);
    for (std::size_t f = 0; f < kTextFields.size(); ++f) {
        if (s.*kTextFields[f] != kLoaded.*kTextFields[f]) {
            key(kTitle + f);
            writer.String(s.*kTextFields[f]);
        }
    }
    for (std::size_t f = 0; f < kCheckFields.size(); ++f)
        number(kHelp + f, s.*kCheckFields[f], kLoaded.*kCheckFields[f]);
    if (s.labels != kLoaded.labels) {
        key(kLabels);
        for (std::size_t i = 0; i < s.labels.size(); ++i) {
            writer.Raw(i == 0 ? "[" : ",");
            writer.String(s.labels[i]);
        }
        writer.Raw("]");
    }
    writer.Raw(first ? "{}" : "}");
}

void AppendJsonString(std::string& out, std::string_view text) {
    JsonWriter writer(out);
    writer.String(text);
}

void JsonWriter::Flush() {
    out_.append(block_, static_cast<std::size_t>(write_ - block_));
    write_ = block_;
}

void JsonWriter::RawLong(std::string_view text) {
    Flush();
    if (text.size() > kRoom) {
        out_.append(text);
        return;
    }
    std::memcpy(write_, text.data(), text.size());
    write_ += text.size();
}

void JsonWriter::String(std::string_view text) {
    Raw("\"");
    Chars(text);
    Raw("\"");
}

void JsonWriter::Chars(std::string_view text) {
    char* write = write_;
    const auto* at = reinterpret_cast<const unsigned char*>(text.data());
    const auto* end = at + text.size();
    auto room = [&] {
        if (write >= block_ + kRoom) {
            write_ = write;
            Flush();
            write = write_;
        }
    };
    while (at < end) {
        room();
#if defined(__SSE2__)
        if (end - at >= 16) {
            // The sixteen bytes are stored whatever they hold; only those before the first
            // one that needs care are kept.
            const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(write), bytes);
            const int mask = _mm_movemask_epi8(SpecialBytes(bytes));
            if (mask == 0) {
                at += 16;
                write += 16;
                continue;
            }
            const int plain = __builtin_ctz(static_cast<unsigned>(mask));
            at += plain;
            write += plain;
        } else
#endif
        {
            while (at < end && IsPlainJsonByte(*at))
                *write++ = static_cast<char>(*at++);
            if (at == end)
                break;
        }
        // Bytes that need care come in runs in code: doubled quotes, and the line breaks and
        // tabs between its lines. A run is written here without going back to the plain
        // steps, its commonest escapes as the table has them.
        do {
            if (const char escape = kEscape[*at]; escape != 1) {
                write[0] = '\\';
                write[1] = escape;
                write += 2;
                ++at;
            } else {
                write = WriteSpecial(write, at, end);
            }
        } while (at < end && kEscape[*at] != 0 && write < block_ + kRoom);
    }
    write_ = write;
}

} // namespace qvn::cli
