// A stand-in for the native view in tests: mirrors what the model announces.
#pragma once

#include "builder/model.h"

#include <map>
#include <optional>
#include <string>

namespace qvn::test {

// A stand-in view: mirrors what the model announces, keeps what the user types itself.
class MirrorView : public ModelObserver {
public:
    explicit MirrorView(const FormModel& model) : model_(model) {}
    void ControlChanged(int row, Property property) override {
        auto& s = states[row];
        switch (property) {
        case Property::Caption:
            s.caption = model_.Caption(row);
            break;
        case Property::Text:
            s.text = model_.Text(row);
            break;
        case Property::Value:
            s.value = model_.Value(row);
            break;
        case Property::Enabled:
            s.enabled = model_.Enabled(row);
            break;
        case Property::Visible:
            s.visible = model_.Visible(row);
            break;
        case Property::Focus:
            focus = row;
            break;
        }
    }
    void FormCaptionChanged(const std::string& caption) override { this->caption = caption; }

    struct State {
        std::string caption, text;
        int value = -1;
        bool enabled = false, visible = false;
    };
    std::map<int, State> states;
    std::optional<int> focus;
    std::string caption;

private:
    const FormModel& model_;
};

} // namespace qvn::test
