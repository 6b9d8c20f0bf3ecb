// Fuzzes the JSON Lines reader of qvn-compose: arbitrary bytes in, one result line out per
// input line, each a JSON object, and a line is refused as invalid JSON exactly when
// nlohmann's parser (the reader used before) refuses it too; a line gives the same result in
// a run as alone. The same bytes read as lines of code records give one JSON object per line
// too.
#include "cli/jsonl.h"

#include <nlohmann/json.hpp>

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace {

void Check(bool ok, const char* what, std::string_view line) {
    if (ok)
        return;
    std::fprintf(stderr, "invariant broken: %s\nline: %.*s\n", what, static_cast<int>(line.size()),
                 line.data());
    std::abort();
}

std::vector<std::string_view> Lines(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const std::size_t lf = text.find('\n');
        lines.push_back(text.substr(0, lf));
        if (lf == std::string_view::npos)
            break;
        text.remove_prefix(lf + 1);
    }
    return lines;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    std::istringstream in(input);
    std::ostringstream out;
    qvn::cli::RunJsonLines(in, out);
    const std::string output = out.str();
    Check(output.empty() || output.back() == '\n', "the output ends with a line feed", output);

    const auto inputs = Lines(input);
    const auto results = Lines(output);
    Check(inputs.size() == results.size(), "one result line per input line", input);
    for (std::size_t i = 0; i < results.size() && i < inputs.size(); ++i) {
        const std::string_view result = results[i];
        Check(result.starts_with('{') && result.ends_with('}'), "each result is an object", result);
        Check(nlohmann::json::accept(result), "each result is valid JSON", result);
        std::string_view line = inputs[i];
        if (line.ends_with('\r'))
            line.remove_suffix(1);
        // In the run a line is parsed where it lies, the next lines' bytes after it; alone it is
        // parsed from a copy. What follows a line never changes its result.
        bool failed = false;
        Check(qvn::cli::ComposeJsonLine(line, failed) == result,
              "a line gives the same result in a run as alone", line);
        // The old reader stopped at a NUL byte; everywhere else the two agree.
        if (line.find('\0') != std::string_view::npos)
            continue;
        const bool refused = result.starts_with(R"({"error":"not valid JSON)");
        Check(refused == !nlohmann::json::accept(line), "invalid exactly when nlohmann says so",
              line);
    }

    // The reading mode: one JSON object per input line as well, a record or an error.
    std::istringstream readIn(input);
    std::ostringstream readOut;
    qvn::cli::RunReadJsonLines(readIn, readOut);
    const std::string readOutput = readOut.str();
    const auto records = Lines(readOutput);
    Check(records.size() == inputs.size(), "--read --jsonl: one result line per input line", input);
    for (const std::string_view record : records)
        Check(nlohmann::json::accept(record) && record.starts_with('{'),
              "--read --jsonl: each result is a JSON object", record);
    return 0;
}
