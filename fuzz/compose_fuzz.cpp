// Fuzzes the Copy pipeline. Prompt, title and help file are arbitrary bytes; the variable
// name, help context and labels are drawn from what the window lets a person enter, since
// those are written into the code as typed. Whatever the input, the code must keep its shape
// and stay within the language's limits on a statement, or be refused as too long.
#include "composition/msgbox_settings.h"
#include "composition/option_tables.h"
#include "composition/statement_lines.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

void Check(bool ok, const char* what, const qvn::MsgBoxSettings& s) {
    if (ok)
        return;
    std::fprintf(stderr, "invariant broken: %s\ncode:\n%s\n", what, s.strMsgBoxCode.c_str());
    std::abort();
}

std::string Identifier(FuzzedDataProvider& in) {
    static constexpr std::string_view kFirst =
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";
    static constexpr std::string_view kRest =
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_";
    std::string name(1, kFirst[in.ConsumeIntegralInRange<std::size_t>(0, kFirst.size() - 1)]);
    const auto length = in.ConsumeIntegralInRange<std::size_t>(0, 12);
    for (std::size_t i = 0; i < length; ++i)
        name += kRest[in.ConsumeIntegralInRange<std::size_t>(0, kRest.size() - 1)];
    return name;
}

std::string Digits(FuzzedDataProvider& in) {
    return std::to_string(in.ConsumeIntegralInRange<unsigned>(0, 99999));
}

std::string Label(FuzzedDataProvider& in) {
    static constexpr std::array<std::string_view, 9> kNames{
        "", "OK", "Cancel", "Abort", "Retry", "Ignore", "Yes", "No", "Help"};
    return std::string(kNames[in.ConsumeIntegralInRange<std::size_t>(0, kNames.size() - 1)]);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    qvn::MsgBoxSettings s;
    s.intButtonSet = in.ConsumeIntegralInRange<std::int16_t>(0, qvn::kButtonSets.size() - 1);
    s.intIcon = in.ConsumeIntegralInRange<std::int16_t>(0, qvn::kIcons.size() - 1);
    s.intDefButton = in.ConsumeIntegralInRange<std::int16_t>(0, qvn::kDefaultButtons.size() - 1);
    s.intCodeOption = in.ConsumeIntegralInRange<std::int16_t>(0, qvn::kCodeShapes.size() - 1);
    for (int* check : {&s.chkHelp, &s.chkSysModal, &s.chkSetForeground, &s.chkRightAlign,
                       &s.chkRtlReading, &s.chkOptValOnly, &s.chkAddSelect, &s.chkNotEqual})
        *check = in.ConsumeIntegralInRange<int>(0, 1);
    for (auto& label : s.labels)
        label = Label(in);
    s.txtVarName = Identifier(in);
    s.txtHelpContext = Digits(in);
    s.strTitle = in.ConsumeRandomLengthString(256);
    s.txtHelpFile = in.ConsumeRandomLengthString(64);
    s.txtPrompt = in.ConsumeRemainingBytesAsString();

    s.EncodePromptText();
    s.BuildButtonsExpression();
    s.BuildMsgBoxCode();

    std::int32_t sum = qvn::kButtonSets[s.intButtonSet].value + qvn::kIcons[s.intIcon].value +
                       qvn::kDefaultButtons[s.intDefButton].value;
    for (std::size_t f = 0; f < qvn::kFlags.size(); ++f)
        if (s.FlagValue(static_cast<int>(f)) == 1)
            sum += qvn::kFlags[f].value;
    Check(s.lngButtonsValue == sum, "the value is the sum of the parts", s);

    const std::string& code = s.strMsgBoxCode;
    if (s.blnCodeTooLong) {
        Check(code.empty(), "code too long for the language is not written", s);
        return 0;
    }
    std::size_t lineStart = 0;
    bool continued = false; // the line before ended with " _"
    int continuations = 0;
    while (lineStart <= code.size()) {
        std::size_t lineEnd = code.find('\r', lineStart);
        const bool last = lineEnd == std::string::npos;
        if (last)
            lineEnd = code.size();
        const std::string_view line(code.data() + lineStart, lineEnd - lineStart);
        std::size_t quotes = 0;
        for (char c : line) {
            quotes += c == '"';
            Check(c != '\n', "every line feed follows a carriage return", s);
        }
        Check(quotes % 2 == 0, "every literal closes on its line", s);
        Check(line.size() <= qvn::kMaxLineBytes, "no line is longer than the language allows", s);
        if (!line.empty() && line.front() == '\t')
            Check(continued || line.starts_with("\tCase vb"),
                  "only Case lines and continuations are indented", s);
        continued = line.ends_with(" _");
        continuations += continued ? 1 : 0;
        Check(continuations <= qvn::kMaxLineContinuations,
              "no statement is continued more often than the language allows", s);
        if (last)
            break;
        Check(lineEnd + 1 < code.size() && code[lineEnd + 1] == '\n',
              "every carriage return starts a CR LF pair", s);
        lineStart = lineEnd + 2;
    }
    return 0;
}
