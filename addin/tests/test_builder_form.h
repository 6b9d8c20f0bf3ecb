// A builder window for tests: the builder's real behaviour (frmMain with its model) behind
// the BuilderForm boundary, with recording platform services and no native window. While it
// is "shown", a script plays the user; when the script leaves it open, the user closes it.
#pragma once

#include "builder/builder_form.h"
#include "builder/frm_main.h"
#include "builder/platform_services.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace qvn::addin::testing {

struct ShownMessage {
    std::string text;
    std::int32_t style;
    std::optional<std::string> title;
};

class TestBuilderForm;

struct FormLog {
    int created = 0;
    int destroyed = 0;
    int displays = 0; // modal displays that ran (nested requests not counted)
    std::vector<ShownMessage> messages;
    std::function<void(TestBuilderForm&)> whileShown;
};

class TestServices final : public PlatformServices {
public:
    explicit TestServices(FormLog& log) : log_(log) {}
    int ShowMessage(const std::string& text, std::int32_t style,
                    const std::optional<std::string>& title) override {
        log_.messages.push_back({text, style, title});
        return 1;
    }
    bool ClearClipboard() override { return true; }
    bool SetClipboardText(const std::string& text) override {
        clipboard = text;
        return true;
    }
    std::optional<std::string> ShowOpenFileDialog(std::string_view, std::string_view) override {
        return std::nullopt;
    }
    std::optional<std::string> ShowHelp(const std::string&, unsigned) override {
        return std::nullopt;
    }
    void UnloadForm() override {
        if (form != nullptr) {
            form->Unload();
        }
    }

    frmMain* form = nullptr;
    std::string clipboard;

private:
    FormLog& log_;
};

class TestBuilderForm final : public BuilderForm {
public:
    explicit TestBuilderForm(FormLog& log) : log_(log), services_(log), form_(services_) {
        services_.form = &form_;
        ++log_.created;
    }
    ~TestBuilderForm() override { ++log_.destroyed; }

    void SetVBInstance(std::shared_ptr<IdeRoot> vbInstance) override {
        form_.VBInstance = std::move(vbInstance);
    }
    void SetConnect(AddinConnect* connect) override { form_.Connect = connect; }
    bool PrepareEdit() override { return form_.PrepareEdit(); }

    void ShowModal() override {
        if (showing_) {
            return; // the load step's own request while the window opens
        }
        showing_ = true;
        form_.Load();
        ++log_.displays;
        if (log_.whileShown) {
            log_.whileShown(*this);
        }
        if (form_.IsLoaded() && showing_) {
            form_.cmdExit_Click(); // the user closes the window
        }
        showing_ = false;
    }
    void HideForm() override { showing_ = false; }
    void Unload() override {
        form_.Unload();
        showing_ = false;
    }
    [[nodiscard]] bool IsLoaded() const override { return form_.IsLoaded(); }
    [[nodiscard]] bool IsShowing() const override { return showing_; }

    frmMain& Form() { return form_; }

private:
    FormLog& log_;
    TestServices services_;
    frmMain form_;
    bool showing_ = false;
};

} // namespace qvn::addin::testing
