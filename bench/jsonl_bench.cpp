// Throughput of qvn-compose --jsonl's engine on records like the ones scripts send (about 360
// bytes each, made by jsonl_rate.py), and its ratio to Python's json.loads parsing the same
// lines, measured in the same run. Targets: 1,000,000 records/s on one core, 5 times
// json.loads. The figures are printed for a person to read; nothing asserts them.
#include "cli/jsonl.h"

#include <benchmark/benchmark.h>

#include <chrono>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <streambuf>
#include <string>

namespace {

std::string gLines;
std::size_t gRecords = 0;
double gRecordsPerSecond = 0;

// Output that goes nowhere, as to /dev/null, without the cost of a stream that stores it.
class NullBuffer : public std::streambuf {
protected:
    std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
    int overflow(int c) override { return c; }
};

// Input read straight from the records in memory, as from a file, without copying them.
class ViewBuffer : public std::streambuf {
public:
    explicit ViewBuffer(std::string& text) {
        setg(text.data(), text.data(), text.data() + text.size());
    }
};

void BM_JsonLines(benchmark::State& state) {
    if (gRecords == 0) {
        state.SkipWithError("no records: python3 could not make them");
        return;
    }
    NullBuffer sink;
    std::ostream out(&sink);
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        ViewBuffer records(gLines);
        std::istream in(&records);
        benchmark::DoNotOptimize(qvn::cli::RunJsonLines(in, out));
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const auto records = static_cast<double>(state.iterations()) * static_cast<double>(gRecords);
    state.counters["records/s"] = benchmark::Counter(records, benchmark::Counter::kIsRate);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(gLines.size()));
    gRecordsPerSecond = seconds > 0 ? records / seconds : 0;
}
BENCHMARK(BM_JsonLines)->Unit(benchmark::kMillisecond)->MinTime(2.0);

std::string Run(const std::string& command) {
    std::string output;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[512];
        for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
            output.append(buffer, n);
        pclose(pipe);
    }
    return output;
}

} // namespace

namespace qvn::bench {

void PrepareJsonLines(const std::string& file) {
    Run("python3 '" QVN_JSONL_RATE_SCRIPT "' --write --records 100000 '" + file + "'");
    std::ifstream in(file, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    gLines = all.str();
    gRecords = 0;
    for (char c : gLines)
        gRecords += c == '\n';
}

void ReportJsonLines(const std::string& file) {
    if (gRecordsPerSecond <= 0)
        return;
    const std::string python = Run("python3 '" QVN_JSONL_RATE_SCRIPT "' '" + file + "'");
    double loads = 0;
    if (const auto at = python.find("json.loads: "); at != std::string::npos)
        loads = std::stod(python.substr(at + 12));
    std::printf("JSON Lines: %.0f records/s (target 1000000); json.loads on the same lines: "
                "%.0f records/s; ratio %.1f (target 5)\n",
                gRecordsPerSecond, loads, loads > 0 ? gRecordsPerSecond / loads : 0.0);
}

} // namespace qvn::bench
