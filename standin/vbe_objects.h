// The IDE's own objects: the root object VBE, its Events, the code pane and its module, and
// the project's components. In the VBA editor each answers for the VBA library's interface of
// the same layout.
#pragma once

#include "standin/command_bars.h"

#include <vbide.h>

namespace qvn::standin {

class CodePaneObject;

// The module of project component `component` (from 1; 1 is the code pane's module).
class CodeModuleObject final : public IdeDispatch<::CodeModule> {
public:
    explicit CodeModuleObject(std::shared_ptr<HostState> state, long component = 1);

    HRESULT STDMETHODCALLTYPE get_Parent(::VBComponent** component) noexcept override;
    HRESULT STDMETHODCALLTYPE get_Lines(LONG startLine, LONG count, BSTR* lines) noexcept override;
    HRESULT STDMETHODCALLTYPE get_CountOfLines(LONG* count) noexcept override;
    HRESULT STDMETHODCALLTYPE InsertLines(LONG line, BSTR text) noexcept override;
    HRESULT STDMETHODCALLTYPE DeleteLines(LONG startLine, LONG count) noexcept override;
    HRESULT STDMETHODCALLTYPE get_ProcStartLine(BSTR name, vbext_ProcKind kind,
                                                LONG* line) noexcept override;
    HRESULT STDMETHODCALLTYPE get_ProcBodyLine(BSTR name, vbext_ProcKind kind,
                                               LONG* line) noexcept override;
    HRESULT STDMETHODCALLTYPE get_ProcOfLine(LONG line, vbext_ProcKind* kind,
                                             BSTR* name) noexcept override;
    HRESULT STDMETHODCALLTYPE get_CountOfDeclarationLines(LONG* count) noexcept override;
    HRESULT STDMETHODCALLTYPE get_CodePane(::CodePane** pane) noexcept override;

    void SetPane(CodePaneObject* pane) { pane_ = pane; }

private:
    void Changed();
    std::vector<std::wstring>& Text();
    // The line of the procedure found by name (any case) and kind: its first line, or its Sub
    // line when `body`.
    HRESULT ProcedureLine(const wchar_t* operation, BSTR name, long kind, bool body, LONG* line);

    long component_;
    CodePaneObject* pane_ = nullptr; // the pane owns the module
};

// One component of the project: the pane's module or one of the project's others. `module`
// is its module object when the caller has it already.
class ComponentObject final : public IdeDispatch<::VBComponent> {
public:
    ComponentObject(std::shared_ptr<HostState> state, long index,
                    Microsoft::WRL::ComPtr<CodeModuleObject> module = nullptr);

    HRESULT STDMETHODCALLTYPE get_Name(BSTR* name) noexcept override;
    HRESULT STDMETHODCALLTYPE get_CodeModule(::CodeModule** module) noexcept override;
    HRESULT STDMETHODCALLTYPE get_Type(vbext_ComponentType* type) noexcept override;
    HRESULT STDMETHODCALLTYPE get_Collection(::VBComponents** components) noexcept override;

private:
    long index_;
    Microsoft::WRL::ComPtr<CodeModuleObject> module_;
};

// The project's components; Item takes a position from 1 or a name. Each call hands out new
// objects over the same text.
class ComponentsObject final : public IdeDispatch<::VBComponents> {
public:
    explicit ComponentsObject(std::shared_ptr<HostState> state);

    HRESULT STDMETHODCALLTYPE Item(VARIANT index, ::VBComponent** component) noexcept override;
    HRESULT STDMETHODCALLTYPE get_Count(LONG* count) noexcept override;
};

class CodePaneObject final : public IdeDispatch<::CodePane> {
public:
    explicit CodePaneObject(std::shared_ptr<HostState> state);
    ~CodePaneObject() override;

    HRESULT STDMETHODCALLTYPE GetSelection(LONG* startLine, LONG* startColumn, LONG* endLine,
                                           LONG* endColumn) noexcept override;
    HRESULT STDMETHODCALLTYPE SetSelection(LONG startLine, LONG startColumn, LONG endLine,
                                           LONG endColumn) noexcept override;
    HRESULT STDMETHODCALLTYPE get_CodeModule(::CodeModule** module) noexcept override;

private:
    Microsoft::WRL::ComPtr<CodeModuleObject> module_;
};

class EventsObject final : public IdeDispatch<::Events> {
public:
    explicit EventsObject(std::shared_ptr<HostState> state);

    HRESULT STDMETHODCALLTYPE get_CommandBarEvents(IDispatch* control,
                                                   ::CommandBarEvents** events) noexcept override;
};

class VbeObject final : public IdeDispatch<::VBE> {
public:
    explicit VbeObject(std::shared_ptr<HostState> state);

    HRESULT STDMETHODCALLTYPE get_Version(BSTR* version) noexcept override;
    HRESULT STDMETHODCALLTYPE get_CommandBars(::CommandBars** bars) noexcept override;
    HRESULT STDMETHODCALLTYPE get_Events(::Events** events) noexcept override;
    HRESULT STDMETHODCALLTYPE get_ActiveCodePane(::CodePane** pane) noexcept override;

    [[nodiscard]] CommandBarsObject& Bars() const { return *bars_.Get(); }

private:
    Microsoft::WRL::ComPtr<CommandBarsObject> bars_;
    Microsoft::WRL::ComPtr<EventsObject> events_;
    Microsoft::WRL::ComPtr<CodePaneObject> pane_;
};

} // namespace qvn::standin
