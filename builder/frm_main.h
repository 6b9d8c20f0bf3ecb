// The builder window's behaviour: load and unload, the option interplay and the commands,
// written against the model, the settings record, the platform services and the IDE. A native
// view (or a test) owns the frmMain object, attaches itself as the model's observer, feeds
// the user's input into Model() and implements PlatformServices.
#pragma once

#include "ide/names.h"

#include "builder/ide_operations.h"
#include "builder/model.h"
#include "builder/platform_services.h"
#include "composition/msgbox_edit.h"
#include "composition/msgbox_settings.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace qvn {

// Version shown in the window's caption.
inline constexpr int kVersionMajor = names::kVersionMajor;
inline constexpr int kVersionMinor = names::kVersionMinor;
inline constexpr std::string_view kProductName = names::kProductName;

class frmMain {
public:
    explicit frmMain(PlatformServices& services);
    frmMain(const frmMain&) = delete;
    frmMain& operator=(const frmMain&) = delete;

    // The window's public members, set by the add-in before the window loads. The window
    // neither sets nor clears them.
    std::shared_ptr<IdeRoot> VBInstance;
    AddinConnect* Connect = nullptr;
    // The component's help file (App.HelpFile).
    std::string HelpFile = "Qvn.hlp";

    // Brings every control back to its design state, makes a fresh settings record, runs
    // Form_Load and puts the focus on the first tab stop. The model's observer sees all of it.
    // Nothing when already loaded.
    void Load();
    // Runs Form_Unload and takes the controls away (user input is ignored until the next
    // Load). Nothing when not loaded. Whatever Form_Unload throws, the unload completes.
    void Unload();
    [[nodiscard]] bool IsLoaded() const { return loaded_; }

    // The edit command, before the window loads: reads the message box in the statement at
    // the IDE's caret. True when the window is to open loaded with it (the next Load takes
    // it); false after a message saying why not, with nothing changed.
    bool PrepareEdit();
    // Whether this opening of the window edits a message box in place: Paste then rewrites
    // it instead of inserting new code at the caret.
    [[nodiscard]] bool Editing() const { return edit_.has_value(); }

    FormModel& Model() { return model_; }
    [[nodiscard]] const FormModel& Model() const { return model_; }
    [[nodiscard]] const MsgBoxSettings& Settings() const { return settings_; }
    [[nodiscard]] const std::string& Caption() const { return model_.FormCaption(); }

    // Handlers, named as the toolkit names them. The model runs them on input; the view
    // calls Form_Load and Form_Unload only through Load and Unload.
    void Form_Load();
    void Form_Unload(int& Cancel);
    void txtTitle_Change();
    void TxtPrompt_Change();
    void optIcons_Click(int Index);
    void optDefBtn_Click(int Index);
    void optButtons_click(int Index);
    void optCodeOption_Click(int Index);
    void chkHelp_Click();
    void imgIcons_Click(int Index);
    void cmdPreview_Click();
    void cmdHelp_Click();
    void cmdBrowse_Click();
    void cmdExit_Click();
    void cmdCopy_Click();
    void cmdPaste_Click();

private:
    void BackToStandardCode();

    ControlRef Ctl(layout::ControlName name, int index = layout::kNoIndex) {
        return model_.Ctl(name, index);
    }
    // Copies what the generators read straight from the controls into the record.
    void ReadControls();
    // The checks that Copy and Paste make before generating; false after a refusal message.
    bool CheckBeforeGenerating();
    // Runs the three generators; false, after saying so, when the code is too long for the
    // language.
    bool Generate();
    void ShowDefaultButton(int Index, std::string caption);
    void HideDefaultButton(int Index);
    std::unique_ptr<IdeCodeModule> ActiveModule(long& caretLine);
    // Puts the settings read into the controls as a user would choose them, after Form_Load.
    void LoadEdit(const MsgBoxSite& site);
    // The generated code as Paste inserts it before `line` of `module`: indented like the
    // code there, after a declaration of its variable when one is due. The code as generated
    // when the module cannot be read.
    std::string FitToModule(IdeCodeModule& module, long line);
    // The Dim line the "Variable Return" code needs at `line`, or empty when none is due or
    // it is unclear whether one is.
    std::string DeclarationFor(IdeCodeModule& module, const std::vector<std::string>& lines,
                               long line);
    // Paste in the edit mode: the new code replaces the statement's lines.
    void PasteInPlace();

    PlatformServices& services_;
    FormModel model_;
    MsgBoxSettings settings_;
    bool loaded_ = false;
    std::optional<MsgBoxSite> pendingEdit_; // read by PrepareEdit, taken by the next Load
    std::optional<MsgBoxSite> edit_;        // the box this opening edits, as it now stands
};

} // namespace qvn
