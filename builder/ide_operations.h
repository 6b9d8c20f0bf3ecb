// The IDE as the builder window sees it: the few operations that Paste needs, and the add-in
// object that shows and hides the window. The add-in supplies implementations that call the
// real IDE; tests supply recording fakes.
#pragma once

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace qvn {

// Any failure of an IDE operation: a failing call, a missing object or a missing member.
// Paste turns every one of them into its "Paste Error" message.
class IdeError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class IdeCodeModule {
public:
    virtual ~IdeCodeModule() = default;
    // Inserts `text` (lines joined by CR LF) as new lines before line `line` (from 1).
    virtual void InsertLines(long line, const std::string& text) = 0;
    // How many lines the module has; `count` lines from `line` (from 1) joined by CR LF; and
    // their deletion.
    virtual long CountOfLines() = 0;
    virtual std::string Lines(long line, long count) = 0;
    virtual void DeleteLines(long line, long count) = 0;
    // The procedure that line `line` belongs to, and its kind (Sub or Function, Property Get,
    // Let or Set) through `kind`; an empty name in the declarations section.
    virtual std::string ProcOfLine(long line, long& kind) = 0;
    // The line of that procedure's Sub, Function or Property statement.
    virtual long ProcBodyLine(const std::string& name, long kind) = 0;
    // How many lines the declarations section has, from line 1.
    virtual long CountOfDeclarationLines() = 0;
    // Every module of the module's project, each as its lines; this one may be among them,
    // which is harmless where only what a module makes public counts.
    virtual std::vector<std::vector<std::string>> ProjectModules() = 0;
};

class IdeCodePane {
public:
    virtual ~IdeCodePane() = default;
    virtual void GetSelection(long& startLine, long& startColumn, long& endLine,
                              long& endColumn) = 0;
    virtual std::unique_ptr<IdeCodeModule> CodeModule() = 0;
};

// The IDE root object (VBInstance). Every operation throws IdeError on failure; the
// absence of an active code pane is a failure too.
class IdeRoot {
public:
    virtual ~IdeRoot() = default;
    virtual std::unique_ptr<IdeCodePane> ActiveCodePane() = 0;
    // The type a declaration gives the variable that receives MsgBox's result: the
    // enumeration where the host's language library has one.
    virtual std::string MsgBoxResultType() = 0;
};

// The add-in object as the window sees it (its public member Connect). Its commands report
// their own failures and never throw, so the window's load and unload run to the end.
class AddinConnect {
public:
    virtual ~AddinConnect() = default;
    virtual void Show() noexcept = 0;
    virtual void Hide() noexcept = 0;
};

} // namespace qvn
