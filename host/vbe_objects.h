// The IDE's own objects: the root object VBE, its Events, the code pane and its module.
#pragma once

#include "host/command_bars.h"
#include "host/event_source.h"

#include <vbide.h>

namespace qvn::host {

class CodePaneObject;

// The module of project component `component` (from 1; 1 is the code pane's module).
class CodeModuleObject final : public DispatchObject<::CodeModule> {
public:
    explicit CodeModuleObject(std::shared_ptr<HostState> state, long component = 1);

    HRESULT STDMETHODCALLTYPE get_Parent(::VBComponent** component) override;
    HRESULT STDMETHODCALLTYPE get_Lines(LONG startLine, LONG count, BSTR* lines) override;
    HRESULT STDMETHODCALLTYPE get_CountOfLines(LONG* count) override;
    HRESULT STDMETHODCALLTYPE InsertLines(LONG line, BSTR text) override;
    HRESULT STDMETHODCALLTYPE DeleteLines(LONG startLine, LONG count) override;
    HRESULT STDMETHODCALLTYPE get_ProcStartLine(BSTR name, vbext_ProcKind kind,
                                                LONG* line) override;
    HRESULT STDMETHODCALLTYPE get_ProcBodyLine(BSTR name, vbext_ProcKind kind, LONG* line) override;
    HRESULT STDMETHODCALLTYPE get_ProcOfLine(LONG line, vbext_ProcKind* kind, BSTR* name) override;
    HRESULT STDMETHODCALLTYPE get_CountOfDeclarationLines(LONG* count) override;
    HRESULT STDMETHODCALLTYPE get_CodePane(::CodePane** pane) override;

    void SetPane(CodePaneObject* pane) { pane_ = pane; }

protected:
    [[nodiscard]] std::span<const DispMember> Members() const override;
    HRESULT Dispatch(DISPID id, WORD flags, const Args& args, VARIANT* result,
                     UINT* argErr) override;

private:
    void Changed();
    std::vector<std::wstring>& Text();
    // The procedure's first line and its Sub line, found by name (any case) and kind.
    HRESULT FindProcedure(BSTR name, long kind, long& start, long& body);
    long component_;
    CodePaneObject* pane_ = nullptr; // the pane owns the module
};

// One component of the project: the pane's module or one of the project's others. `module`
// is its module object when the caller has it already.
class ComponentObject final : public DispatchObject<::VBComponent> {
public:
    ComponentObject(std::shared_ptr<HostState> state, long index,
                    Microsoft::WRL::ComPtr<CodeModuleObject> module = nullptr);

    HRESULT STDMETHODCALLTYPE get_Name(BSTR* name) override;
    HRESULT STDMETHODCALLTYPE get_CodeModule(::CodeModule** module) override;
    HRESULT STDMETHODCALLTYPE get_Type(vbext_ComponentType* type) override;
    HRESULT STDMETHODCALLTYPE get_Collection(::VBComponents** components) override;

protected:
    [[nodiscard]] std::span<const DispMember> Members() const override;
    HRESULT Dispatch(DISPID id, WORD flags, const Args& args, VARIANT* result,
                     UINT* argErr) override;

private:
    long index_;
    Microsoft::WRL::ComPtr<CodeModuleObject> module_;
};

// The project's components; Item takes a position from 1 or a name. Each call hands out new
// objects over the same text.
class ComponentsObject final : public DispatchObject<::VBComponents> {
public:
    explicit ComponentsObject(std::shared_ptr<HostState> state);

    HRESULT STDMETHODCALLTYPE Item(VARIANT index, ::VBComponent** component) override;
    HRESULT STDMETHODCALLTYPE get_Count(LONG* count) override;

protected:
    [[nodiscard]] std::span<const DispMember> Members() const override;
    HRESULT Dispatch(DISPID id, WORD flags, const Args& args, VARIANT* result,
                     UINT* argErr) override;
};

class CodePaneObject final : public DispatchObject<::CodePane> {
public:
    explicit CodePaneObject(std::shared_ptr<HostState> state);
    ~CodePaneObject() override;

    HRESULT STDMETHODCALLTYPE GetSelection(LONG* startLine, LONG* startColumn, LONG* endLine,
                                           LONG* endColumn) override;
    HRESULT STDMETHODCALLTYPE SetSelection(LONG startLine, LONG startColumn, LONG endLine,
                                           LONG endColumn) override;
    HRESULT STDMETHODCALLTYPE get_CodeModule(::CodeModule** module) override;

protected:
    [[nodiscard]] std::span<const DispMember> Members() const override;
    HRESULT Dispatch(DISPID id, WORD flags, const Args& args, VARIANT* result,
                     UINT* argErr) override;

private:
    Microsoft::WRL::ComPtr<CodeModuleObject> module_;
};

class EventsObject final : public DispatchObject<::Events> {
public:
    explicit EventsObject(std::shared_ptr<HostState> state);

    HRESULT STDMETHODCALLTYPE get_CommandBarEvents(IDispatch* control,
                                                   ::CommandBarEvents** events) override;

protected:
    [[nodiscard]] std::span<const DispMember> Members() const override;
    HRESULT Dispatch(DISPID id, WORD flags, const Args& args, VARIANT* result,
                     UINT* argErr) override;
};

class VbeObject final : public DispatchObject<::VBE> {
public:
    VbeObject(std::shared_ptr<HostState> state, CommandBarsObject* bars, EventsObject* events,
              CodePaneObject* pane);

    HRESULT STDMETHODCALLTYPE get_Version(BSTR* version) override;
    HRESULT STDMETHODCALLTYPE get_CommandBars(::CommandBars** bars) override;
    HRESULT STDMETHODCALLTYPE get_Events(::Events** events) override;
    HRESULT STDMETHODCALLTYPE get_ActiveCodePane(::CodePane** pane) override;

protected:
    [[nodiscard]] std::span<const DispMember> Members() const override;
    HRESULT Dispatch(DISPID id, WORD flags, const Args& args, VARIANT* result,
                     UINT* argErr) override;

private:
    Microsoft::WRL::ComPtr<CommandBarsObject> bars_;
    Microsoft::WRL::ComPtr<EventsObject> events_;
    Microsoft::WRL::ComPtr<CodePaneObject> pane_;
};

} // namespace qvn::host
