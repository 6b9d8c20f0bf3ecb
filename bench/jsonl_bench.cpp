// Throughput of qvn-compose --jsonl's engine on two mixes of records made by jsonl_rate.py:
// the template mix (one shape of record, a few numbers changed) and the varied mix (every
// field and option drawn from a fixed seed, prompts of many lines, non-ASCII text, escapes,
// both styles of separator). Each is set beside Python's json.loads parsing the same lines,
// measured in the same run; each side's figure is the best of five, in processor time, so
// that other work on a shared machine counts as little as it can. Target: 5 times json.loads on
// the varied mix. The stages of a varied record (read, read and compose, all three with the write)
// are timed apart, so that where the time goes can be read off. The figures are printed for a
// person to read; nothing asserts them.
#include "cli/json_record.h"
#include "cli/jsonl.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <sstream>
#include <streambuf>
#include <string>
#include <string_view>
#include <vector>

namespace {

struct Mix {
    const char* name;
    std::string lines;
    std::string padded;
    std::vector<std::string_view> split; // the lines without their line feeds, in `padded`
    double recordsPerSecond = 0;
};

std::array<Mix, 2> gMixes{Mix{"template", {}, {}, {}}, Mix{"varied", {}, {}, {}}};

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

bool HaveRecords(benchmark::State& state, const Mix& mix) {
    if (!mix.split.empty())
        return true;
    state.SkipWithError("no records: python3 could not make them");
    return false;
}

void CountRecords(benchmark::State& state, const Mix& mix) {
    const auto records =
        static_cast<double>(state.iterations()) * static_cast<double>(mix.split.size());
    state.counters["records/s"] = benchmark::Counter(records, benchmark::Counter::kIsRate);
    state.counters["ns/record"] =
        benchmark::Counter(records, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// A whole run, as qvn-compose --jsonl does it: lines read from a stream, results written.
void BM_JsonLines(benchmark::State& state) {
    Mix& mix = gMixes[static_cast<std::size_t>(state.range(0))];
    if (!HaveRecords(state, mix))
        return;
    state.SetLabel(mix.name);
    NullBuffer sink;
    std::ostream out(&sink);
    const std::clock_t start = std::clock();
    for (auto _ : state) {
        ViewBuffer records(mix.lines);
        std::istream in(&records);
        benchmark::DoNotOptimize(qvn::cli::RunJsonLines(in, out));
    }
    const double seconds = static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
    CountRecords(state, mix);
    // The best of the repetitions in processor time, as json.loads is given the best of its
    // passes: other work on the machine only ever slows a run down.
    if (seconds > 0)
        mix.recordsPerSecond =
            std::max(mix.recordsPerSecond, static_cast<double>(state.iterations()) *
                                               static_cast<double>(mix.split.size()) / seconds);
}
BENCHMARK(BM_JsonLines)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(1.0)
    ->Repetitions(5);

// The first stage alone: each line read into a settings record.
void BM_StageRead(benchmark::State& state) {
    const Mix& mix = gMixes[1];
    if (!HaveRecords(state, mix))
        return;
    qvn::MsgBoxSettings s;
    for (auto _ : state) {
        for (const std::string_view line : mix.split)
            benchmark::DoNotOptimize(qvn::cli::ReadSettingsRecord(line, s, true));
    }
    CountRecords(state, mix);
}
BENCHMARK(BM_StageRead)->Unit(benchmark::kMillisecond)->MinTime(1.0);

// Read and compose, without writing the result.
void BM_StageReadCompose(benchmark::State& state) {
    const Mix& mix = gMixes[1];
    if (!HaveRecords(state, mix))
        return;
    // Put back to its load values for each line, as the run does, keeping its buffers.
    const qvn::MsgBoxSettings loaded;
    qvn::MsgBoxSettings s;
    for (auto _ : state) {
        for (const std::string_view line : mix.split) {
            s = loaded;
            if (qvn::cli::ReadSettingsRecord(line, s, true).empty()) {
                s.EncodePromptText();
                s.BuildButtonsExpression();
                s.BuildMsgBoxCode();
            }
            benchmark::DoNotOptimize(s.strMsgBoxCode.data());
        }
    }
    CountRecords(state, mix);
}
BENCHMARK(BM_StageReadCompose)->Unit(benchmark::kMillisecond)->MinTime(1.0);

// All three stages line by line, as the run does them but without the stream.
void BM_StageAll(benchmark::State& state) {
    const Mix& mix = gMixes[1];
    if (!HaveRecords(state, mix))
        return;
    std::string out;
    for (auto _ : state) {
        for (const std::string_view line : mix.split) {
            out.clear();
            bool failed = false;
            qvn::cli::AppendComposedJsonLine(line, out, failed);
            benchmark::DoNotOptimize(out.data());
        }
    }
    CountRecords(state, mix);
}
BENCHMARK(BM_StageAll)->Unit(benchmark::kMillisecond)->MinTime(1.0);

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

std::string FileOf(const std::string& stem, const Mix& mix) {
    return stem + "-" + mix.name + ".jsonl";
}

} // namespace

namespace qvn::bench {

void PrepareJsonLines(const std::string& stem) {
    for (Mix& mix : gMixes) {
        const std::string file = FileOf(stem, mix);
        Run("python3 '" QVN_JSONL_RATE_SCRIPT "' --write --records 100000 --mix " +
            std::string(mix.name) + " '" + file + "'");
        std::ifstream in(file, std::ios::binary);
        std::ostringstream all;
        all << in.rdbuf();
        mix.lines = all.str();
        // The lines read one by one have the padding after them that the run gives them.
        mix.padded = mix.lines + std::string(qvn::cli::kLinePadding, ' ');
        mix.split.clear();
        std::string_view rest = std::string_view(mix.padded).substr(0, mix.lines.size());
        for (std::size_t lf; (lf = rest.find('\n')) != std::string_view::npos;) {
            mix.split.push_back(rest.substr(0, lf));
            rest.remove_prefix(lf + 1);
        }
    }
}

void ReportJsonLines(const std::string& stem) {
    for (const Mix& mix : gMixes) {
        const std::string file = FileOf(stem, mix);
        if (mix.recordsPerSecond > 0) {
            const std::string python =
                Run("python3 '" QVN_JSONL_RATE_SCRIPT "' --repeat 5 '" + file + "'");
            double loads = 0;
            if (const auto at = python.find("json.loads: "); at != std::string::npos)
                loads = std::stod(python.substr(at + 12));
            std::printf("JSON Lines, %s mix: %.0f records/s; json.loads on the same lines: "
                        "%.0f records/s; ratio %.1f (target 5 on the varied mix)\n",
                        mix.name, mix.recordsPerSecond, loads,
                        loads > 0 ? mix.recordsPerSecond / loads : 0.0);
        }
        std::remove(file.c_str());
    }
}

} // namespace qvn::bench
