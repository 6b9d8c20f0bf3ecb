// The IDE as the builder window and Connect use it, over the IDE's objects reached late-bound
// by name. Every failure (a failing call, a missing object, a missing member) is thrown as
// DispatchError, which the builder's paste catches as IdeError.
#pragma once

#include "addin/dispatch_call.h"
#include "builder/ide_operations.h"

#include <memory>
#include <string>

namespace qvn::addin {

class DispatchIdeRoot final : public IdeRoot {
public:
    // `vbe` may be null (the add-in shown without a connection): every call then fails.
    explicit DispatchIdeRoot(ComPtr<IDispatch> vbe) : vbe_(std::move(vbe)) {}
    std::unique_ptr<IdeCodePane> ActiveCodePane() override;

private:
    ComPtr<IDispatch> vbe_;
};

class DispatchCodePane final : public IdeCodePane {
public:
    explicit DispatchCodePane(ComPtr<IDispatch> pane) : pane_(std::move(pane)) {}
    void GetSelection(long& startLine, long& startColumn, long& endLine, long& endColumn) override;
    std::unique_ptr<IdeCodeModule> CodeModule() override;

private:
    ComPtr<IDispatch> pane_;
};

class DispatchCodeModule final : public IdeCodeModule {
public:
    explicit DispatchCodeModule(ComPtr<IDispatch> module) : module_(std::move(module)) {}
    void InsertLines(long line, const std::string& text) override;

private:
    ComPtr<IDispatch> module_;
};

// The Add-Ins menu operations of Connect.

// The command bar called `barName` from the IDE's CommandBars.
ComPtr<IDispatch> CommandBarNamed(IDispatch* vbe, const std::wstring& barName);
// Appends a plain command item (control type 1) to the bar and captions it.
ComPtr<IDispatch> AppendMenuItem(IDispatch* bar, const std::wstring& caption);
// The event source that raises Click for `control` (which may be null: the IDE decides).
ComPtr<IDispatch> CommandBarEventsFor(IDispatch* vbe, IDispatch* control);
// Removes the item from its bar (the optional Temporary argument left out).
void DeleteMenuItem(IDispatch* control);

} // namespace qvn::addin
