#include "cli/compose_request.h"

#include "composition/generation_check.h"
#include "composition/option_tables.h"

namespace qvn::cli {

namespace {

// The index of the choice whose command name is `name`, or -1.
template <class Table> int IndexOf(const Table& table, const std::string& name) {
    for (std::size_t i = 0; i < table.size(); ++i) {
        if (table[i].commandName == name)
            return static_cast<int>(i);
    }
    return -1;
}

template <class Table> std::string Choices(const Table& table) {
    std::string out;
    for (const auto& option : table)
        out += (out.empty() ? "" : "|") + std::string(option.commandName);
    return out;
}

} // namespace

std::string ButtonChoices() {
    return Choices(kButtonSets);
}
std::string IconChoices() {
    return Choices(kIcons);
}
std::string ShapeChoices() {
    return Choices(kCodeShapes);
}

std::string LineFeedsToBreaks(const std::string& text) {
    std::string out;
    out.reserve(text.size() + text.size() / 16);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r'))
            out.push_back('\r');
        out.push_back(text[i]);
    }
    return out;
}

std::string DropFinalLineBreak(std::string text) {
    if (text.ends_with("\r\n"))
        text.resize(text.size() - 2);
    else if (text.ends_with('\n'))
        text.pop_back();
    return text;
}

std::variant<MsgBoxSettings, Refusal> BuildSettings(const ComposeRequest& r) {
    const int set = IndexOf(kButtonSets, r.buttons);
    if (set < 0)
        return Refusal{"unknown --buttons '" + r.buttons + "'; use " + ButtonChoices()};
    const int icon = IndexOf(kIcons, r.icon);
    if (icon < 0)
        return Refusal{"unknown --icon '" + r.icon + "'; use " + IconChoices()};
    const int shape = IndexOf(kCodeShapes, r.shape);
    if (shape < 0)
        return Refusal{"unknown --shape '" + r.shape + "'; use " + ShapeChoices()};

    MsgBoxSettings s;
    s.intButtonSet = static_cast<std::int16_t>(set);
    s.intIcon = static_cast<std::int16_t>(icon);
    s.intCodeOption = static_cast<std::int16_t>(shape);
    s.labels = DefaultButtonLabels(set, r.helpButton);

    if (r.defaultButton < 1 || r.defaultButton > static_cast<int>(s.labels.size()) ||
        s.labels[static_cast<std::size_t>(r.defaultButton - 1)].empty())
        return Refusal{"--default " + std::to_string(r.defaultButton) +
                       " names no button of --buttons " + r.buttons +
                       (r.helpButton ? " with the Help button" : "") +
                       "; choose a button the message box has"};
    s.intDefButton = static_cast<std::int16_t>(r.defaultButton - 1);

    if (shape != kCodeStandard && set == 0)
        return Refusal{"--shape " + r.shape +
                       " tests the button pressed, which needs more than one button; "
                       "choose --buttons other than ok, or --shape standard"};
    if (r.selectCase && shape != kCodeVariableReturn)
        return Refusal{"--select-case needs --shape variable"};
    if (r.notEqual && shape != kCodeIfThenElse)
        return Refusal{"--not-equal needs --shape if"};
    // The window's own refusals, in the command line's words.
    const std::string_view defaultLabel = s.labels[static_cast<std::size_t>(s.intDefButton)];
    switch (CheckGeneration({r.helpFile, r.helpContext, shape, r.var, defaultLabel})) {
    case GenerationProblem::HelpFileOrContextAlone:
        return Refusal{"give both --help-file and --help-context, or neither"};
    case GenerationProblem::NoVariableName:
        return Refusal{"--shape variable needs a variable name: give --var NAME"};
    case GenerationProblem::HelpButtonTested:
        return Refusal{"the Help button returns no value to test; choose another --default "
                       "or another --shape"};
    case GenerationProblem::None:
        break;
    }
    if (!r.helpFile.empty() && !r.helpButton)
        return Refusal{"--help-file and --help-context need --help-button"};

    s.txtPrompt = r.prompt;
    s.strTitle = r.title;
    s.chkHelp = r.helpButton ? 1 : 0;
    s.txtHelpFile = r.helpFile;
    s.txtHelpContext = r.helpContext;
    s.chkSysModal = r.systemModal ? 1 : 0;
    s.chkSetForeground = r.foreground ? 1 : 0;
    s.chkRightAlign = r.rightAlign ? 1 : 0;
    s.chkRtlReading = r.rtlReading ? 1 : 0;
    s.chkOptValOnly = r.valueOnly ? 1 : 0;
    s.chkAddSelect = r.selectCase ? 1 : 0;
    s.chkNotEqual = r.notEqual ? 1 : 0;
    if (shape == kCodeVariableReturn)
        s.txtVarName = r.var;
    if (r.lf)
        s.strLineBreak = "\n";
    return s;
}

std::string Compose(MsgBoxSettings& settings) {
    settings.EncodePromptText();
    settings.BuildButtonsExpression();
    settings.BuildMsgBoxCode();
    return settings.strMsgBoxCode;
}

} // namespace qvn::cli
