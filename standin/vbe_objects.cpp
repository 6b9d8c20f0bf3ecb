#include "standin/vbe_objects.h"

#include "standin/event_source.h"
#include "standin/module_text.h"

#include "win32util/variant.h"

#include <vba_extensibility.h>

#include <algorithm>

namespace qvn::standin {

using Microsoft::WRL::ComPtr;
using win32util::Adopt;

namespace {

// Run-time error 35, as the IDE raises it for a procedure a module does not have.
constexpr HRESULT kNoSuchProcedure = static_cast<HRESULT>(0x800A0023);

// The interface id of the flavour's library for a vtable both libraries share.
const IID& Served(const HostState& state, const IID& vb, const IID& vba) {
    return state.IsVba() ? vba : vb;
}

} // namespace

// --- CodeModule ----------------------------------------------------------------------------

CodeModuleObject::CodeModuleObject(std::shared_ptr<HostState> state, long component)
    : IdeDispatch(state, L"CodeModule", Served(*state, IID_CodeModule, IID__CodeModule)),
      component_(component) {}

void CodeModuleObject::Changed() {
    if (component_ == 1 && state_->moduleChanged) {
        state_->moduleChanged();
    }
}

std::vector<std::wstring>& CodeModuleObject::Text() {
    return component_ == 1
               ? state_->lines
               : state_->otherModules.at(static_cast<std::size_t>(component_ - 2)).lines;
}

HRESULT CodeModuleObject::get_Parent(::VBComponent** component) noexcept try {
    RETURN_IF_FAILED(Start(component, L"Parent"));
    return Adopt(new ComponentObject(state_, component_, this))->Hand(component);
}
CATCH_RETURN()

HRESULT CodeModuleObject::ProcedureLine(const wchar_t* operation, BSTR name, long kind, bool body,
                                        LONG* line) {
    RETURN_IF_FAILED(Start(line));
    RETURN_IF_FAILED(Check(operation));
    const std::wstring wanted = Lower(TextOf(name));
    for (const ProcedureSpan& span : ProceduresOf(Text())) {
        // Sub and Function share kind 0; a Property's three kinds are told apart.
        if (Lower(span.name) == wanted && span.kind == kind) {
            *line = body ? span.body : span.start;
            return S_OK;
        }
    }
    return Fail(kNoSuchProcedure, L"Sub or Function not defined");
}

HRESULT CodeModuleObject::get_ProcStartLine(BSTR name, vbext_ProcKind kind, LONG* line) noexcept
    try {
    return ProcedureLine(L"ProcStartLine", name, kind, false, line);
}
CATCH_RETURN()

HRESULT CodeModuleObject::get_ProcBodyLine(BSTR name, vbext_ProcKind kind, LONG* line) noexcept
    try {
    return ProcedureLine(L"ProcBodyLine", name, kind, true, line);
}
CATCH_RETURN()

HRESULT CodeModuleObject::get_ProcOfLine(LONG line, vbext_ProcKind* kind, BSTR* name) noexcept try {
    RETURN_HR_IF(E_POINTER, kind == nullptr || name == nullptr);
    *kind = vbext_pk_Proc;
    *name = nullptr;
    RETURN_IF_FAILED(Check(L"ProcOfLine"));
    const std::vector<std::wstring>& all = Text();
    if (line < 1 || static_cast<std::size_t>(line) > all.size()) {
        return Fail(kInvalidCall, kInvalidCallText);
    }
    // A line belongs to the procedure whose span holds it; lines after the last End belong to
    // the last procedure, lines of the declarations section to none.
    const std::vector<ProcedureSpan> spans = ProceduresOf(all);
    std::wstring found;
    for (const ProcedureSpan& span : spans) {
        if (line >= span.start && (line <= span.end || &span == &spans.back())) {
            found = span.name;
            *kind = static_cast<vbext_ProcKind>(span.kind);
            break;
        }
    }
    return CopyText(found, name);
}
CATCH_RETURN()

HRESULT CodeModuleObject::get_CountOfDeclarationLines(LONG* count) noexcept try {
    RETURN_IF_FAILED(Start(count, L"CountOfDeclarationLines"));
    *count = DeclarationLinesOf(Text());
    return S_OK;
}
CATCH_RETURN()

HRESULT CodeModuleObject::get_Lines(LONG startLine, LONG count, BSTR* lines) noexcept try {
    RETURN_IF_FAILED(Start(lines, L"Lines"));
    const auto& all = Text();
    if (startLine < 1 || count < 0 ||
        (count > 0 && static_cast<std::size_t>(startLine) > all.size())) {
        return Fail(kInvalidCall, kInvalidCallText);
    }
    return CopyText(
        JoinLines(all, static_cast<std::size_t>(startLine - 1), static_cast<std::size_t>(count)),
        lines);
}
CATCH_RETURN()

HRESULT CodeModuleObject::get_CountOfLines(LONG* count) noexcept try {
    RETURN_IF_FAILED(Start(count, L"CountOfLines"));
    *count = static_cast<LONG>(Text().size());
    return S_OK;
}
CATCH_RETURN()

HRESULT CodeModuleObject::InsertLines(LONG line, BSTR text) noexcept try {
    RETURN_IF_FAILED(Check(L"InsertLines"));
    if (line < 1) {
        return Fail(kInvalidCall, kInvalidCallText);
    }
    if (component_ == 1 && state_->syncSelectionFromView) {
        state_->syncSelectionFromView();
    }
    auto& all = Text();
    const std::vector<std::wstring> added = SplitLines(TextOf(text));
    const std::size_t at = std::min(static_cast<std::size_t>(line - 1), all.size());
    all.insert(all.begin() + static_cast<std::ptrdiff_t>(at), added.begin(), added.end());
    // The caret stays on the text it was on.
    const auto n = static_cast<long>(added.size());
    if (component_ == 1 && static_cast<long>(at) + 1 <= state_->selStartLine) {
        state_->selStartLine += n;
        state_->selEndLine += n;
    }
    Changed();
    return S_OK;
}
CATCH_RETURN()

HRESULT CodeModuleObject::DeleteLines(LONG startLine, LONG count) noexcept try {
    RETURN_IF_FAILED(Check(L"DeleteLines"));
    auto& all = Text();
    if (startLine < 1 || count < 0 ||
        static_cast<std::size_t>(startLine - 1 + count) > all.size()) {
        return Fail(kInvalidCall, kInvalidCallText);
    }
    auto first = all.begin() + (startLine - 1);
    all.erase(first, first + count);
    Changed();
    return S_OK;
}
CATCH_RETURN()

HRESULT CodeModuleObject::get_CodePane(::CodePane** pane) noexcept {
    RETURN_IF_FAILED(Start(pane));
    if (pane_ == nullptr) {
        return Fail(E_FAIL, L"The module is not shown in a code pane.");
    }
    return pane_->Hand(pane);
}

// --- VBComponent and VBComponents ----------------------------------------------------------

ComponentObject::ComponentObject(std::shared_ptr<HostState> state, long index,
                                 ComPtr<CodeModuleObject> module)
    : IdeDispatch(std::move(state), L"VBComponent"), index_(index), module_(std::move(module)) {
    if (!module_) {
        module_ = Adopt(new CodeModuleObject(state_, index_));
    }
}

HRESULT ComponentObject::get_Name(BSTR* name) noexcept try {
    return CopyText(index_ == 1
                        ? state_->moduleName
                        : state_->otherModules.at(static_cast<std::size_t>(index_ - 2)).name,
                    name);
}
CATCH_RETURN()

HRESULT ComponentObject::get_CodeModule(::CodeModule** module) noexcept {
    RETURN_IF_FAILED(Start(module, L"CodeModule"));
    return module_->Hand(module);
}

HRESULT ComponentObject::get_Type(vbext_ComponentType* type) noexcept try {
    RETURN_HR_IF_NULL(E_POINTER, type);
    *type = static_cast<vbext_ComponentType>(
        index_ == 1 ? 1 : state_->otherModules.at(static_cast<std::size_t>(index_ - 2)).type);
    return S_OK;
}
CATCH_RETURN()

HRESULT ComponentObject::get_Collection(::VBComponents** components) noexcept try {
    RETURN_IF_FAILED(Start(components, L"Collection"));
    return Adopt(new ComponentsObject(state_))->Hand(components);
}
CATCH_RETURN()

ComponentsObject::ComponentsObject(std::shared_ptr<HostState> state)
    : IdeDispatch(std::move(state), L"VBComponents") {}

HRESULT ComponentsObject::Item(VARIANT index, ::VBComponent** component) noexcept try {
    RETURN_IF_FAILED(Start(component));
    const long count = 1 + static_cast<long>(state_->otherModules.size());
    long position = 0;
    win32util::Variant plain;
    RETURN_IF_FAILED(VariantCopyInd(plain.Get(), &index));
    if (plain.Ref().vt == VT_BSTR) {
        const std::wstring wanted = Lower(TextOf(plain.Ref().bstrVal));
        for (long i = 1; i <= count; ++i) {
            const std::wstring& name =
                i == 1 ? state_->moduleName
                       : state_->otherModules[static_cast<std::size_t>(i - 2)].name;
            if (Lower(name) == wanted) {
                position = i;
            }
        }
    } else if (win32util::Variant number;
               SUCCEEDED(VariantChangeType(number.Get(), plain.Get(), 0, VT_I4))) {
        position = number.Ref().lVal;
    }
    if (position < 1 || position > count) {
        return Fail(static_cast<HRESULT>(0x800A0009), L"Subscript out of range");
    }
    return Adopt(new ComponentObject(state_, position))->Hand(component);
}
CATCH_RETURN()

HRESULT ComponentsObject::get_Count(LONG* count) noexcept {
    RETURN_HR_IF_NULL(E_POINTER, count);
    *count = 1 + static_cast<LONG>(state_->otherModules.size());
    return S_OK;
}

// --- CodePane ------------------------------------------------------------------------------

CodePaneObject::CodePaneObject(std::shared_ptr<HostState> state)
    : IdeDispatch(state, L"CodePane", Served(*state, IID_CodePane, IID__CodePane)),
      module_(Adopt(new CodeModuleObject(state_))) {
    module_->SetPane(this);
}

CodePaneObject::~CodePaneObject() {
    module_->SetPane(nullptr);
}

HRESULT CodePaneObject::GetSelection(LONG* startLine, LONG* startColumn, LONG* endLine,
                                     LONG* endColumn) noexcept {
    RETURN_HR_IF(E_POINTER, startLine == nullptr || startColumn == nullptr || endLine == nullptr ||
                                endColumn == nullptr);
    *startLine = *startColumn = *endLine = *endColumn = 0;
    RETURN_IF_FAILED(Check(L"GetSelection"));
    if (state_->syncSelectionFromView) {
        state_->syncSelectionFromView();
    }
    *startLine = state_->selStartLine;
    *startColumn = state_->selStartColumn;
    *endLine = state_->selEndLine;
    *endColumn = state_->selEndColumn;
    return S_OK;
}

HRESULT CodePaneObject::SetSelection(LONG startLine, LONG startColumn, LONG endLine,
                                     LONG endColumn) noexcept {
    if (startLine < 1 || startColumn < 1 || endLine < startLine ||
        (endLine == startLine && endColumn < startColumn)) {
        return Fail(kInvalidCall, kInvalidCallText);
    }
    state_->selStartLine = startLine;
    state_->selStartColumn = startColumn;
    state_->selEndLine = endLine;
    state_->selEndColumn = endColumn;
    if (state_->moduleChanged) {
        state_->moduleChanged();
    }
    return S_OK;
}

HRESULT CodePaneObject::get_CodeModule(::CodeModule** module) noexcept {
    RETURN_IF_FAILED(Start(module, L"CodeModule"));
    return module_->Hand(module);
}

// --- Events --------------------------------------------------------------------------------

EventsObject::EventsObject(std::shared_ptr<HostState> state)
    : IdeDispatch(state, L"Events", Served(*state, IID_Events, IID_VbaEvents)) {
    CallThrough(IID_EventsCalls); // the source goes out as VT_UNKNOWN
}

HRESULT EventsObject::get_CommandBarEvents(IDispatch* control, ::CommandBarEvents** events) noexcept
    try {
    RETURN_IF_FAILED(Start(events, L"CommandBarEvents"));
    if (state_->IsVba() && kHost64Bit) {
        // The 64-bit VBA editor is reported to crash here; the stand-in fails instead, so that
        // an add-in shows it takes the button's own Click in that editor.
        return Fail(E_FAIL, L"Events.CommandBarEvents is not available in the 64-bit VBA editor; "
                            L"handle the Click event of the CommandBarButton instead.");
    }
    if (state_->refuseEventBinding) {
        return Fail(kInvalidCall, L"Events cannot be bound to this command bar control.");
    }
    if (control == nullptr) {
        return Fail(static_cast<HRESULT>(0x800A01A8), L"Object required");
    }
    ComPtr<::CommandBarControl> own;
    if (FAILED(control->QueryInterface(IID_IHostControl,
                                       reinterpret_cast<void**>(own.GetAddressOf())))) {
        return Fail(kInvalidCall, L"The object is not a command bar control of this IDE.");
    }
    auto* item = static_cast<ControlObject*>(own.Get());
    if (item->Deleted()) {
        return Fail(E_FAIL, L"The control has been deleted.");
    }
    // The class has no interface of its own beyond IUnknown: the pointer handed out is the
    // source's IUnknown.
    auto source = Adopt(new EventSource(state_, item));
    *events = reinterpret_cast<::CommandBarEvents*>(
        static_cast<IUnknown*>(static_cast<IConnectionPointContainer*>(source.Detach())));
    return S_OK;
}
CATCH_RETURN()

// --- VBE -----------------------------------------------------------------------------------

VbeObject::VbeObject(std::shared_ptr<HostState> state)
    : IdeDispatch(state, L"VBE", Served(*state, IID_VBE, IID_VbaVBE)),
      bars_(Adopt(new CommandBarsObject(state_))), events_(Adopt(new EventsObject(state_))),
      pane_(Adopt(new CodePaneObject(state_))) {
    CallThrough(IID_VBECalls);
    bars_->AddBuiltInBars();
}

HRESULT VbeObject::get_Version(BSTR* version) noexcept {
    return CopyText(state_->IsVba()                       ? L"7.01"
                    : state_->flavour == HostFlavour::Vb6 ? L"6.00"
                                                          : L"5.00",
                    version);
}

HRESULT VbeObject::get_CommandBars(::CommandBars** bars) noexcept {
    RETURN_IF_FAILED(Start(bars, L"CommandBars"));
    return bars_->Hand(bars);
}

HRESULT VbeObject::get_Events(::Events** events) noexcept {
    RETURN_IF_FAILED(Start(events, L"Events"));
    return events_->Hand(events);
}

HRESULT VbeObject::get_ActiveCodePane(::CodePane** pane) noexcept {
    RETURN_IF_FAILED(Start(pane, L"ActiveCodePane"));
    if (!state_->hasCodePane) {
        return S_OK; // Nothing, as the IDE answers when no code window is open
    }
    return pane_->Hand(pane);
}

} // namespace qvn::standin
