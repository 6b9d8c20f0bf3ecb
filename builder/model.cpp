#include "builder/model.h"

#include <algorithm>
#include <stdexcept>

namespace qvn {

using layout::ControlKind;

const std::string& ControlRef::Caption() const {
    return model_->Caption(row_);
}
const std::string& ControlRef::Text() const {
    return model_->Text(row_);
}
int ControlRef::Value() const {
    return model_->Value(row_);
}
bool ControlRef::Enabled() const {
    return model_->Enabled(row_);
}
bool ControlRef::Visible() const {
    return model_->Visible(row_);
}
void ControlRef::SetCaption(std::string caption) const {
    model_->SetCaption(row_, std::move(caption));
}
void ControlRef::SetText(std::string text) const {
    model_->SetText(row_, std::move(text));
}
void ControlRef::SetValue(int value) const {
    model_->SetValue(row_, value);
}
void ControlRef::SetEnabled(bool enabled) const {
    model_->SetEnabled(row_, enabled);
}
void ControlRef::SetVisible(bool visible) const {
    model_->SetVisible(row_, visible);
}
void ControlRef::SetFocus() const {
    model_->SetFocus(row_);
}

FormModel::FormModel() : states_(layout::Controls().size()) {
    const auto controls = layout::Controls();
    for (std::size_t row = 0; row < controls.size(); ++row) {
        if (controls[row].tabIndex != layout::kNoTabIndex) {
            tabOrder_.push_back(static_cast<int>(row));
        }
    }
    std::sort(tabOrder_.begin(), tabOrder_.end(), [&](int a, int b) {
        return controls[static_cast<std::size_t>(a)].tabIndex <
               controls[static_cast<std::size_t>(b)].tabIndex;
    });
    ResetToDesign();
}

const layout::ControlSpec& FormModel::Layout(int row) {
    return layout::Controls()[static_cast<std::size_t>(row)];
}

const FormModel::State& FormModel::at(int row) const {
    return states_.at(static_cast<std::size_t>(row));
}

FormModel::State& FormModel::at(int row) {
    return states_.at(static_cast<std::size_t>(row));
}

void FormModel::OnClick(layout::ControlName name, Handler handler) {
    clickHandlers_[static_cast<std::size_t>(name)] = std::move(handler);
}

void FormModel::OnChange(layout::ControlName name, Handler handler) {
    changeHandlers_[static_cast<std::size_t>(name)] = std::move(handler);
}

std::vector<layout::ControlName> FormModel::HandlerNames() const {
    std::vector<layout::ControlName> names;
    for (const auto* handlers : {&clickHandlers_, &changeHandlers_}) {
        for (std::size_t name = 0; name < handlers->size(); ++name) {
            if ((*handlers)[name]) {
                names.push_back(static_cast<layout::ControlName>(name));
            }
        }
    }
    return names;
}

void FormModel::ResetToDesign() {
    focus_.reset();
    formCaption_ = std::string(layout::kDesignCaption);
    if (observer_ != nullptr) {
        observer_->FormCaptionChanged(formCaption_);
    }
    for (std::size_t i = 0; i < states_.size(); ++i) {
        const auto& control = layout::Controls()[i];
        states_[i] = State{std::string(control.caption),
                           {},
                           control.designValue,
                           control.designEnabled,
                           control.designVisible};
        const int row = static_cast<int>(i);
        for (auto p : {Property::Caption, Property::Text, Property::Value, Property::Enabled,
                       Property::Visible}) {
            Announce(row, p);
        }
    }
}

ControlRef FormModel::Ctl(layout::ControlName name, int index) {
    return ControlRef(*this, layout::RowOf(name, index));
}

std::optional<int> FormModel::SelectedIndex(layout::ControlName name) const {
    for (int index = 0; auto row = layout::FindRow(name, index); ++index) {
        if (Layout(*row).kind == ControlKind::Option && at(*row).value != 0) {
            return index;
        }
    }
    return std::nullopt;
}

bool FormModel::CanFocus(int row) const {
    const auto& control = Layout(row);
    if (!control.TakesFocus() || !at(row).enabled || !at(row).visible) {
        return false;
    }
    if (control.container) {
        const int frame = layout::RowOf(*control.container);
        return at(frame).enabled && at(frame).visible;
    }
    return true;
}

void FormModel::Announce(int row, Property property) {
    if (observer_ != nullptr) {
        observer_->ControlChanged(row, property);
    }
}

void FormModel::Run(const Handlers& handlers, int row) {
    const auto& control = Layout(row);
    // A copy, so that a handler may replace handlers while it runs.
    if (Handler handler = handlers[static_cast<std::size_t>(control.name)]) {
        handler(control.index);
    }
}

void FormModel::SetFormCaption(std::string caption) {
    formCaption_ = std::move(caption);
    if (observer_ != nullptr) {
        observer_->FormCaptionChanged(formCaption_);
    }
}

void FormModel::SetCaption(int row, std::string caption) {
    if (at(row).caption == caption) {
        return;
    }
    at(row).caption = std::move(caption);
    Announce(row, Property::Caption);
}

void FormModel::SetText(int row, std::string text) {
    if (at(row).text == text) {
        return;
    }
    at(row).text = std::move(text);
    Announce(row, Property::Text);
    Run(changeHandlers_, row);
}

void FormModel::Select(int row) {
    const auto& control = Layout(row);
    const auto controls = layout::Controls();
    for (std::size_t other = 0; other < controls.size(); ++other) {
        if (static_cast<int>(other) != row && controls[other].kind == ControlKind::Option &&
            controls[other].container == control.container && states_[other].value != 0) {
            states_[other].value = 0;
            Announce(static_cast<int>(other), Property::Value);
        }
    }
    at(row).value = 1;
    Announce(row, Property::Value);
    Run(clickHandlers_, row);
}

void FormModel::SetValue(int row, int value) {
    const auto& control = Layout(row);
    if (control.kind == ControlKind::Option) {
        if (value != 0 && at(row).value == 0) {
            Select(row);
        } else if (value == 0 && at(row).value != 0) {
            at(row).value = 0;
            Announce(row, Property::Value);
        }
        return;
    }
    if (at(row).value != value) {
        at(row).value = value;
        Announce(row, Property::Value);
    }
}

void FormModel::MoveFocusFrom(int row) {
    if (focus_ != row) {
        return;
    }
    // Look for the next stop while the control still counts as one, then leave it.
    auto next = NextTabStop(row, false);
    if (next == row) {
        next.reset();
    }
    if (next) {
        ChangeFocus(*next, true);
    } else {
        focus_.reset();
    }
}

void FormModel::SetEnabled(int row, bool enabled) {
    if (at(row).enabled == enabled) {
        return;
    }
    if (!enabled) {
        MoveFocusFrom(row);
    }
    at(row).enabled = enabled;
    Announce(row, Property::Enabled);
}

void FormModel::SetVisible(int row, bool visible) {
    if (at(row).visible == visible) {
        return;
    }
    if (!visible) {
        MoveFocusFrom(row);
    }
    at(row).visible = visible;
    Announce(row, Property::Visible);
}

void FormModel::ChangeFocus(int row, bool announce) {
    if (focus_ == row) {
        return;
    }
    focus_ = row;
    if (announce) {
        Announce(row, Property::Focus);
    }
}

void FormModel::SetFocus(int row) {
    if (CanFocus(row)) {
        ChangeFocus(row, true);
    }
}

bool FormModel::IsTabStop(int row) const {
    if (!CanFocus(row)) {
        return false;
    }
    const auto& control = Layout(row);
    if (control.kind != ControlKind::Option || at(row).value != 0) {
        return true;
    }
    // An unselected option is a stop only when its group's selected option cannot be reached.
    const auto controls = layout::Controls();
    for (std::size_t other = 0; other < controls.size(); ++other) {
        if (controls[other].kind == ControlKind::Option &&
            controls[other].container == control.container && states_[other].value != 0 &&
            CanFocus(static_cast<int>(other))) {
            return false;
        }
    }
    return true;
}

std::optional<int> FormModel::NextTabStop(int row, bool backward) const {
    const int count = static_cast<int>(tabOrder_.size());
    auto here = std::find(tabOrder_.begin(), tabOrder_.end(), row);
    // From a control without a tab place, start before the first (or after the last).
    int pos = here == tabOrder_.end() ? (backward ? 0 : count - 1)
                                      : static_cast<int>(here - tabOrder_.begin());
    for (int step = 1; step <= count; ++step) {
        const int next = ((pos + (backward ? -step : step)) % count + count) % count;
        if (IsTabStop(tabOrder_[static_cast<std::size_t>(next)])) {
            return tabOrder_[static_cast<std::size_t>(next)];
        }
    }
    return std::nullopt;
}

void FormModel::UserClick(int row) {
    if (!active_ || !at(row).enabled || !at(row).visible) {
        return;
    }
    const auto& control = Layout(row);
    if (control.TakesFocus()) {
        SetFocus(row);
    }
    switch (control.kind) {
    case ControlKind::Option:
        if (at(row).value == 0) {
            Select(row);
        }
        break;
    case ControlKind::CheckBox:
        at(row).value = at(row).value == 1 ? 0 : 1;
        Announce(row, Property::Value);
        Run(clickHandlers_, row);
        break;
    case ControlKind::TextBox:
    case ControlKind::FileDialog:
        break;
    default:
        Run(clickHandlers_, row);
        break;
    }
}

void FormModel::UserTyped(int row, std::string text) {
    if (!active_ || Layout(row).kind != ControlKind::TextBox || !at(row).enabled ||
        at(row).text == text) {
        return;
    }
    at(row).text = std::move(text);
    Run(changeHandlers_, row);
}

void FormModel::UserFocus(int row) {
    if (active_ && CanFocus(row)) {
        ChangeFocus(row, false);
    }
}

void FormModel::UserTab(bool backward) {
    if (!active_) {
        return;
    }
    const int from = focus_.value_or(tabOrder_.empty() ? 0 : tabOrder_.back());
    if (auto next = NextTabStop(from, backward); next && next != focus_) {
        ChangeFocus(*next, true);
    }
}

bool FormModel::UserArrow(bool forward) {
    if (!active_ || !focus_ || Layout(*focus_).kind != ControlKind::Option) {
        return false;
    }
    const auto& control = Layout(*focus_);
    std::vector<int> group;
    for (int index = 0; auto row = layout::FindRow(control.name, index); ++index) {
        group.push_back(*row);
    }
    const int count = static_cast<int>(group.size());
    for (int step = 1; step < count; ++step) {
        const int next = ((control.index + (forward ? step : -step)) % count + count) % count;
        const int row = group[static_cast<std::size_t>(next)];
        if (CanFocus(row)) {
            ChangeFocus(row, true);
            if (at(row).value == 0) {
                Select(row);
            }
            break;
        }
    }
    return true;
}

} // namespace qvn
