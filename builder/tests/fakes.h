// Recording fakes of the platform services and the IDE for the builder's native tests.
#pragma once

#include "builder/frm_main.h"
#include "builder/ide_operations.h"
#include "builder/platform_services.h"

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace qvn::test {

struct MessageCall {
    std::string text;
    std::int32_t style;
    std::optional<std::string> title;
};

class FakeServices : public PlatformServices {
public:
    int ShowMessage(const std::string& text, std::int32_t style,
                    const std::optional<std::string>& title) override {
        messages.push_back({text, style, title});
        return 1;
    }
    bool ClearClipboard() override {
        ++clearCalls;
        if (clearFails) {
            return false;
        }
        clipboard.reset();
        return true;
    }
    bool SetClipboardText(const std::string& text) override {
        if (setFails) {
            return false;
        }
        clipboard = text;
        return true;
    }
    std::optional<std::string> ShowOpenFileDialog(std::string_view title,
                                                  std::string_view filter) override {
        dialogTitle = title;
        dialogFilter = filter;
        ++dialogCalls;
        return dialogAnswer;
    }
    std::optional<std::string> ShowHelp(const std::string& helpFile, unsigned command) override {
        helpCalls.emplace_back(helpFile, command);
        return helpFailure;
    }
    void UnloadForm() override {
        ++unloadRequests;
        if (form != nullptr) {
            form->Unload();
        }
    }

    frmMain* form = nullptr;
    std::vector<MessageCall> messages;
    std::optional<std::string> clipboard;
    bool clearFails = false;
    bool setFails = false;
    int clearCalls = 0;
    std::optional<std::string> dialogAnswer;
    std::string dialogTitle, dialogFilter;
    int dialogCalls = 0;
    std::vector<std::pair<std::string, unsigned>> helpCalls;
    std::optional<std::string> helpFailure;
    int unloadRequests = 0;
};

class FakeConnect : public AddinConnect {
public:
    void Show() override { ++shows; }
    void Hide() override { ++hides; }
    int shows = 0;
    int hides = 0;
};

// Which IDE operation fails, and how.
enum class IdeStep {
    None,
    ActiveCodePane,
    NoPane,
    GetSelection,
    CodeModule,
    InsertLines,
    Lines,
    DeleteLines
};

struct IdeLog {
    IdeStep failAt = IdeStep::None;
    bool failWithStdException = false; // std::runtime_error instead of IdeError
    long startLine = 5;
    int livePanes = 0;
    int liveModules = 0;
    int panesTaken = 0;
    std::vector<std::pair<long, std::string>> inserted;
    std::vector<std::string> module; // the lines Lines reads and DeleteLines deletes

    void MaybeFail(IdeStep step) const {
        if (failAt != step) {
            return;
        }
        if (failWithStdException) {
            throw std::runtime_error("IDE call failed");
        }
        throw IdeError("IDE call failed");
    }
};

class FakeModule : public IdeCodeModule {
public:
    explicit FakeModule(IdeLog& log) : log_(log) { ++log_.liveModules; }
    ~FakeModule() override { --log_.liveModules; }
    void InsertLines(long line, const std::string& text) override {
        log_.MaybeFail(IdeStep::InsertLines);
        log_.inserted.emplace_back(line, text);
        std::vector<std::string> added;
        for (std::size_t start = 0;;) {
            const std::size_t end = text.find("\r\n", start);
            added.push_back(text.substr(start, end - start));
            if (end == std::string::npos) {
                break;
            }
            start = end + 2;
        }
        const auto at = std::min(static_cast<std::size_t>(line - 1), log_.module.size());
        log_.module.insert(log_.module.begin() + static_cast<std::ptrdiff_t>(at), added.begin(),
                           added.end());
    }
    long CountOfLines() override {
        log_.MaybeFail(IdeStep::Lines);
        return static_cast<long>(log_.module.size());
    }
    std::string Lines(long line, long count) override {
        log_.MaybeFail(IdeStep::Lines);
        std::string text;
        for (long i = line; i < line + count; ++i) {
            text += (i > line ? "\r\n" : "") + log_.module.at(static_cast<std::size_t>(i - 1));
        }
        return text;
    }
    void DeleteLines(long line, long count) override {
        log_.MaybeFail(IdeStep::DeleteLines);
        auto first = log_.module.begin() + (line - 1);
        log_.module.erase(first, first + count);
    }

private:
    IdeLog& log_;
};

class FakePane : public IdeCodePane {
public:
    explicit FakePane(IdeLog& log) : log_(log) { ++log_.livePanes; }
    ~FakePane() override { --log_.livePanes; }
    void GetSelection(long& startLine, long& startColumn, long& endLine, long& endColumn) override {
        log_.MaybeFail(IdeStep::GetSelection);
        startLine = log_.startLine;
        startColumn = 3;
        endLine = log_.startLine + 2;
        endColumn = 1;
    }
    std::unique_ptr<IdeCodeModule> CodeModule() override {
        log_.MaybeFail(IdeStep::CodeModule);
        return std::make_unique<FakeModule>(log_);
    }

private:
    IdeLog& log_;
};

class FakeIde : public IdeRoot {
public:
    std::unique_ptr<IdeCodePane> ActiveCodePane() override {
        log.MaybeFail(IdeStep::ActiveCodePane);
        if (log.failAt == IdeStep::NoPane) {
            return nullptr;
        }
        ++log.panesTaken;
        return std::make_unique<FakePane>(log);
    }
    IdeLog log;
};

} // namespace qvn::test
