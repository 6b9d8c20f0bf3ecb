#include "package/journey/example_session.h"

#include "package/journey/ui_driver.h"

#include "composition/msgbox_settings.h"
#include "composition/option_tables.h"

#include <algorithm>
#include <array>

namespace qvn::drive {
namespace {

constexpr const char* kPrompt = "Quit now?";
constexpr const char* kTitle = "Confirm";
constexpr const char* kButtonSet = "Yes and No";
constexpr const char* kDefaultButton = "No";
constexpr const char* kShape = "If-Then-Else";
constexpr const char* kHelpFile = "app.hlp";
constexpr const char* kHelpContext = "100";

template <class Table> int IndexOfCaption(const Table& table, std::string_view caption) {
    for (std::size_t i = 0; i < table.size(); ++i) {
        if (table[i].caption == caption) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

std::string Named(layout::ControlName name) {
    return std::string(layout::NameText(name));
}

std::optional<std::string> TypeInto(HWND builder, layout::ControlName name, const char* text) {
    HWND box = BuilderControl(builder, name);
    if (box == nullptr) {
        return "the window has no text box " + Named(name);
    }
    Type(box, text);
    if (Utf8(WindowText(box)) != text) {
        return Named(name) + " shows \"" + Utf8(WindowText(box)) + "\" after typing \"" + text +
               "\"";
    }
    return std::nullopt;
}

std::optional<std::string> Choose(HWND builder, layout::ControlName name,
                                  std::string_view caption) {
    const auto index = IndexWithCaption(builder, name, caption);
    if (!index) {
        return "no " + Named(name) + " choice is captioned \"" + std::string(caption) + "\"";
    }
    HWND option = BuilderControl(builder, name, *index);
    if (!IsWindowEnabled(option) || !IsWindowVisible(option)) {
        return "the choice \"" + std::string(caption) + "\" cannot be clicked";
    }
    Click(option);
    if (!IsChecked(option)) {
        return "clicking \"" + std::string(caption) + "\" did not select it";
    }
    return std::nullopt;
}

std::optional<std::string> Tick(HWND builder, layout::ControlName name) {
    HWND box = BuilderControl(builder, name);
    if (box == nullptr || !IsWindowEnabled(box)) {
        return "the check box " + Named(name) + " is missing or disabled";
    }
    Click(box);
    if (!IsChecked(box)) {
        return "clicking " + Named(name) + " did not tick it";
    }
    return std::nullopt;
}

} // namespace

std::optional<std::string> ComposeIfThenElseExample(HWND builder) {
    if (auto problem = TypeInto(builder, ctl::txtPrompt, kPrompt)) {
        return problem;
    }
    if (auto problem = TypeInto(builder, ctl::txtTitle, kTitle)) {
        return problem;
    }
    if (auto problem = Tick(builder, ctl::chkHelp)) {
        return problem;
    }
    if (auto problem = Choose(builder, ctl::optButtons, kButtonSet)) {
        return problem;
    }
    // With the Help button on, the set's buttons are followed by Help.
    const std::array<std::string, 3> labels{"Yes", "No", "Help"};
    for (int i = 0; i < 3; ++i) {
        HWND option = BuilderControl(builder, ctl::optDefBtn, i);
        const std::string caption = option ? Utf8(WindowText(option)) : "";
        if (caption != labels[static_cast<std::size_t>(i)] || !IsWindowVisible(option)) {
            return "default-button choice " + std::to_string(i + 1) + " reads \"" + caption +
                   "\" instead of \"" + labels[static_cast<std::size_t>(i)] + "\"";
        }
    }
    if (HWND fourth = BuilderControl(builder, ctl::optDefBtn, 3);
        fourth && IsWindowVisible(fourth)) {
        return "a fourth default-button choice is shown for a box of three buttons";
    }
    if (auto problem = Choose(builder, ctl::optDefBtn, kDefaultButton)) {
        return problem;
    }
    if (auto problem = Choose(builder, ctl::optCodeOption, kShape)) {
        return problem;
    }
    if (auto problem = Tick(builder, ctl::chkNotEqual)) {
        return problem;
    }
    if (auto problem = TypeInto(builder, ctl::txtHelpFile, kHelpFile)) {
        return problem;
    }
    if (auto problem = TypeInto(builder, ctl::txtHelpContext, kHelpContext)) {
        return problem;
    }
    return std::nullopt;
}

std::optional<std::string> ComposeVariableReturn(HWND builder, const char* prompt,
                                                 const char* variable) {
    if (auto problem = TypeInto(builder, ctl::txtPrompt, prompt)) {
        return problem;
    }
    if (auto problem = Choose(builder, ctl::optButtons, kButtonSet)) {
        return problem;
    }
    if (auto problem = Choose(builder, ctl::optCodeOption, "Variable Return")) {
        return problem;
    }
    return TypeInto(builder, ctl::txtVarName, variable);
}

std::string IfThenElseExampleCode() {
    MsgBoxSettings settings;
    settings.txtPrompt = kPrompt;
    settings.strTitle = kTitle;
    settings.chkHelp = 1;
    settings.intButtonSet = static_cast<std::int16_t>(IndexOfCaption(kButtonSets, kButtonSet));
    settings.labels = DefaultButtonLabels(settings.intButtonSet, true);
    const auto labelAt = std::find(settings.labels.begin(), settings.labels.end(), kDefaultButton);
    settings.intDefButton = static_cast<std::int16_t>(labelAt - settings.labels.begin());
    settings.intCodeOption = static_cast<std::int16_t>(IndexOfCaption(kCodeShapes, kShape));
    settings.chkNotEqual = 1;
    settings.txtHelpFile = kHelpFile;
    settings.txtHelpContext = kHelpContext;
    settings.EncodePromptText();
    settings.BuildButtonsExpression();
    settings.BuildMsgBoxCode();
    return settings.strMsgBoxCode;
}

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines(1);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' || text[i] == '\n') {
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
                ++i;
            }
            lines.emplace_back();
        } else {
            lines.back().push_back(text[i]);
        }
    }
    return lines;
}

std::vector<std::string> FileLines(const std::string& bytes) {
    std::string text = bytes;
    if (text.rfind("\xEF\xBB\xBF", 0) == 0) {
        text.erase(0, 3);
    }
    auto lines = SplitLines(text);
    if (!text.empty() && (text.back() == '\n' || text.back() == '\r')) {
        lines.pop_back();
    }
    return lines;
}

std::vector<std::string> ModuleAfterPaste(std::vector<std::string> module, long caret,
                                          const std::string& code, const std::string& indent) {
    auto pasted = SplitLines(code);
    for (std::string& line : pasted) {
        if (!line.empty()) {
            line.insert(0, indent);
        }
    }
    const auto at = std::min(static_cast<std::size_t>(std::max(caret, 1L) - 1), module.size());
    module.insert(module.begin() + static_cast<std::ptrdiff_t>(at), pasted.begin(), pasted.end());
    return module;
}

} // namespace qvn::drive
