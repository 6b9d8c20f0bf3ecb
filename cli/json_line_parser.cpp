#include "cli/json_line_parser.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <string>

namespace qvn::cli {
namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// A whole number that fits neither 64-bit type: JSON allows it, and readers take it as a
// double, but simdjson refuses it.
bool IsWideWholeNumber(std::string_view token) {
    const char* end = token.data() + token.size();
    if (!std::all_of(token.begin() + (token.starts_with('-') ? 1 : 0), token.end(), IsDigit))
        return false;
    std::from_chars_result read;
    if (token.starts_with('-')) {
        std::int64_t value = 0;
        read = std::from_chars(token.data(), end, value);
    } else {
        std::uint64_t value = 0;
        read = std::from_chars(token.data(), end, value);
    }
    return read.ec == std::errc::result_out_of_range;
}

// Copies `line` to `out` with an exponent after every wide whole number outside the strings,
// so that simdjson reads each as the double it is. The tokens keep their bounds, and a
// number's validity does not change, so the copy is JSON exactly when the line is. False when
// there is no such number.
bool WidenWholeNumbers(std::string_view line, std::string& out) {
    out.clear();
    bool widened = false;
    bool inString = false;
    for (std::size_t i = 0; i < line.size();) {
        const char c = line[i];
        std::size_t end = i + 1;
        if (inString) {
            if (c == '\\')
                end = std::min(i + 2, line.size());
            else if (c == '"')
                inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '-' || IsDigit(c)) {
            const auto isNumberByte = [](char b) {
                return IsDigit(b) || b == '-' || b == '+' || b == '.' || b == 'e' || b == 'E';
            };
            while (end < line.size() && isNumberByte(line[end]))
                ++end;
            if (IsWideWholeNumber(line.substr(i, end - i))) {
                out.append(line.substr(i, end - i)).append("e0");
                widened = true;
                i = end;
                continue;
            }
        }
        out.append(line.substr(i, end - i));
        i = end;
    }
    return widened;
}

} // namespace

simdjson::error_code ParseJsonLine(std::string_view line, simdjson::dom::element& root,
                                   bool padded) {
    // Its buffers grow to the longest line and are kept for the lines after it.
    thread_local simdjson::dom::parser parser;
    thread_local std::string widened;
    if (line.starts_with("\xEF\xBB\xBF"))
        line.remove_prefix(3);
    // Other readers have no limit of depth. A line cannot nest deeper than it has bytes, so a
    // long line gets a limit of its own length, and short ones keep the default.
    if (line.size() >= parser.max_depth()) {
        const std::size_t capacity = std::max(parser.capacity(), line.size());
        if (const auto error = parser.allocate(capacity, line.size() + 1))
            return error;
    }
    // Without the padding the parser copies the line into a padded buffer of its own.
    auto error = parser.parse(line.data(), line.size(), !padded).get(root);
    if (error == simdjson::NUMBER_ERROR && WidenWholeNumbers(line, widened))
        error = parser.parse(widened).get(root);
    return error;
}

} // namespace qvn::cli

namespace qvn::cli {

std::size_t ParseJsonLines(std::string_view lines, const ParsedLineVisitor& visit) {
    // A parser of its own: ParseJsonLine may run between two lines of the stream, and a parse
    // would end the stream's document.
    thread_local simdjson::dom::parser parser;
    // One batch for the whole block, so that no document is cut at a batch's end; the stream
    // then needs no thread to read ahead.
    simdjson::dom::document_stream stream;
    if (parser.parse_many(lines.data(), lines.size(), lines.size() + 1).get(stream))
        return 0;
    std::size_t start = 0; // of the next line
    for (auto it = stream.begin(); it != stream.end() && start < lines.size(); ++it) {
        simdjson::dom::element root;
        // Anything but an object starting the line is left to the line parser: an error, a
        // byte order mark, blanks or an empty line, and documents that are not objects (the
        // stream's end of those is not where a line's is).
        if ((*it).get(root) != simdjson::SUCCESS || it.current_index() != start ||
            lines[start] != '{')
            return start;
        // The stream puts no document boundary at a line feed: the object must end right
        // before one (or before CR LF), and hold none.
        const std::string_view text = it.source();
        std::size_t next = start + text.size();
        if (next < lines.size() && lines[next] == '\r')
            ++next;
        if (next >= lines.size() || lines[next] != '\n' ||
            std::memchr(text.data(), '\n', text.size()) != nullptr)
            return start;
        visit(text, root);
        start = next + 1;
    }
    return start;
}

} // namespace qvn::cli
