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
                                     {L"CodePane", kModulePane}};
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

CodeModuleObject::CodeModuleObject(std::shared_ptr<HostState> state)
    : DispatchObject(std::move(state), L"CodeModule") {
    if (state_->IsVba()) {
        ServeAs(IID__CodeModule);
    }
}

void CodeModuleObject::Changed() {
    if (state_->moduleChanged) {
        state_->moduleChanged();
    }
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
    const auto& all = state_->lines;
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
    *count = static_cast<LONG>(state_->lines.size());
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
    if (state_->syncSelectionFromView) {
        state_->syncSelectionFromView();
    }
    auto& all = state_->lines;
    std::vector<std::wstring> added =
        SplitLines(text != nullptr ? std::wstring(text, SysStringLen(text)) : std::wstring());
    std::size_t at = std::min(static_cast<std::size_t>(line - 1), all.size());
    all.insert(all.begin() + static_cast<std::ptrdiff_t>(at), added.begin(), added.end());
    // The caret stays on the text it was on.
    const auto n = static_cast<long>(added.size());
    if (static_cast<long>(at) + 1 <= state_->selStartLine) {
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
    auto& all = state_->lines;
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
            LONG count = 0;
            hr = get_CountOfLines(&count);
            if (SUCCEEDED(hr)) {
                SetResult(result, static_cast<long>(count));
            }
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
    default:
        break;
    }
    return hr;
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
    case kVersion: {
        BSTR version = nullptr;
        HRESULT hr = get_Version(&version);
        if (SUCCEEDED(hr)) {
            SetResult(result, version);
        }
        return hr;
    }
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
