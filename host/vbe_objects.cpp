#include "host/vbe_objects.h"

#include "win32util/com_object.h"

#include "host/module_text.h"

#include <vba_extensibility.h>

#include <algorithm>

namespace qvn::host {

using Microsoft::WRL::ComPtr;

namespace {

constexpr DISPID kLines = 0x60020006;
constexpr DISPID kCountOfLines = 0x60020007;
constexpr DISPID kInsertLines = 0x60020008;
constexpr DISPID kDeleteLines = 0x60020009;
constexpr DISPID kModulePane = 0x60020012;
constexpr DISPID kModuleParent = 0x60020000;
constexpr DISPID kProcStartLine = 0x6002000B;
constexpr DISPID kProcBodyLine = 0x6002000D;
constexpr DISPID kProcOfLine = 0x6002000E;
constexpr DISPID kCountOfDeclarationLines = 0x6002000F;
constexpr DISPID kComponentName = 0x30;
constexpr DISPID kComponentModule = 0x32;
constexpr DISPID kComponentType = 0x33;
constexpr DISPID kComponentCollection = 0x36;
constexpr DISPID kComponentsItem = 0;
constexpr DISPID kComponentsCount = 0xA;
// Run-time error 35, as the IDE raises it for a procedure a module does not have.
constexpr HRESULT kNoSuchProcedure = static_cast<HRESULT>(0x800A0023);
constexpr DISPID kGetSelection = 0x60020003;
constexpr DISPID kSetSelection = 0x60020004;
constexpr DISPID kPaneModule = 0x60020008;
constexpr DISPID kCommandBarEvents = 0xCD;
constexpr DISPID kVersion = 0x64;
constexpr DISPID kCommandBars = 0x6C;
constexpr DISPID kEvents = 0x6F;
constexpr DISPID kActiveCodePane = 0xCE;

const DispMember kModuleMembers[] = {{L"Lines", kLines},
                                     {L"CountOfLines", kCountOfLines},
                                     {L"InsertLines", kInsertLines},
                                     {L"DeleteLines", kDeleteLines},
                                     {L"CodePane", kModulePane},
                                     {L"Parent", kModuleParent},
                                     {L"ProcStartLine", kProcStartLine},
                                     {L"ProcBodyLine", kProcBodyLine},
                                     {L"ProcOfLine", kProcOfLine},
                                     {L"CountOfDeclarationLines", kCountOfDeclarationLines}};
const DispMember kComponentMembers[] = {{L"Name", kComponentName},
                                        {L"CodeModule", kComponentModule},
                                        {L"Type", kComponentType},
                                        {L"Collection", kComponentCollection}};
const DispMember kComponentsMembers[] = {{L"Item", kComponentsItem}, {L"Count", kComponentsCount}};
const DispMember kPaneMembers[] = {{L"GetSelection", kGetSelection},
                                   {L"SetSelection", kSetSelection},
                                   {L"CodeModule", kPaneModule}};
const DispMember kEventsMembers[] = {{L"CommandBarEvents", kCommandBarEvents}};
const DispMember kVbeMembers[] = {{L"Version", kVersion},
                                  {L"CommandBars", kCommandBars},
                                  {L"Events", kEvents},
                                  {L"ActiveCodePane", kActiveCodePane}};

template <class Iface, class Obj> HRESULT Hand(Obj* object, Iface** out) {
    *out = object;
    object->AddRef();
    return S_OK;
}

// Shared result handling of the getters that hand out a number or a text.
template <class Value, class Getter> HRESULT GetLongResult(VARIANT* result, Getter getter) {
    Value value{};
    HRESULT hr = getter(&value);
    if (SUCCEEDED(hr)) {
        SetResult(result, static_cast<long>(value));
    }
    return hr;
}
template <class Getter> HRESULT GetTextResult(VARIANT* result, Getter getter) {
    BSTR text = nullptr;
    HRESULT hr = getter(&text);
    if (SUCCEEDED(hr)) {
        SetResult(result, text);
    }
    return hr;
}

// Shared result handling of the getters that hand out an object.
template <class Iface, class Getter> HRESULT GetObjectResult(VARIANT* result, Getter getter) {
    Iface* object = nullptr;
    HRESULT hr = getter(&object);
    if (SUCCEEDED(hr)) {
        SetResult(result, static_cast<IDispatch*>(object));
    }
    return hr;
}

} // namespace

// --- CodeModule ----------------------------------------------------------------------------

CodeModuleObject::CodeModuleObject(std::shared_ptr<HostState> state, long component)
    : DispatchObject(std::move(state), L"CodeModule"), component_(component) {
    if (state_->IsVba()) {
        ServeAs(IID__CodeModule);
    }
}

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

HRESULT CodeModuleObject::get_Parent(::VBComponent** component) {
    if (component == nullptr) {
        return E_POINTER;
    }
    *component = nullptr;
    HRESULT hr = state_->Check(L"Parent", Source());
    if (FAILED(hr)) {
        return hr;
    }
    *component = new ComponentObject(state_, component_, this);
    return S_OK;
}

HRESULT CodeModuleObject::FindProcedure(BSTR name, long kind, long& start, long& body) {
    const std::wstring wanted =
        Lower(name != nullptr ? std::wstring(name, SysStringLen(name)) : std::wstring());
    for (const ProcedureSpan& span : ProceduresOf(Text())) {
        // Sub and Function share kind 0; a Property's three kinds are told apart.
        if (Lower(span.name) == wanted && span.kind == kind) {
            start = span.start;
            body = span.body;
            return S_OK;
        }
    }
    return Fail(kNoSuchProcedure, L"Sub or Function not defined");
}

HRESULT CodeModuleObject::get_ProcStartLine(BSTR name, vbext_ProcKind kind, LONG* line) {
    if (line == nullptr) {
        return E_POINTER;
    }
    *line = 0;
    HRESULT hr = state_->Check(L"ProcStartLine", Source());
    long start = 0;
    long body = 0;
    if (SUCCEEDED(hr)) {
        hr = FindProcedure(name, kind, start, body);
    }
    *line = start;
    return hr;
}

HRESULT CodeModuleObject::get_ProcBodyLine(BSTR name, vbext_ProcKind kind, LONG* line) {
    if (line == nullptr) {
        return E_POINTER;
    }
    *line = 0;
    HRESULT hr = state_->Check(L"ProcBodyLine", Source());
    long start = 0;
    long body = 0;
    if (SUCCEEDED(hr)) {
        hr = FindProcedure(name, kind, start, body);
    }
    *line = body;
    return hr;
}

HRESULT CodeModuleObject::get_ProcOfLine(LONG line, vbext_ProcKind* kind, BSTR* name) {
    if (kind == nullptr || name == nullptr) {
        return E_POINTER;
    }
    *kind = vbext_pk_Proc;
    *name = nullptr;
    HRESULT hr = state_->Check(L"ProcOfLine", Source());
    if (FAILED(hr)) {
        return hr;
    }
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
    *name = SysAllocString(found.c_str());
    return *name != nullptr ? S_OK : E_OUTOFMEMORY;
}

HRESULT CodeModuleObject::get_CountOfDeclarationLines(LONG* count) {
    if (count == nullptr) {
        return E_POINTER;
    }
    *count = 0;
    HRESULT hr = state_->Check(L"CountOfDeclarationLines", Source());
    if (FAILED(hr)) {
        return hr;
    }
    *count = DeclarationLinesOf(Text());
    return S_OK;
}

HRESULT CodeModuleObject::get_Lines(LONG startLine, LONG count, BSTR* lines) {
    if (lines == nullptr) {
        return E_POINTER;
    }
    *lines = nullptr;
    HRESULT hr = state_->Check(L"Lines", Source());
    if (FAILED(hr)) {
        return hr;
    }
    const auto& all = Text();
    if (startLine < 1 || count < 0 ||
        (count > 0 && static_cast<std::size_t>(startLine) > all.size())) {
        return Fail(kInvalidCall, kInvalidCallText);
    }
    *lines = SysAllocString(
        JoinLines(all, static_cast<std::size_t>(startLine - 1), static_cast<std::size_t>(count))
            .c_str());
    return *lines != nullptr ? S_OK : E_OUTOFMEMORY;
}

HRESULT CodeModuleObject::get_CountOfLines(LONG* count) {
    if (count == nullptr) {
        return E_POINTER;
    }
    *count = 0;
    HRESULT hr = state_->Check(L"CountOfLines", Source());
    if (FAILED(hr)) {
        return hr;
    }
    *count = static_cast<LONG>(Text().size());
    return S_OK;
}

HRESULT CodeModuleObject::InsertLines(LONG line, BSTR text) {
    HRESULT hr = state_->Check(L"InsertLines", Source());
    if (FAILED(hr)) {
        return hr;
    }
    if (line < 1) {
        return Fail(kInvalidCall, kInvalidCallText);
    }
    if (component_ == 1 && state_->syncSelectionFromView) {
        state_->syncSelectionFromView();
    }
    auto& all = Text();
    std::vector<std::wstring> added =
        SplitLines(text != nullptr ? std::wstring(text, SysStringLen(text)) : std::wstring());
    std::size_t at = std::min(static_cast<std::size_t>(line - 1), all.size());
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

HRESULT CodeModuleObject::DeleteLines(LONG startLine, LONG count) {
    HRESULT hr = state_->Check(L"DeleteLines", Source());
    if (FAILED(hr)) {
        return hr;
    }
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

HRESULT CodeModuleObject::get_CodePane(::CodePane** pane) {
    if (pane == nullptr) {
        return E_POINTER;
    }
    *pane = nullptr;
    if (pane_ == nullptr) {
        return Fail(E_FAIL, L"The module is not shown in a code pane.");
    }
    return Hand<::CodePane>(pane_, pane);
}

std::span<const DispMember> CodeModuleObject::Members() const {
    return kModuleMembers;
}

HRESULT CodeModuleObject::Dispatch(DISPID id, WORD flags, const Args& args, VARIANT* result,
                                   UINT* argErr) {
    HRESULT hr = DISP_E_MEMBERNOTFOUND;
    switch (id) {
    case kLines:
        if (IsGet(flags)) {
            long start = 0;
            long count = 0;
            hr = args.Long(0, &start, argErr);
            if (SUCCEEDED(hr)) {
                hr = args.Long(1, &count, argErr);
            }
            BSTR text = nullptr;
            if (SUCCEEDED(hr)) {
                hr = get_Lines(start, count, &text);
            }
            if (SUCCEEDED(hr)) {
                SetResult(result, text);
            }
        }
        break;
    case kCountOfLines:
        if (IsGet(flags)) {
            hr = GetLongResult<LONG>(result, [&](LONG* n) { return get_CountOfLines(n); });
        }
        break;
    case kInsertLines:
        if (flags & DISPATCH_METHOD) {
            long line = 0;
            BSTR text = nullptr;
            hr = args.Long(0, &line, argErr);
            if (SUCCEEDED(hr)) {
                hr = args.String(1, &text, argErr);
            }
            if (SUCCEEDED(hr)) {
                hr = InsertLines(line, text);
            }
            SysFreeString(text);
        }
        break;
    case kDeleteLines:
        if (flags & DISPATCH_METHOD) {
            long start = 0;
            long count = 1;
            hr = args.Long(0, &start, argErr);
            if (SUCCEEDED(hr) && args.Has(1)) {
                hr = args.Long(1, &count, argErr);
            }
            if (SUCCEEDED(hr)) {
                hr = DeleteLines(start, count);
            }
        }
        break;
    case kModulePane:
        if (IsGet(flags)) {
            hr = GetObjectResult<::CodePane>(result,
                                             [&](::CodePane** p) { return get_CodePane(p); });
        }
        break;
    case kModuleParent:
        if (IsGet(flags)) {
            hr = GetObjectResult<::VBComponent>(result,
                                                [&](::VBComponent** c) { return get_Parent(c); });
        }
        break;
    case kProcStartLine:
    case kProcBodyLine:
        if (IsGet(flags)) {
            BSTR name = nullptr;
            long kind = 0;
            hr = args.String(0, &name, argErr);
            if (SUCCEEDED(hr)) {
                hr = args.Long(1, &kind, argErr);
            }
            LONG line = 0;
            if (SUCCEEDED(hr)) {
                hr = id == kProcStartLine
                         ? get_ProcStartLine(name, static_cast<vbext_ProcKind>(kind), &line)
                         : get_ProcBodyLine(name, static_cast<vbext_ProcKind>(kind), &line);
            }
            SysFreeString(name);
            if (SUCCEEDED(hr)) {
                SetResult(result, static_cast<long>(line));
            }
        }
        break;
    case kProcOfLine:
        if (IsGet(flags)) {
            long line = 0;
            hr = args.Long(0, &line, argErr);
            vbext_ProcKind kind = vbext_pk_Proc;
            BSTR name = nullptr;
            if (SUCCEEDED(hr)) {
                hr = get_ProcOfLine(line, &kind, &name);
            }
            // The kind goes back through the caller's by-reference argument.
            if (SUCCEEDED(hr)) {
                hr = args.SetLongOut(1, kind, argErr);
            }
            if (SUCCEEDED(hr)) {
                SetResult(result, name);
            } else {
                SysFreeString(name);
            }
        }
        break;
    case kCountOfDeclarationLines:
        if (IsGet(flags)) {
            hr = GetLongResult<LONG>(result,
                                     [&](LONG* n) { return get_CountOfDeclarationLines(n); });
        }
        break;
    default:
        break;
    }
    return hr;
}

// --- VBComponent and VBComponents ----------------------------------------------------------

ComponentObject::ComponentObject(std::shared_ptr<HostState> state, long index,
                                 ComPtr<CodeModuleObject> module)
    : DispatchObject(std::move(state), L"VBComponent"), index_(index), module_(std::move(module)) {
    if (!module_) {
        module_ = win32util::Adopt(new CodeModuleObject(state_, index_));
    }
}

HRESULT ComponentObject::get_Name(BSTR* name) {
    if (name == nullptr) {
        return E_POINTER;
    }
    const std::wstring& text =
        index_ == 1 ? state_->moduleName
                    : state_->otherModules.at(static_cast<std::size_t>(index_ - 2)).name;
    *name = SysAllocString(text.c_str());
    return *name != nullptr ? S_OK : E_OUTOFMEMORY;
}

HRESULT ComponentObject::get_CodeModule(::CodeModule** module) {
    if (module == nullptr) {
        return E_POINTER;
    }
    *module = nullptr;
    HRESULT hr = state_->Check(L"CodeModule", Source());
    if (FAILED(hr)) {
        return hr;
    }
    return Hand<::CodeModule>(module_.Get(), module);
}

HRESULT ComponentObject::get_Type(vbext_ComponentType* type) {
    if (type == nullptr) {
        return E_POINTER;
    }
    *type = static_cast<vbext_ComponentType>(
        index_ == 1 ? 1 : state_->otherModules.at(static_cast<std::size_t>(index_ - 2)).type);
    return S_OK;
}

HRESULT ComponentObject::get_Collection(::VBComponents** components) {
    if (components == nullptr) {
        return E_POINTER;
    }
    *components = nullptr;
    HRESULT hr = state_->Check(L"Collection", Source());
    if (FAILED(hr)) {
        return hr;
    }
    *components = new ComponentsObject(state_);
    return S_OK;
}

std::span<const DispMember> ComponentObject::Members() const {
    return kComponentMembers;
}

HRESULT ComponentObject::Dispatch(DISPID id, WORD flags, const Args&, VARIANT* result, UINT*) {
    if (!IsGet(flags)) {
        return DISP_E_MEMBERNOTFOUND;
    }
    switch (id) {
    case kComponentName:
        return GetTextResult(result, [&](BSTR* name) { return get_Name(name); });
    case kComponentModule:
        return GetObjectResult<::CodeModule>(result,
                                             [&](::CodeModule** m) { return get_CodeModule(m); });
    case kComponentType:
        return GetLongResult<vbext_ComponentType>(
            result, [&](vbext_ComponentType* type) { return get_Type(type); });
    case kComponentCollection:
        return GetObjectResult<::VBComponents>(
            result, [&](::VBComponents** c) { return get_Collection(c); });
    default:
        return DISP_E_MEMBERNOTFOUND;
    }
}

ComponentsObject::ComponentsObject(std::shared_ptr<HostState> state)
    : DispatchObject(std::move(state), L"VBComponents") {}

HRESULT ComponentsObject::Item(VARIANT index, ::VBComponent** component) {
    if (component == nullptr) {
        return E_POINTER;
    }
    *component = nullptr;
    const long count = 1 + static_cast<long>(state_->otherModules.size());
    long position = 0;
    VARIANT text;
    VariantInit(&text);
    if (SUCCEEDED(VariantChangeType(&text, &index, 0, VT_BSTR)) && text.vt == VT_BSTR &&
        (index.vt == VT_BSTR || index.vt == (VT_BSTR | VT_BYREF))) {
        const std::wstring wanted = Lower(std::wstring(text.bstrVal, SysStringLen(text.bstrVal)));
        for (long i = 1; i <= count; ++i) {
            const std::wstring& name =
                i == 1 ? state_->moduleName
                       : state_->otherModules[static_cast<std::size_t>(i - 2)].name;
            if (Lower(name) == wanted) {
                position = i;
            }
        }
    } else {
        VARIANT number;
        VariantInit(&number);
        if (SUCCEEDED(VariantChangeType(&number, &index, 0, VT_I4))) {
            position = number.lVal;
        }
    }
    VariantClear(&text);
    if (position < 1 || position > count) {
        return Fail(static_cast<HRESULT>(0x800A0009), L"Subscript out of range");
    }
    *component = new ComponentObject(state_, position);
    return S_OK;
}

HRESULT ComponentsObject::get_Count(LONG* count) {
    if (count == nullptr) {
        return E_POINTER;
    }
    *count = 1 + static_cast<LONG>(state_->otherModules.size());
    return S_OK;
}

std::span<const DispMember> ComponentsObject::Members() const {
    return kComponentsMembers;
}

HRESULT ComponentsObject::Dispatch(DISPID id, WORD flags, const Args& args, VARIANT* result,
                                   UINT* argErr) {
    if (id == kComponentsItem && (flags & (DISPATCH_METHOD | DISPATCH_PROPERTYGET)) != 0) {
        VARIANT* index = args.At(0);
        if (index == nullptr) {
            *argErr = 0;
            return DISP_E_PARAMNOTOPTIONAL;
        }
        return GetObjectResult<::VBComponent>(result,
                                              [&](::VBComponent** c) { return Item(*index, c); });
    }
    if (id == kComponentsCount && IsGet(flags)) {
        return GetLongResult<LONG>(result, [&](LONG* n) { return get_Count(n); });
    }
    return DISP_E_MEMBERNOTFOUND;
}

// --- CodePane ------------------------------------------------------------------------------

CodePaneObject::CodePaneObject(std::shared_ptr<HostState> state)
    : DispatchObject(std::move(state), L"CodePane") {
    if (state_->IsVba()) {
        ServeAs(IID__CodePane);
    }
    module_ = win32util::Adopt(new CodeModuleObject(state_));
    module_->SetPane(this);
}

CodePaneObject::~CodePaneObject() {
    module_->SetPane(nullptr);
}

HRESULT CodePaneObject::GetSelection(LONG* startLine, LONG* startColumn, LONG* endLine,
                                     LONG* endColumn) {
    if (startLine == nullptr || startColumn == nullptr || endLine == nullptr ||
        endColumn == nullptr) {
        return E_POINTER;
    }
    *startLine = *startColumn = *endLine = *endColumn = 0;
    HRESULT hr = state_->Check(L"GetSelection", Source());
    if (FAILED(hr)) {
        return hr;
    }
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
                                     LONG endColumn) {
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

HRESULT CodePaneObject::get_CodeModule(::CodeModule** module) {
    if (module == nullptr) {
        return E_POINTER;
    }
    *module = nullptr;
    HRESULT hr = state_->Check(L"CodeModule", Source());
    if (FAILED(hr)) {
        return hr;
    }
    return Hand<::CodeModule>(module_.Get(), module);
}

std::span<const DispMember> CodePaneObject::Members() const {
    return kPaneMembers;
}

HRESULT CodePaneObject::Dispatch(DISPID id, WORD flags, const Args& args, VARIANT* result,
                                 UINT* argErr) {
    HRESULT hr = DISP_E_MEMBERNOTFOUND;
    switch (id) {
    case kGetSelection:
        if (flags & DISPATCH_METHOD) {
            if (args.Count() < 4) {
                return DISP_E_BADPARAMCOUNT;
            }
            LONG v[4] = {};
            hr = GetSelection(&v[0], &v[1], &v[2], &v[3]);
            for (UINT i = 0; SUCCEEDED(hr) && i < 4; ++i) {
                hr = args.SetLongOut(i, v[i], argErr);
            }
        }
        break;
    case kSetSelection:
        if (flags & DISPATCH_METHOD) {
            long v[4] = {};
            hr = S_OK;
            for (UINT i = 0; SUCCEEDED(hr) && i < 4; ++i) {
                hr = args.Long(i, &v[i], argErr);
            }
            if (SUCCEEDED(hr)) {
                hr = SetSelection(v[0], v[1], v[2], v[3]);
            }
        }
        break;
    case kPaneModule:
        if (IsGet(flags)) {
            hr = GetObjectResult<::CodeModule>(result,
                                               [&](::CodeModule** m) { return get_CodeModule(m); });
        }
        break;
    default:
        break;
    }
    return hr;
}

// --- Events --------------------------------------------------------------------------------

EventsObject::EventsObject(std::shared_ptr<HostState> state)
    : DispatchObject(std::move(state), L"Events") {
    if (state_->IsVba()) {
        ServeAs(IID_VbaEvents);
    }
}

HRESULT EventsObject::get_CommandBarEvents(IDispatch* control, ::CommandBarEvents** events) {
    if (events == nullptr) {
        return E_POINTER;
    }
    *events = nullptr;
    HRESULT hr = state_->Check(L"CommandBarEvents", Source());
    if (FAILED(hr)) {
        return hr;
    }
    if (state_->IsVba() && sizeof(void*) == 8) {
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
    if (FAILED(control->QueryInterface(IID_HostControl,
                                       reinterpret_cast<void**>(own.GetAddressOf())))) {
        return Fail(kInvalidCall, L"The object is not a command bar control of this IDE.");
    }
    auto* item = static_cast<ControlObject*>(own.Get());
    if (item->Deleted()) {
        return Fail(E_FAIL, L"The control has been deleted.");
    }
    // The class has no interface of its own beyond IUnknown: the pointer handed out is the
    // source's IUnknown.
    *events = reinterpret_cast<::CommandBarEvents*>(static_cast<IUnknown*>(
        static_cast<IConnectionPointContainer*>(new EventSource(state_, item))));
    return S_OK;
}

std::span<const DispMember> EventsObject::Members() const {
    return kEventsMembers;
}

HRESULT EventsObject::Dispatch(DISPID id, WORD flags, const Args& args, VARIANT* result,
                               UINT* argErr) {
    if (id != kCommandBarEvents || !IsGet(flags)) {
        return DISP_E_MEMBERNOTFOUND;
    }
    ComPtr<IDispatch> control;
    HRESULT hr = args.Dispatch(0, control.GetAddressOf(), argErr);
    if (FAILED(hr)) {
        return hr;
    }
    // Handed out as VT_UNKNOWN: the source is not a dispatch object.
    ::CommandBarEvents* source = nullptr;
    hr = get_CommandBarEvents(control.Get(), &source);
    if (SUCCEEDED(hr)) {
        win32util::SetUnknownResult(result, reinterpret_cast<IUnknown*>(source));
    }
    return hr;
}

// --- VBE -----------------------------------------------------------------------------------

VbeObject::VbeObject(std::shared_ptr<HostState> state, CommandBarsObject* bars,
                     EventsObject* events, CodePaneObject* pane)
    : DispatchObject(std::move(state), L"VBE"), bars_(bars), events_(events), pane_(pane) {
    if (state_->IsVba()) {
        ServeAs(IID_VbaVBE);
    }
}

HRESULT VbeObject::get_Version(BSTR* version) {
    if (version == nullptr) {
        return E_POINTER;
    }
    *version = SysAllocString(state_->IsVba()                       ? L"7.01"
                              : state_->flavour == HostFlavour::Vb6 ? L"6.00"
                                                                    : L"5.00");
    return *version != nullptr ? S_OK : E_OUTOFMEMORY;
}

HRESULT VbeObject::get_CommandBars(::CommandBars** bars) {
    if (bars == nullptr) {
        return E_POINTER;
    }
    *bars = nullptr;
    HRESULT hr = state_->Check(L"CommandBars", Source());
    if (FAILED(hr)) {
        return hr;
    }
    return Hand<::CommandBars>(bars_.Get(), bars);
}

HRESULT VbeObject::get_Events(::Events** events) {
    if (events == nullptr) {
        return E_POINTER;
    }
    *events = nullptr;
    HRESULT hr = state_->Check(L"Events", Source());
    if (FAILED(hr)) {
        return hr;
    }
    return Hand<::Events>(events_.Get(), events);
}

HRESULT VbeObject::get_ActiveCodePane(::CodePane** pane) {
    if (pane == nullptr) {
        return E_POINTER;
    }
    *pane = nullptr;
    HRESULT hr = state_->Check(L"ActiveCodePane", Source());
    if (FAILED(hr)) {
        return hr;
    }
    if (!state_->hasCodePane) {
        return S_OK; // Nothing, as the IDE answers when no code window is open
    }
    return Hand<::CodePane>(pane_.Get(), pane);
}

std::span<const DispMember> VbeObject::Members() const {
    return kVbeMembers;
}

HRESULT VbeObject::Dispatch(DISPID id, WORD flags, const Args&, VARIANT* result, UINT*) {
    if (!IsGet(flags)) {
        return DISP_E_MEMBERNOTFOUND;
    }
    switch (id) {
    case kVersion:
        return GetTextResult(result, [&](BSTR* version) { return get_Version(version); });
    case kCommandBars:
        return GetObjectResult<::CommandBars>(
            result, [&](::CommandBars** b) { return get_CommandBars(b); });
    case kEvents:
        return GetObjectResult<::Events>(result, [&](::Events** e) { return get_Events(e); });
    case kActiveCodePane:
        return GetObjectResult<::CodePane>(result,
                                           [&](::CodePane** p) { return get_ActiveCodePane(p); });
    default:
        return DISP_E_MEMBERNOTFOUND;
    }
}

} // namespace qvn::host
