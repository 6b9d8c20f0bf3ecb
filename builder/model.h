// The builder window's controls as plain state, with the event rules of the toolkit the
// window was designed for. Handlers change controls through this model; a native view mirrors
// every change it announces and feeds the user's input back in. Controls are addressed by
// their row in the layout table (layout::RowOf, layout::RowForId).
#pragma once

#include "builder/layout_table.h"

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace qvn {

enum class Property { Caption, Text, Value, Enabled, Visible, Focus };

class ModelObserver {
public:
    virtual ~ModelObserver() = default;
    // Control `row` has a new `property`; read it from the model. For Focus, `row` is the
    // control that now holds the keyboard focus.
    virtual void ControlChanged(int row, Property property) = 0;
    virtual void FormCaptionChanged(const std::string& caption) = 0;
};

class FormModel;

// A control of the model by name, as handlers use it: `Ctl(ctl::optDefBtn, 2).SetCaption(...)`.
class ControlRef {
public:
    ControlRef(FormModel& model, int row) : model_(&model), row_(row) {}

    [[nodiscard]] int Row() const { return row_; }
    [[nodiscard]] const std::string& Caption() const;
    [[nodiscard]] const std::string& Text() const;
    [[nodiscard]] int Value() const;
    [[nodiscard]] bool Enabled() const;
    [[nodiscard]] bool Visible() const;
    void SetCaption(std::string caption) const;
    void SetText(std::string text) const;
    void SetValue(int value) const;
    void SetEnabled(bool enabled) const;
    void SetVisible(bool visible) const;
    void SetFocus() const;

private:
    FormModel* model_;
    int row_;
};

class FormModel {
public:
    // Receives the control-array Index, or layout::kNoIndex for a plain control.
    using Handler = std::function<void(int index)>;

    FormModel();
    FormModel(const FormModel&) = delete;
    FormModel& operator=(const FormModel&) = delete;

    void SetObserver(ModelObserver* observer) { observer_ = observer; }
    // Click handlers (options, check boxes, buttons, images) and change handlers (text
    // boxes), by control name; one handler serves a whole control array.
    void OnClick(layout::ControlName name, Handler handler);
    void OnChange(layout::ControlName name, Handler handler);
    // The names handlers are registered under.
    [[nodiscard]] std::vector<layout::ControlName> HandlerNames() const;

    // Every control back to its design state (no handler runs, no focus), announced control
    // by control. User input is taken only while the model is active.
    void ResetToDesign();
    void SetActive(bool active) { active_ = active; }
    [[nodiscard]] bool Active() const { return active_; }

    // Throws std::out_of_range when `name` has no member `index` (or is an array and `index`
    // is kNoIndex).
    ControlRef Ctl(layout::ControlName name, int index = layout::kNoIndex);

    [[nodiscard]] static const layout::ControlSpec& Layout(int row);
    [[nodiscard]] const std::string& Caption(int row) const { return at(row).caption; }
    [[nodiscard]] const std::string& Text(int row) const { return at(row).text; }
    [[nodiscard]] int Value(int row) const { return at(row).value; }
    [[nodiscard]] bool Enabled(int row) const { return at(row).enabled; }
    [[nodiscard]] bool Visible(int row) const { return at(row).visible; }
    [[nodiscard]] std::optional<int> FocusRow() const { return focus_; }
    // Index of the selected option of the control array `name`, or nothing.
    [[nodiscard]] std::optional<int> SelectedIndex(layout::ControlName name) const;
    [[nodiscard]] const std::string& FormCaption() const { return formCaption_; }
    // True when the control can take the keyboard focus now (focusable kind, enabled and
    // visible, in an enabled and visible frame).
    [[nodiscard]] bool CanFocus(int row) const;

    // Changes made by code (handlers). Each is announced; see the rules at each.
    void SetFormCaption(std::string caption);
    void SetCaption(int row, std::string caption);
    // Runs the change handler when the text differs from the old one.
    void SetText(int row, std::string text);
    // Options: a non-zero value selects the option; when it was not selected, the other
    // options of its frame are deselected and then its click handler runs, before this
    // returns. Zero deselects it and runs nothing. Check boxes: the value changes, nothing
    // runs.
    void SetValue(int row, int value);
    // Disabling or hiding the control that holds the focus first moves the focus on to the
    // next control in tab order that can take it.
    void SetEnabled(int row, bool enabled);
    void SetVisible(int row, bool visible);
    // Ignored when the control cannot take the focus now.
    void SetFocus(int row);

    // The user's input, from the view. Input on a disabled or hidden control does nothing.
    // A click moves the focus to the clicked control; on an option that is not selected it
    // selects it (with its handler), on the selected one it does nothing more; on a check
    // box it toggles the value and runs the click handler; on anything else it runs the
    // click handler.
    void UserClick(int row);
    // The user changed a text box's text; the view already shows it, so it is not announced
    // back, but the change handler runs.
    void UserTyped(int row, std::string text);
    // The native focus moved to `row` (not announced back).
    void UserFocus(int row);
    // Tab and Shift+Tab: the next tab stop in tab order, wrapping. An option is a tab stop
    // when it is the selected option of its group (or its group has no selected option that
    // can take the focus).
    void UserTab(bool backward);
    // Arrow keys on an option: the next option of its group in Index order (wrapping) that
    // can take the focus is focused and selected. Returns false when the focus is not on an
    // option, so the view can treat the key as usual.
    bool UserArrow(bool forward);

    // Row of the tab stop after (or before) `row` in tab order, wrapping; nothing if none.
    [[nodiscard]] std::optional<int> NextTabStop(int row, bool backward) const;

private:
    struct State {
        std::string caption;
        std::string text;
        int value = 0;
        bool enabled = true;
        bool visible = true;
    };

    [[nodiscard]] const State& at(int row) const;
    State& at(int row);
    [[nodiscard]] bool IsTabStop(int row) const;
    void Announce(int row, Property property);
    using Handlers = std::array<Handler, layout::kControlNameCount>;
    void Run(const Handlers& handlers, int row);
    void Select(int row);
    void MoveFocusFrom(int row);
    void ChangeFocus(int row, bool announce);

    std::vector<State> states_;
    std::vector<int> tabOrder_; // rows with a tab index, by tab index
    Handlers clickHandlers_;
    Handlers changeHandlers_;
    ModelObserver* observer_ = nullptr;
    std::optional<int> focus_;
    std::string formCaption_;
    bool active_ = false;
};

} // namespace qvn
