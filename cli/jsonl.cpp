#include "cli/jsonl.h"

#include "cli/compose_request.h"
#include "cli/json_record.h"
#include "cli/json_writer.h"
#include "composition/msgbox_reader.h"

#include <algorithm>
#include <charconv>
#include <istream>
#include <ostream>

namespace qvn::cli {
namespace {

// Output is written in blocks of this size, and input read in blocks that grow to it from a
// small first one (a short input costs little); a longer line makes the input buffer grow to
// hold it.
constexpr std::size_t kBlock = 1 << 20;
constexpr std::size_t kFirstBlock = 1 << 14;

// --jsonl has always written its errors without a blank after the colon; the reading mode
// writes them as its users were shown them, {"error": "..."}.
void AppendError(OutputBuffer& out, std::string_view message,
                 std::string_view opening = "{\"error\":") {
    out.Append(opening);
    AppendJsonString(out, message);
    out.Push('}');
}

// Puts back the load values of everything a line can set, keeping the buffers the texts grew.
// The derived fields are rebuilt by the generators and the fixed pieces are never changed, so
// neither needs copying.
void ResetChoices(MsgBoxSettings& s) {
    static const MsgBoxSettings kLoaded;
    // Most texts load empty, and clearing is far cheaper than a copy; a label is put back only
    // when a line changed it.
    const auto reset = [](std::string& text, const std::string& loaded) {
        if (loaded.empty())
            text.clear();
        else if (text != loaded)
            text = loaded;
    };
    reset(s.strTitle, kLoaded.strTitle);
    s.intButtonSet = kLoaded.intButtonSet;
    s.intIcon = kLoaded.intIcon;
    s.intDefButton = kLoaded.intDefButton;
    s.intCodeOption = kLoaded.intCodeOption;
    reset(s.txtPrompt, kLoaded.txtPrompt);
    reset(s.txtVarName, kLoaded.txtVarName);
    reset(s.txtHelpFile, kLoaded.txtHelpFile);
    reset(s.txtHelpContext, kLoaded.txtHelpContext);
    s.chkHelp = kLoaded.chkHelp;
    s.chkSysModal = kLoaded.chkSysModal;
    s.chkSetForeground = kLoaded.chkSetForeground;
    s.chkRightAlign = kLoaded.chkRightAlign;
    s.chkRtlReading = kLoaded.chkRtlReading;
    s.chkOptValOnly = kLoaded.chkOptValOnly;
    s.chkAddSelect = kLoaded.chkAddSelect;
    s.chkNotEqual = kLoaded.chkNotEqual;
    for (std::size_t i = 0; i < s.labels.size(); ++i)
        reset(s.labels[i], kLoaded.labels[i]);
}

// Where the code holds the prompt's expression as it stands, when the bytes before both ends
// of it are ASCII, so that no UTF-8 sequence spans them and the JSON of the code is that of
// its three parts; else npos.
std::size_t PromptInCode(const MsgBoxSettings& s) {
    const std::size_t at = s.promptExprAt;
    const std::string& expr = s.strPromptExpr;
    auto ascii = [](char c) { return static_cast<unsigned char>(c) < 0x80; };
    if (at == std::string::npos || at == 0 || expr.empty() || !ascii(s.strMsgBoxCode[at - 1]) ||
        !ascii(expr.back()))
        return std::string::npos;
    return at;
}

// AppendComposedJsonLine as RunLines calls it.
void ComposeLine(std::string_view line, const simdjson::dom::element* root, OutputBuffer& out,
                 bool& failed) {
    thread_local MsgBoxSettings s;
    ResetChoices(s);
    std::string error =
        root != nullptr ? ReadSettingsRecord(*root, s) : ReadSettingsRecord(line, s, true);
    if (error.empty()) {
        // Compose's steps without the copy of the code it returns.
        s.EncodePromptText();
        s.BuildButtonsExpression();
        s.BuildMsgBoxCode();
        if (s.blnCodeTooLong)
            error = kCodeTooLong;
    }
    failed = !error.empty();
    if (failed) {
        AppendError(out, error);
        return;
    }
    // Every text of a record was read by the parser, which refuses ill-formed UTF-8, and the
    // generators cut texts only between characters, so the results are well-formed: their
    // non-ASCII characters are copied as they are.
    JsonWriter writer(out);
    writer.Raw("{\"strPromptExpr\":\"");
    // The prompt's expression is escaped once, for its own field and for the code that holds
    // it, as nearly every code does: it is the longest part of both.
    const std::size_t promptStart = writer.Position();
    writer.WellFormedChars(s.strPromptExpr);
    const std::size_t promptEnd = writer.Position();
    writer.Raw("\",\"strButtonsExpr\":");
    writer.String(s.strButtonsExpr);
    char value[16];
    const auto written = std::to_chars(value, value + sizeof value, s.lngButtonsValue).ptr;
    writer.Raw(",\"lngButtonsValue\":");
    writer.Raw(std::string_view(value, static_cast<std::size_t>(written - value)));
    writer.Raw(",\"strMsgBoxCode\":\"");
    const std::string_view code = s.strMsgBoxCode;
    if (const std::size_t at = PromptInCode(s); at != std::string::npos) {
        writer.WellFormedChars(code.substr(0, at));
        writer.Repeat(promptStart, promptEnd);
        writer.WellFormedChars(code.substr(at + s.strPromptExpr.size()));
    } else {
        writer.WellFormedChars(code);
    }
    writer.Raw("\"}");
}

// AppendReadJsonLine as RunLines calls it.
void ReadLine(std::string_view line, const simdjson::dom::element* root, OutputBuffer& out,
              bool& failed) {
    thread_local std::string code;
    std::string error =
        root != nullptr ? ReadCodeRecord(*root, code) : ReadCodeRecord(line, code, true);
    if (error.empty()) {
        auto read = ReadMsgBoxCode(code);
        if (const auto* settings = std::get_if<MsgBoxSettings>(&read)) {
            failed = false;
            AppendSettingsRecord(out, *settings);
            return;
        }
        error = std::get<ReadRefusal>(read).sentence;
    }
    failed = true;
    AppendError(out, error, "{\"error\": ");
}

// A handler's output for one line, appended to `out`.
void AppendLine(LineHandler handle, std::string_view line, std::string& out, bool& failed) {
    thread_local OutputBuffer buffer;
    buffer.Clear();
    handle(line, nullptr, buffer, failed);
    out.append(buffer.View());
}

} // namespace

void AppendComposedJsonLine(std::string_view line, std::string& out, bool& failed) {
    AppendLine(ComposeLine, line, out, failed);
}

std::string ComposeJsonLine(std::string_view line, bool& failed) {
    std::string padded(line);
    padded.append(kLinePadding, ' ');
    std::string out;
    AppendComposedJsonLine(std::string_view(padded).substr(0, line.size()), out, failed);
    return out;
}

int RunJsonLines(std::istream& in, std::ostream& out) {
    return RunLines(in, out, ComposeLine);
}

void AppendReadJsonLine(std::string_view line, std::string& out, bool& failed) {
    AppendLine(ReadLine, line, out, failed);
}

int RunReadJsonLines(std::istream& in, std::ostream& out) {
    return RunLines(in, out, ReadLine);
}

int RunLines(std::istream& in, std::ostream& out, LineHandler handle) {
    bool anyFailed = false;
    std::string input;
    OutputBuffer output;
    std::size_t block = kFirstBlock;
    std::size_t start = 0; // of the first line not yet composed
    auto compose = [&](std::string_view line, const simdjson::dom::element* root) {
        if (line.ends_with('\r'))
            line.remove_suffix(1);
        bool failed = false;
        handle(line, root, output, failed);
        output.Push('\n');
        anyFailed = anyFailed || failed;
        if (output.Size() >= kBlock) {
            out.write(output.Data(), static_cast<std::streamsize>(output.Size()));
            output.Clear();
        }
    };
    // Only the first `filled` bytes of the buffer hold input; its size is kept from one block
    // to the next, so that it is zero-filled where it grows and not again for every block.
    // Every line, the last one too, has the parser's padding after it in the buffer.
    std::size_t filled = 0;
    for (;;) {
        // Keep the unfinished line, then fill the buffer behind it.
        std::copy(input.begin() + static_cast<std::ptrdiff_t>(start),
                  input.begin() + static_cast<std::ptrdiff_t>(filled), input.begin());
        const std::size_t kept = filled - start;
        start = 0;
        if (input.size() < kept + block + kLinePadding)
            input.resize(kept + block + kLinePadding);
        in.read(input.data() + kept, static_cast<std::streamsize>(block));
        block = std::min(block * 2, kBlock);
        filled = kept + static_cast<std::size_t>(in.gcount());
        if (filled == kept)
            break;
        const std::string_view view(input.data(), filled);
        // The block's whole lines are parsed in one pass; any it cannot vouch for, from the
        // first, one at a time.
        if (const std::size_t last = view.rfind('\n'); last != std::string_view::npos)
            start += ParseJsonLines(
                view.substr(start, last + 1 - start),
                [&](std::string_view line, simdjson::dom::element root) { compose(line, &root); });
        for (std::size_t lf = view.find('\n', start); lf != std::string_view::npos;
             lf = view.find('\n', start)) {
            compose(view.substr(start, lf - start), nullptr);
            start = lf + 1;
        }
    }
    if (start < filled) // the last line, without a line feed
        compose(std::string_view(input.data() + start, filled - start), nullptr);
    out.write(output.Data(), static_cast<std::streamsize>(output.Size()));
    out.flush();
    return anyFailed ? 1 : 0;
}

} // namespace qvn::cli
