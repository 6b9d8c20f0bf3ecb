// Fuzzes the reader of MsgBox code: arbitrary bytes in, a record or a refusal out, never a
// crash. A record must be one the generators can write: its indexes are those of the tables,
// its default button names a button of the box, and the code composed from it reads back to
// the same code. A refusal is one sentence on one line.
#include "composition/msgbox_reader.h"
#include "composition/option_tables.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

void Check(bool ok, const char* what, std::string_view code) {
    if (ok)
        return;
    std::fprintf(stderr, "invariant broken: %s\ncode: %.*s\n", what, static_cast<int>(code.size()),
                 code.data());
    std::abort();
}

std::string Compose(qvn::MsgBoxSettings& s) {
    s.EncodePromptText();
    s.BuildButtonsExpression();
    s.BuildMsgBoxCode();
    return s.strMsgBoxCode;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view code(reinterpret_cast<const char*>(data), size);
    auto read = qvn::ReadMsgBoxCode(code);
    if (const auto* refusal = std::get_if<qvn::ReadRefusal>(&read)) {
        Check(!refusal->sentence.empty(), "a refusal says why", code);
        Check(refusal->sentence.find_first_of("\r\n") == std::string::npos, "a refusal is one line",
              code);
        return 0;
    }
    auto& s = std::get<qvn::MsgBoxSettings>(read);
    Check(s.intButtonSet >= 0 && s.intButtonSet < static_cast<int>(qvn::kButtonSets.size()) &&
              s.intIcon >= 0 && s.intIcon < static_cast<int>(qvn::kIcons.size()) &&
              s.intDefButton >= 0 &&
              s.intDefButton < static_cast<int>(qvn::kDefaultButtons.size()) &&
              s.intCodeOption >= 0 && s.intCodeOption < static_cast<int>(qvn::kCodeShapes.size()),
          "the indexes are the tables'", code);
    Check(!s.labels[static_cast<std::size_t>(s.intDefButton)].empty(),
          "the default button is a button of the box", code);
    Check(s.txtHelpFile.empty() || s.chkHelp == 1, "a help file comes with the Help button", code);
    const std::string composed = Compose(s);
    if (s.blnCodeTooLong)
        return 0; // read from one long statement that the generators would have to continue
    auto again = qvn::ReadMsgBoxCode(composed);
    Check(std::holds_alternative<qvn::MsgBoxSettings>(again), "the composed code reads back",
          composed);
    Check(Compose(std::get<qvn::MsgBoxSettings>(again)) == composed,
          "the composed code reads back to the same code", composed);
    return 0;
}
