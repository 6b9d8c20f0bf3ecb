// The IDE as the builder window and Connect use it, over the IDE's objects reached late-bound
// by name. Every failure (a failing call, a missing object, a missing member) reaches the
// builder as IdeError, and Connect as win32util::ResultException.
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
    // By the IDE's version: VB5's language library is taken to have no VbMsgBoxResult.
    std::string MsgBoxResultType() override;

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
    long CountOfLines() override;
    std::string Lines(long line, long count) override;
    void DeleteLines(long line, long count) override;
    std::string ProcOfLine(long line, long& kind) override;
    long ProcBodyLine(const std::string& name, long kind) override;
    long CountOfDeclarationLines() override;
    // Through the module's component (Parent) and its collection (Collection).
    std::vector<std::vector<std::string>> ProjectModules() override;

private:
    ComPtr<IDispatch> module_;
};

// The Add-Ins menu operations of Connect.

// The bar behind the IDE's Add-Ins menu: CommandBars("Add-Ins") first; localized hosts name
// their bars in their own language, so then the built-in Add-Ins popup (control Id 30038) of
// the active menu bar, and the bar it opens.
ComPtr<IDispatch> AddInsCommandBar(IDispatch* vbe);
// Appends a plain command item (control type 1) to the bar and captions it. The item is
// temporary, so that a host which ends without disconnecting us does not keep it; a host that
// refuses the Temporary argument gets an item without it.
ComPtr<IDispatch> AppendMenuItem(IDispatch* bar, const std::wstring& caption);
// Deletes every control of the bar whose Tag is `tag`: items a session that never
// disconnected left behind.
void DeleteTaggedControls(IDispatch* bar, const std::wstring& tag);
// The event source that raises Click for `control` (which may be null: the IDE decides). The
// VB IDEs' source answers only IUnknown, whichever type it is handed out as; it is never
// asked for IDispatch.
ComPtr<IUnknown> CommandBarEventsFor(IDispatch* vbe, IDispatch* control);
// Removes the item from its bar (the optional Temporary argument left out).
void DeleteMenuItem(IDispatch* control);

} // namespace qvn::addin
