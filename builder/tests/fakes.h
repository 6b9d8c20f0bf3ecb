// Recording fakes of the platform services and the IDE for the builder's native tests.
#pragma once

#include "builder/frm_main.h"
#include "builder/ide_operations.h"
#include "builder/platform_services.h"

#include <map>
#include <optional>
#include <sstream>
#include <stdexcept>
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
        if (helpThrows) {
            throw std::runtime_error("basic_string::_M_create");
        }
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
    bool helpThrows = false; // the viewer's call fails with a runtime error
    int unloadRequests = 0;
};

class FakeConnect : public AddinConnect {
public:
    void Show() noexcept override { ++shows; }
    void Hide() noexcept override { ++hides; }
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
    DeleteLines,
    ProcOfLine,
    ProcBodyLine,
    CountOfDeclarationLines,
    ProjectModules,
    MsgBoxResultType
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
    std::vector<std::vector<std::string>> otherModules; // the rest of the project
    std::string resultType = "VbMsgBoxResult";

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
    // As the IDE counts: a procedure owns the lines from the end of the one before it (or of
    // the declarations) to its End line, and the last one owns what follows.
    std::string ProcOfLine(long line, long& kind) override {
        log_.MaybeFail(IdeStep::ProcOfLine);
        kind = 0;
        long owner = 0;
        for (long header : Headers()) {
            owner = header;
            if (EndOf(header) >= line) {
                break;
            }
        }
        return owner == 0 || line <= CountOfDeclarationLines() ? std::string() : NameOf(owner);
    }
    long ProcBodyLine(const std::string& name, long /*kind*/) override {
        log_.MaybeFail(IdeStep::ProcBodyLine);
        for (long header : Headers()) {
            if (NameOf(header) == name) {
                return header;
            }
        }
        throw IdeError("no such procedure");
    }
    long CountOfDeclarationLines() override {
        log_.MaybeFail(IdeStep::CountOfDeclarationLines);
        const std::vector<long> headers = Headers();
        long last = headers.empty() ? static_cast<long>(log_.module.size()) : headers[0] - 1;
        while (last > 0 && Blank(log_.module[static_cast<std::size_t>(last - 1)])) {
            --last;
        }
        return last;
    }
    std::vector<std::vector<std::string>> ProjectModules() override {
        log_.MaybeFail(IdeStep::ProjectModules);
        return log_.otherModules;
    }

private:
    static bool Blank(const std::string& line) {
        return line.find_first_not_of(" \t") == std::string::npos;
    }
    static std::string FirstWords(const std::string& line, std::size_t skip) {
        std::istringstream words(line);
        std::string word;
        for (std::size_t i = 0; i <= skip && (words >> word); ++i) {
        }
        return word;
    }
    // The words of a procedure's first line, past Public, Private, Friend and Static.
    static std::size_t ProcedureWord(const std::string& line) {
        std::size_t i = 0;
        for (std::string w = FirstWords(line, 0);
             w == "Public" || w == "Private" || w == "Friend" || w == "Static";
             w = FirstWords(line, ++i)) {
        }
        const std::string w = FirstWords(line, i);
        if (w == "Sub" || w == "Function") {
            return i + 1;
        }
        return w == "Property" ? i + 2 : std::string::npos;
    }
    std::vector<long> Headers() const {
        std::vector<long> headers;
        for (std::size_t i = 0; i < log_.module.size(); ++i) {
            if (ProcedureWord(log_.module[i]) != std::string::npos) {
                headers.push_back(static_cast<long>(i) + 1);
            }
        }
        return headers;
    }
    std::string NameOf(long header) const {
        const std::string& line = log_.module[static_cast<std::size_t>(header - 1)];
        const std::string word = FirstWords(line, ProcedureWord(line));
        return word.substr(0, word.find('('));
    }
    long EndOf(long header) const {
        for (auto i = static_cast<std::size_t>(header); i < log_.module.size(); ++i) {
            const std::string first = FirstWords(log_.module[i], 0);
            const std::string second = FirstWords(log_.module[i], 1);
            if (first == "End" &&
                (second == "Sub" || second == "Function" || second == "Property")) {
                return static_cast<long>(i) + 1;
            }
        }
        return static_cast<long>(log_.module.size());
    }

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
    std::string MsgBoxResultType() override {
        log.MaybeFail(IdeStep::MsgBoxResultType);
        return log.resultType;
    }
    IdeLog log;
};

} // namespace qvn::test
