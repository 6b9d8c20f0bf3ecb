// Speed of the Copy pipeline (encode, buttons, code) on the documented examples and on large
// prompts. Targets: under 500 ns per example; 1 MiB under 5 ms; time per byte at 1 MiB within
// 1.5 times that at 64 KiB. The figures are printed for a person to read; nothing asserts them.
#include "composition/msgbox_settings.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <functional>
#include <string>

namespace {

using qvn::MsgBoxSettings;

void Copy(MsgBoxSettings& s) {
    s.EncodePromptText();
    s.BuildButtonsExpression();
    s.BuildMsgBoxCode();
}

MsgBoxSettings Example(int which) {
    MsgBoxSettings s;
    switch (which) {
    case 1:
        s.txtPrompt = "Save changes?";
        s.intButtonSet = 3;
        s.intIcon = 2;
        s.strTitle = "Editor";
        break;
    case 2:
        s.intCodeOption = 1;
        s.chkAddSelect = 1;
        s.txtVarName = "response";
        s.txtPrompt = "File not found.\r\nTry again?";
        s.intButtonSet = 5;
        s.intIcon = 1;
        s.labels = qvn::DefaultButtonLabels(5, false);
        break;
    case 3:
        s.intCodeOption = 2;
        s.chkNotEqual = 1;
        s.chkHelp = 1;
        s.intButtonSet = 4;
        s.labels = qvn::DefaultButtonLabels(4, true);
        s.intDefButton = 1;
        s.txtPrompt = "Quit now?";
        s.strTitle = "Confirm";
        s.txtHelpFile = "app.hlp";
        s.txtHelpContext = "100";
        break;
    case 4:
        s.chkOptValOnly = 1;
        s.txtPrompt = "Done";
        s.intButtonSet = 1;
        s.intIcon = 4;
        s.strTitle = "Status";
        break;
    default:
        s.txtPrompt = "Done";
        s.strTitle = "Status";
        break;
    }
    return s;
}

void BM_WorkedExample(benchmark::State& state) {
    MsgBoxSettings s = Example(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        Copy(s);
        benchmark::DoNotOptimize(s.strMsgBoxCode.data());
    }
}
BENCHMARK(BM_WorkedExample)->DenseRange(1, 5);

// A prompt of `bytes` bytes in lines of about 60 characters.
std::string LargePrompt(std::size_t bytes) {
    const std::string line = "The quick brown fox jumps over the lazy dog, then \"rests\" a";
    std::string text;
    text.reserve(bytes + line.size());
    while (text.size() < bytes)
        text += line + "\r\n";
    text.resize(bytes);
    return text;
}

void BM_LargePrompt(benchmark::State& state) {
    MsgBoxSettings s;
    s.txtPrompt = LargePrompt(static_cast<std::size_t>(state.range(0)));
    s.BuildButtonsExpression();
    for (auto _ : state) {
        s.EncodePromptText();
        s.BuildMsgBoxCode();
        benchmark::DoNotOptimize(s.strMsgBoxCode.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_LargePrompt)->Arg(1 << 10)->Arg(64 << 10)->Arg(1 << 20)->Unit(benchmark::kMicrosecond);

} // namespace

namespace qvn::bench {
// Both take the stem of the files the mixes of records are written to.
void PrepareJsonLines(const std::string& stem);
void ReportJsonLines(const std::string& stem);
} // namespace qvn::bench

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    const std::string records = "/tmp/qvn-bench-records";
    qvn::bench::PrepareJsonLines(records);
    benchmark::RunSpecifiedBenchmarks();
    qvn::bench::ReportJsonLines(records);
    benchmark::Shutdown();
    return 0;
}
