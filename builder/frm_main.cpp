#include "builder/frm_main.h"

#include "ide/names.h"

#include "builder/paste_fit.h"
#include "composition/generation_check.h"
#include "composition/option_tables.h"

#include <exception>
#include <new>
#include <stdexcept>

namespace qvn {
namespace ctl = layout::ctl;
namespace {

// Message-box style values of the toolkit.
// The default-button options, one per button a message box can have.
constexpr int kDefaultButtonCount = static_cast<int>(kDefaultButtons.size());

using names::kStyleCritical;
using names::kStyleInformation;
using names::kStyleOkOnly;

constexpr char kHelpMissing[] = "Unable to display Help Contents. The Help file is missing.";
constexpr char kHelpUnavailable[] = "Unable to display Help Contents.";

constexpr char kHelpCheckTitle[] = "Help File Specification Error";
constexpr char kHelpCheckText[] = "The message box cannot be built as specified.\r\n"
                                  "\r\n"
                                  "You must specify both a help file name and help context\r\n"
                                  "if either one is specified.";

constexpr char kVarNameTitle[] = "Variable Name Error";
constexpr char kVarNameText[] = "The message box cannot be built as specified.\r\n"
                                "\r\n"
                                "You must specify a variable name if selecting the \r\n"
                                "variable return code option.";

// A message box never returns for its Help button, so an If block cannot test for it.
constexpr char kDefButtonTitle[] = "Default Button Error";
constexpr char kDefButtonText[] = "The message box cannot be built as specified.\r\n"
                                  "\r\n"
                                  "The Help button returns no value to test.\r\n"
                                  "Choose another default button or another code option.";

constexpr char kTooLongTitle[] = "Code Too Long";
constexpr char kTooLongText[] =
    "The code for this message box would be longer than one statement of the language "
    "allows.\r\n"
    "\r\n"
    "Shorten the prompt, the title, the help file name or the variable name.";

constexpr char kCopyTitle[] = "Copy Error";
constexpr char kCopyText[] =
    "The code could not be copied to the clipboard.\r\n"
    "\r\n"
    "The clipboard may be in use by another program; try again, or use Paste.";

constexpr char kPasteTitle[] = "Paste Error";
constexpr char kPasteText[] =
    "\r\n"
    "A problem occurred while trying to paste into your project.\r\n"
    "\r\n"
    "A code pane or a project may not be open.\r\n"
    "\r\n"
    "Close QVN and be sure a project and code pane are open or copy to the clipboard.";

using names::kDefaultVariableName;

constexpr char kPasteDeleteText[] =
    "The new code was pasted, but the old lines could not be deleted.\r\n"
    "\r\n"
    "Both versions are in your code now: delete the old one yourself.";
// The edit command's refusals: the reader's sentence, or no message box at the caret.
constexpr char kEditTitle[] = "Edit Message Box";

// A sentence of the reader as a message: capital first letter, closing full stop.
std::string AsMessage(std::string sentence) {
    if (!sentence.empty() && sentence.front() >= 'a' && sentence.front() <= 'z') {
        sentence.front() = static_cast<char>(sentence.front() - 'a' + 'A');
    }
    if (!sentence.empty() && sentence.back() != '.' && sentence.back() != '?' &&
        sentence.back() != '!') {
        sentence += '.';
    }
    return sentence;
}

long LineCount(const std::string& text) {
    return static_cast<long>(SplitCrLf(text).size());
}

} // namespace

frmMain::frmMain(PlatformServices& services) : services_(services) {
    model_.OnChange(ctl::txtTitle, [this](int) { txtTitle_Change(); });
    model_.OnChange(ctl::txtPrompt, [this](int) { TxtPrompt_Change(); });
    model_.OnClick(ctl::optIcons, [this](int i) { optIcons_Click(i); });
    model_.OnClick(ctl::optDefBtn, [this](int i) { optDefBtn_Click(i); });
    model_.OnClick(ctl::optButtons, [this](int i) { optButtons_click(i); });
    model_.OnClick(ctl::optCodeOption, [this](int i) { optCodeOption_Click(i); });
    model_.OnClick(ctl::chkHelp, [this](int) { chkHelp_Click(); });
    model_.OnClick(ctl::imgIcons, [this](int i) { imgIcons_Click(i); });
    model_.OnClick(ctl::cmdPreview, [this](int) { cmdPreview_Click(); });
    model_.OnClick(ctl::cmdHelp, [this](int) { cmdHelp_Click(); });
    model_.OnClick(ctl::cmdBrowse, [this](int) { cmdBrowse_Click(); });
    model_.OnClick(ctl::cmdExit, [this](int) { cmdExit_Click(); });
    model_.OnClick(ctl::cmdCopy, [this](int) { cmdCopy_Click(); });
    model_.OnClick(ctl::cmdPaste, [this](int) { cmdPaste_Click(); });
}

void frmMain::Load() {
    if (loaded_) {
        return;
    }
    model_.ResetToDesign();
    settings_ = MsgBoxSettings{};
    loaded_ = true;
    model_.SetActive(true);
    Form_Load();
    if (pendingEdit_) {
        edit_ = std::move(pendingEdit_);
        pendingEdit_.reset();
        LoadEdit(*edit_);
    }
    // The first tab stop gets the focus, as when a window is first shown.
    if (auto first = model_.NextTabStop(layout::RowOf(ctl::dlgFileDialog), false)) {
        model_.SetFocus(*first);
    }
}

void frmMain::Unload() {
    if (!loaded_) {
        return;
    }
    // Marked unloaded first, so that an unload requested again from inside Hide is ignored.
    loaded_ = false;
    edit_.reset();
    pendingEdit_.reset();
    model_.SetActive(false);
    int Cancel = 0;
    Form_Unload(Cancel);
}

void frmMain::Form_Load() {
    if (Connect != nullptr) {
        // The add-in is opening this very window; its request to show changes nothing.
        Connect->Show();
    }

    model_.SetFormCaption(std::string(kProductName) + "  v" + std::to_string(kVersionMajor) + "." +
                          std::to_string(kVersionMinor));

    settings_.strQuote = "\"";
    settings_.strConcat = " & ";
    settings_.strCrLfName = "vbCrLf";
    settings_.strLineBreak = "\r\n";
    settings_.strIndent = "\t";
    settings_.strButtonsExpr.clear();
    settings_.lngButtonsValue = 0;
    settings_.strMsgBoxCode.clear();
    settings_.strTitle.clear();
    settings_.strPromptExpr.clear();

    Ctl(ctl::optButtons, 0).SetValue(1);
    settings_.intButtonSet = 0;

    Ctl(ctl::optDefBtn, 0).SetValue(1);
    Ctl(ctl::optDefBtn, 0).SetCaption(std::string(kFirstButtonLabel));
    settings_.intDefButton = 0;
    for (int i = 1; i < kDefaultButtonCount; ++i) {
        Ctl(ctl::optDefBtn, i).SetEnabled(false);
        Ctl(ctl::optDefBtn, i).SetVisible(false);
    }

    Ctl(ctl::optIcons, 0).SetValue(1);
    settings_.intIcon = 0;

    BackToStandardCode();

    Ctl(ctl::chkHelp).SetValue(0);
    const bool help = Ctl(ctl::chkHelp).Value() != 0;
    Ctl(ctl::txtHelpFile).SetText("");
    Ctl(ctl::txtHelpFile).SetEnabled(help);
    Ctl(ctl::txtHelpContext).SetText("");
    Ctl(ctl::txtHelpContext).SetEnabled(help);
    Ctl(ctl::cmdBrowse).SetEnabled(help);
    Ctl(ctl::lblHelpContext).SetEnabled(help);
    Ctl(ctl::lblHelpFile).SetEnabled(help);
}

void frmMain::Form_Unload(int& /*Cancel*/) {
    if (Connect != nullptr) {
        Connect->Hide();
    }
}

void frmMain::txtTitle_Change() {
    settings_.strTitle = Ctl(ctl::txtTitle).Text();
}

void frmMain::TxtPrompt_Change() {
    settings_.txtPrompt = Ctl(ctl::txtPrompt).Text();
    settings_.EncodePromptText();
}

void frmMain::optIcons_Click(int Index) {
    settings_.intIcon = static_cast<std::int16_t>(Index);
}

void frmMain::optDefBtn_Click(int Index) {
    settings_.intDefButton = static_cast<std::int16_t>(Index);
}

void frmMain::ShowDefaultButton(int Index, std::string caption) {
    auto option = Ctl(ctl::optDefBtn, Index);
    option.SetCaption(std::move(caption));
    option.SetEnabled(true);
    option.SetVisible(true);
}

void frmMain::HideDefaultButton(int Index) {
    auto option = Ctl(ctl::optDefBtn, Index);
    option.SetCaption("");
    option.SetEnabled(false);
    option.SetVisible(false);
}

void frmMain::optButtons_click(int Index) {
    if (Index < 0 || Index >= static_cast<int>(kButtonSets.size())) {
        return;
    }
    const auto& set = kButtonSets[static_cast<std::size_t>(Index)];
    settings_.intButtonSet = static_cast<std::int16_t>(Index);
    settings_.intDefButton = 0;

    Ctl(ctl::optDefBtn, 0).SetCaption(std::string(set.labels[0]));
    Ctl(ctl::optDefBtn, 0).SetValue(1);

    int buttons = 1;
    while (buttons < kDefaultButtonCount &&
           !set.labels[static_cast<std::size_t>(buttons)].empty()) {
        ShowDefaultButton(buttons, std::string(set.labels[static_cast<std::size_t>(buttons)]));
        ++buttons;
    }
    for (int i = buttons; i < kDefaultButtonCount; ++i) {
        HideDefaultButton(i);
    }

    if (Index == 0) {
        BackToStandardCode();
    } else {
        Ctl(ctl::optCodeOption, 1).SetEnabled(true);
        Ctl(ctl::optCodeOption, 2).SetEnabled(true);
    }

    if (Ctl(ctl::chkHelp).Value() != 0 && buttons < kDefaultButtonCount) {
        ShowDefaultButton(buttons, std::string(kHelpLabel));
    }
}

// With OK alone there is nothing to ask about: the code shape goes back to "Standard" and the
// other shapes, the variable name and the shape options are switched off.
void frmMain::BackToStandardCode() {
    Ctl(ctl::optCodeOption, kCodeStandard).SetValue(1);
    Ctl(ctl::optCodeOption, kCodeVariableReturn).SetEnabled(false);
    Ctl(ctl::optCodeOption, kCodeIfThenElse).SetEnabled(false);
    settings_.intCodeOption = kCodeStandard;
    Ctl(ctl::lblVarName).SetEnabled(false);
    Ctl(ctl::txtVarName).SetEnabled(false);
    Ctl(ctl::txtVarName).SetText("");
    Ctl(ctl::chkAddSelect).SetEnabled(false);
    Ctl(ctl::chkNotEqual).SetEnabled(false);
}

void frmMain::optCodeOption_Click(int Index) {
    auto addSelect = Ctl(ctl::chkAddSelect);
    auto notEqual = Ctl(ctl::chkNotEqual);
    auto nameLabel = Ctl(ctl::lblVarName);
    auto name = Ctl(ctl::txtVarName);
    switch (Index) {
    case kCodeStandard:
        addSelect.SetValue(0);
        notEqual.SetValue(0);
        notEqual.SetEnabled(false);
        addSelect.SetEnabled(false);
        nameLabel.SetEnabled(false);
        name.SetEnabled(false);
        name.SetText("");
        settings_.intCodeOption = kCodeStandard;
        break;
    case kCodeVariableReturn:
        notEqual.SetValue(0);
        addSelect.SetEnabled(true);
        notEqual.SetEnabled(false);
        nameLabel.SetEnabled(true);
        name.SetEnabled(true);
        name.SetText(kDefaultVariableName);
        settings_.intCodeOption = kCodeVariableReturn;
        break;
    case kCodeIfThenElse:
        addSelect.SetValue(0);
        addSelect.SetEnabled(false);
        notEqual.SetEnabled(true);
        nameLabel.SetEnabled(false);
        name.SetEnabled(false);
        name.SetText("");
        settings_.intCodeOption = kCodeIfThenElse;
        break;
    default:
        break;
    }
}

void frmMain::chkHelp_Click() {
    const bool help = Ctl(ctl::chkHelp).Value() != 0;
    for (auto name : {ctl::cmdBrowse, ctl::lblHelpContext, ctl::txtHelpFile, ctl::txtHelpContext,
                      ctl::lblHelpFile}) {
        Ctl(name).SetEnabled(help);
    }
}

void frmMain::imgIcons_Click(int Index) {
    auto option = Ctl(ctl::optIcons, Index);
    option.SetValue(1);
    option.SetFocus();
}

void frmMain::ReadControls() {
    settings_.txtPrompt = Ctl(ctl::txtPrompt).Text();
    settings_.txtVarName = Ctl(ctl::txtVarName).Text();
    settings_.txtHelpFile = Ctl(ctl::txtHelpFile).Text();
    settings_.txtHelpContext = Ctl(ctl::txtHelpContext).Text();
    settings_.chkHelp = Ctl(ctl::chkHelp).Value();
    settings_.chkSysModal = Ctl(ctl::chkSysModal).Value();
    settings_.chkSetForeground = Ctl(ctl::chkSetForeground).Value();
    settings_.chkRightAlign = Ctl(ctl::chkRightAlign).Value();
    settings_.chkRtlReading = Ctl(ctl::chkRtlReading).Value();
    settings_.chkOptValOnly = Ctl(ctl::chkOptValOnly).Value();
    settings_.chkAddSelect = Ctl(ctl::chkAddSelect).Value();
    settings_.chkNotEqual = Ctl(ctl::chkNotEqual).Value();
    for (int i = 0; i < kDefaultButtonCount; ++i) {
        settings_.labels[static_cast<std::size_t>(i)] = Ctl(ctl::optDefBtn, i).Caption();
    }
}

void frmMain::cmdPreview_Click() {
    ReadControls();
    settings_.BuildButtonsExpression();
    services_.ShowMessage(Ctl(ctl::txtPrompt).Text(), settings_.lngButtonsValue,
                          settings_.strTitle);
}

void frmMain::cmdHelp_Click() {
    if (HelpFile.empty()) {
        services_.ShowMessage(kHelpMissing, kStyleInformation, Caption());
        return;
    }
    std::optional<std::string> failure;
    try {
        failure = services_.ShowHelp(HelpFile, kHelpContents);
    } catch (const std::bad_alloc&) {
        throw; // not the viewer's failure: the caller's to report
    } catch (const std::logic_error&) {
        throw;
    } catch (const std::exception&) {
        // The runtime's text is no message for a user: the viewer's failure reads as one.
        failure = std::string();
    }
    if (failure) {
        services_.ShowMessage(failure->empty() ? std::string(kHelpUnavailable) : *failure,
                              kStyleOkOnly, std::nullopt);
    }
}

void frmMain::cmdBrowse_Click() {
    // A cancelled dialog reports nothing, and the name typed before stays.
    if (auto name =
            services_.ShowOpenFileDialog(layout::kFileDialogTitle, layout::kFileDialogFilter)) {
        Ctl(ctl::txtHelpFile).SetText(*name);
    }
}

void frmMain::cmdExit_Click() {
    services_.UnloadForm();
}

bool frmMain::CheckBeforeGenerating() {
    const int defaultButton = settings_.intDefButton;
    const std::string defaultLabel = defaultButton >= 0 && defaultButton < kDefaultButtonCount
                                         ? Ctl(ctl::optDefBtn, defaultButton).Caption()
                                         : std::string();
    const std::string helpFile = Ctl(ctl::txtHelpFile).Text();
    const std::string helpContext = Ctl(ctl::txtHelpContext).Text();
    const std::string variable = Ctl(ctl::txtVarName).Text();
    switch (
        CheckGeneration({helpFile, helpContext, settings_.intCodeOption, variable, defaultLabel})) {
    case GenerationProblem::HelpFileOrContextAlone:
        services_.ShowMessage(kHelpCheckText, kStyleCritical, std::string(kHelpCheckTitle));
        return false;
    case GenerationProblem::NoVariableName:
        services_.ShowMessage(kVarNameText, kStyleCritical, std::string(kVarNameTitle));
        return false;
    case GenerationProblem::HelpButtonTested:
        services_.ShowMessage(kDefButtonText, kStyleCritical, std::string(kDefButtonTitle));
        return false;
    case GenerationProblem::None:
        break;
    }
    return true;
}

bool frmMain::Generate() {
    ReadControls();
    settings_.EncodePromptText();
    settings_.BuildButtonsExpression();
    settings_.BuildMsgBoxCode();
    if (settings_.blnCodeTooLong) {
        services_.ShowMessage(kTooLongText, kStyleCritical, std::string(kTooLongTitle));
        return false;
    }
    return true;
}

void frmMain::cmdCopy_Click() {
    if (!CheckBeforeGenerating()) {
        return;
    }
    if (!Generate()) {
        return;
    }
    if (!services_.ClearClipboard() || !services_.SetClipboardText(settings_.strMsgBoxCode)) {
        services_.ShowMessage(kCopyText, kStyleCritical, std::string(kCopyTitle));
    }
}

// The active code pane's module and the caret's line; throws IdeError when there is none.
std::unique_ptr<IdeCodeModule> frmMain::ActiveModule(long& caretLine) {
    if (!VBInstance) {
        throw IdeError("no IDE");
    }
    std::unique_ptr<IdeCodePane> pane = VBInstance->ActiveCodePane();
    if (!pane) {
        throw IdeError("no active code pane");
    }
    long startColumn = 0;
    long endLine = 0;
    long endColumn = 0;
    pane->GetSelection(caretLine, startColumn, endLine, endColumn);
    std::unique_ptr<IdeCodeModule> module = pane->CodeModule();
    if (!module) {
        throw IdeError("no code module");
    }
    return module;
}

void frmMain::cmdPaste_Click() {
    if (!CheckBeforeGenerating()) {
        return;
    }
    if (!Generate()) {
        return;
    }
    if (edit_) {
        PasteInPlace();
        return;
    }
    try {
        // The module is held only inside this block, so it is released on success and on
        // failure alike, before any message shows.
        long startLine = 0;
        std::unique_ptr<IdeCodeModule> module = ActiveModule(startLine);
        module->InsertLines(startLine, FitToModule(*module, startLine));
    } catch (const IdeError&) {
        // Every failure of the IDE ends in the same message, which points the user to Copy.
        // Any other exception is no failure of the IDE, and this message would misreport it.
        services_.ShowMessage(kPasteText, kStyleCritical, std::string(kPasteTitle));
    }
}

std::string frmMain::FitToModule(IdeCodeModule& module, long line) {
    const std::string& code = settings_.strMsgBoxCode;
    try {
        const long count = module.CountOfLines();
        const std::vector<std::string> lines =
            count > 0 ? SplitCrLf(module.Lines(1, count)) : std::vector<std::string>{};
        return IndentCode(code, PasteIndent(lines, line), DeclarationFor(module, lines, line));
    } catch (const IdeError&) {
        // Reading the module is a courtesy: the code goes in as generated.
        return code;
    }
}

std::string frmMain::DeclarationFor(IdeCodeModule& module, const std::vector<std::string>& lines,
                                    long line) {
    const std::string& name = settings_.txtVarName;
    if (settings_.intCodeOption != kCodeVariableReturn || !IsPlainName(name) ||
        !HasOptionExplicit(lines, module.CountOfDeclarationLines())) {
        return {};
    }
    long kind = 0;
    const std::string procedure = module.ProcOfLine(line, kind);
    if (procedure.empty()) {
        return {};
    }
    const long bodyLine = module.ProcBodyLine(procedure, kind);
    const long endLine = ProcedureEndLine(lines, bodyLine);
    // Only inside the body: from the line after the Sub line up to its End line.
    if (bodyLine < 1 || line <= bodyLine || endLine == 0 || line > endLine ||
        ProcedureDeclares(lines, bodyLine, endLine, name) || ModuleDeclares(lines, name)) {
        return {};
    }
    for (const std::vector<std::string>& other : module.ProjectModules()) {
        if (ProjectDeclares(other, name)) {
            return {};
        }
    }
    return "Dim " + name + " As " + VBInstance->MsgBoxResultType();
}

bool frmMain::PrepareEdit() {
    pendingEdit_.reset();
    std::variant<MsgBoxSite, ReadRefusal> found;
    try {
        long startLine = 0;
        std::unique_ptr<IdeCodeModule> module = ActiveModule(startLine);
        const long count = module->CountOfLines();
        const std::vector<std::string> lines =
            count > 0 ? SplitCrLf(module->Lines(1, count)) : std::vector<std::string>{};
        found = FindMsgBoxAt(lines, startLine);
    } catch (const IdeError&) {
        // No code pane or no module: there is no line whose message box could be edited.
        found = ReadRefusal{std::string(kNoMessageBoxHere)};
    }
    if (const auto* refusal = std::get_if<ReadRefusal>(&found)) {
        services_.ShowMessage(AsMessage(refusal->sentence), kStyleCritical,
                              std::string(kEditTitle));
        return false;
    }
    pendingEdit_ = std::move(std::get<MsgBoxSite>(found));
    return true;
}

void frmMain::LoadEdit(const MsgBoxSite& site) {
    const MsgBoxSettings& read = site.settings;
    // In the order a user makes the choices, each through its handler, so that every rule
    // of the window holds for what the user changes next.
    Ctl(ctl::chkHelp).SetValue(read.chkHelp);
    chkHelp_Click();
    Ctl(ctl::optButtons, read.intButtonSet).SetValue(1);
    Ctl(ctl::optDefBtn, read.intDefButton).SetValue(1);
    Ctl(ctl::optIcons, read.intIcon).SetValue(1);
    Ctl(ctl::chkSysModal).SetValue(read.chkSysModal);
    Ctl(ctl::chkSetForeground).SetValue(read.chkSetForeground);
    Ctl(ctl::chkRightAlign).SetValue(read.chkRightAlign);
    Ctl(ctl::chkRtlReading).SetValue(read.chkRtlReading);
    Ctl(ctl::optCodeOption, read.intCodeOption).SetValue(1);
    Ctl(ctl::chkOptValOnly).SetValue(read.chkOptValOnly);
    Ctl(ctl::chkAddSelect).SetValue(read.chkAddSelect);
    Ctl(ctl::chkNotEqual).SetValue(read.chkNotEqual);
    Ctl(ctl::txtVarName).SetText(read.txtVarName);
    Ctl(ctl::txtPrompt).SetText(read.txtPrompt);
    Ctl(ctl::txtTitle).SetText(read.strTitle);
    Ctl(ctl::txtHelpFile).SetText(read.txtHelpFile);
    Ctl(ctl::txtHelpContext).SetText(read.txtHelpContext);
    if (site.kind == MsgBoxSite::Kind::Call) {
        // Only the call is rewritten: the shape is the one the code around it has.
        for (int i = 0; i < static_cast<int>(kCodeShapes.size()); ++i) {
            Ctl(ctl::optCodeOption, i).SetEnabled(false);
        }
    }
}

void frmMain::PasteInPlace() {
    auto rewrite = RewriteMsgBox(*edit_, settings_);
    if (const auto* refusal = std::get_if<ReadRefusal>(&rewrite)) {
        services_.ShowMessage(AsMessage(refusal->sentence), kStyleCritical,
                              std::string(kEditTitle));
        return;
    }
    const MsgBoxRewrite& next = std::get<MsgBoxRewrite>(rewrite);
    // Inserted first, deleted after: a failing write never loses a line.
    bool inserted = false;
    const char* failure = nullptr;
    try {
        long caretLine = 0;
        std::unique_ptr<IdeCodeModule> module = ActiveModule(caretLine);
        module->InsertLines(edit_->firstLine, next.text);
        inserted = true;
        module->DeleteLines(edit_->firstLine + LineCount(next.text), edit_->lineCount);
    } catch (const IdeError&) {
        // Reported below, by how far the writes got.
        failure = inserted ? kPasteDeleteText : kPasteText;
    }
    if (inserted) {
        // The new lines stand where the statement began: a second Paste replaces them.
        ApplyRewrite(*edit_, next);
    }
    if (failure != nullptr) {
        services_.ShowMessage(failure, kStyleCritical, std::string(kPasteTitle));
    }
}

} // namespace qvn
