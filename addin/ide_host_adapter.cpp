#include "addin/ide_host_adapter.h"

#include "builder/paste_fit.h"
#include "ide/names.h"

namespace qvn::addin {

namespace {

constexpr long kControlTypeButton = 1; // a plain command item
constexpr long kStandardModule = 1;    // vbext_ct_StdModule

// The builder knows the IDE's failures by one type only: a failing call reaches it as an
// IdeError with the callee's description as its text.
template <class F> auto AsIdeFailure(F&& work) -> decltype(work()) {
    try {
        return work();
    } catch (const ResultException& e) {
        throw IdeError(e.what());
    }
}

long AsLong(Variant& value) {
    THROW_HR_IF(DISP_E_TYPEMISMATCH, FAILED(VariantChangeType(value.Get(), value.Get(), 0, VT_I4)));
    return value.Ref().lVal;
}

std::string AsText(Variant& value) {
    THROW_HR_IF(DISP_E_TYPEMISMATCH,
                FAILED(VariantChangeType(value.Get(), value.Get(), 0, VT_BSTR)));
    return Utf8(std::wstring(value.Ref().bstrVal, SysStringLen(value.Ref().bstrVal)));
}

} // namespace

std::unique_ptr<IdeCodePane> DispatchIdeRoot::ActiveCodePane() {
    return AsIdeFailure([&] {
        return std::make_unique<DispatchCodePane>(GetObject(vbe_.Get(), L"ActiveCodePane"));
    });
}

std::string DispatchIdeRoot::MsgBoxResultType() {
    return AsIdeFailure([&] {
        Variant version;
        Call(vbe_.Get(), L"Version", kGetFlags, {}, version.Get());
        THROW_HR_IF(DISP_E_TYPEMISMATCH, version.Ref().vt != VT_BSTR);
        const std::wstring text(version.Ref().bstrVal, SysStringLen(version.Ref().bstrVal));
        return std::string(text.starts_with(L"5.") ? "Integer" : "VbMsgBoxResult");
    });
}

void DispatchCodePane::GetSelection(long& startLine, long& startColumn, long& endLine,
                                    long& endColumn) {
    LONG values[4] = {};
    VARIANT refs[4];
    for (int i = 0; i < 4; ++i) {
        VariantInit(&refs[i]);
        refs[i].vt = VT_I4 | VT_BYREF;
        refs[i].plVal = &values[i];
    }
    AsIdeFailure([&] {
        Call(pane_.Get(), L"GetSelection", DISPATCH_METHOD,
             {&refs[0], &refs[1], &refs[2], &refs[3]}, nullptr);
    });
    startLine = values[0];
    startColumn = values[1];
    endLine = values[2];
    endColumn = values[3];
}

std::unique_ptr<IdeCodeModule> DispatchCodePane::CodeModule() {
    return AsIdeFailure([&] {
        return std::make_unique<DispatchCodeModule>(GetObject(pane_.Get(), L"CodeModule"));
    });
}

void DispatchCodeModule::InsertLines(long line, const std::string& text) {
    AsIdeFailure([&] {
        Variant lineArg(line);
        Variant textArg(Wide(text));
        CallMethod(module_.Get(), L"InsertLines", {lineArg.Get(), textArg.Get()});
    });
}

long DispatchCodeModule::CountOfLines() {
    return AsIdeFailure([&] {
        Variant count;
        Call(module_.Get(), L"CountOfLines", kGetFlags, {}, count.Get());
        return AsLong(count);
    });
}

std::string DispatchCodeModule::Lines(long line, long count) {
    return AsIdeFailure([&] {
        Variant first(line);
        Variant many(count);
        Variant text;
        Call(module_.Get(), L"Lines", kGetFlags, {first.Get(), many.Get()}, text.Get());
        return AsText(text);
    });
}

void DispatchCodeModule::DeleteLines(long line, long count) {
    AsIdeFailure([&] {
        Variant first(line);
        Variant many(count);
        CallMethod(module_.Get(), L"DeleteLines", {first.Get(), many.Get()});
    });
}

std::string DispatchCodeModule::ProcOfLine(long line, long& kind) {
    return AsIdeFailure([&] {
        LONG procKind = 0;
        VARIANT kindRef;
        VariantInit(&kindRef);
        kindRef.vt = VT_I4 | VT_BYREF;
        kindRef.plVal = &procKind;
        Variant lineArg(line);
        Variant name;
        Call(module_.Get(), L"ProcOfLine", kGetFlags, {lineArg.Get(), &kindRef}, name.Get());
        kind = procKind;
        return AsText(name);
    });
}

long DispatchCodeModule::ProcBodyLine(const std::string& name, long kind) {
    return AsIdeFailure([&] {
        Variant nameArg(Wide(name));
        Variant kindArg(kind);
        Variant line;
        Call(module_.Get(), L"ProcBodyLine", kGetFlags, {nameArg.Get(), kindArg.Get()}, line.Get());
        return AsLong(line);
    });
}

long DispatchCodeModule::CountOfDeclarationLines() {
    return AsIdeFailure([&] {
        Variant count;
        Call(module_.Get(), L"CountOfDeclarationLines", kGetFlags, {}, count.Get());
        return AsLong(count);
    });
}

std::vector<std::vector<std::string>> DispatchCodeModule::ProjectModules() {
    return AsIdeFailure([&] {
        ComPtr<IDispatch> component = GetObject(module_.Get(), L"Parent");
        ComPtr<IDispatch> components = GetObject(component.Get(), L"Collection");
        Variant countValue;
        Call(components.Get(), L"Count", kGetFlags, {}, countValue.Get());
        const long count = AsLong(countValue);
        std::vector<std::vector<std::string>> modules;
        for (long i = 1; i <= count; ++i) {
            Variant index(i);
            ComPtr<IDispatch> each = GetObject(components.Get(), L"Item", {index.Get()});
            // Only a standard module's Public names are seen from every module; a class's or
            // a form's are reached through an object. A component whose type cannot be read
            // counts.
            Variant type;
            try {
                Call(each.Get(), L"Type", kGetFlags, {}, type.Get());
                if (AsLong(type) != kStandardModule) {
                    continue;
                }
            } catch (const ResultException&) {
                LOG_CAUGHT_EXCEPTION();
            }
            DispatchCodeModule module(GetObject(each.Get(), L"CodeModule"));
            const long lines = module.CountOfLines();
            modules.push_back(lines > 0 ? SplitCrLf(module.Lines(1, lines))
                                        : std::vector<std::string>{});
        }
        return modules;
    });
}

ComPtr<IDispatch> AddInsCommandBar(IDispatch* vbe) {
    ComPtr<IDispatch> bars = GetObject(vbe, L"CommandBars");
    try {
        Variant name(std::wstring(names::kAddInsBarW));
        return GetObject(bars.Get(), L"Item", {name.Get()});
    } catch (const ResultException&) {
        // Not under its English name: the popup is found by its built-in Id below, and when
        // that fails too, the first refusal is the one to report.
        ComPtr<IDispatch> bar;
        try {
            ComPtr<IDispatch> menuBar = GetObject(bars.Get(), L"ActiveMenuBar");
            Variant type = Variant::Missing();
            Variant id(names::kAddInsMenuId);
            ComPtr<IDispatch> popup =
                GetObject(menuBar.Get(), L"FindControl", {type.Get(), id.Get()});
            bar = GetObject(popup.Get(), L"CommandBar");
        } catch (const ResultException&) {
            LOG_CAUGHT_EXCEPTION();
        }
        if (bar == nullptr) {
            throw;
        }
        return bar;
    }
}

ComPtr<IDispatch> AppendMenuItem(IDispatch* bar, const std::wstring& caption) {
    ComPtr<IDispatch> controls = GetObject(bar, L"Controls");
    Variant type(kControlTypeButton);
    Variant added;
    try {
        Variant id = Variant::Missing();
        Variant parameter = Variant::Missing();
        Variant before = Variant::Missing();
        Variant temporary = Variant::Bool(true);
        Call(controls.Get(), L"Add", DISPATCH_METHOD,
             {type.Get(), id.Get(), parameter.Get(), before.Get(), temporary.Get()}, added.Get());
    } catch (const ResultException&) {
        LOG_CAUGHT_EXCEPTION();
        Call(controls.Get(), L"Add", DISPATCH_METHOD, {type.Get()}, added.ReleaseAndGetAddressOf());
    }
    ComPtr<IDispatch> control = ObjectOf(added.Ref());
    THROW_HR_IF(E_POINTER, control == nullptr);
    Variant text(caption);
    PutProperty(control.Get(), L"Caption", text.Get());
    return control;
}

void DeleteTaggedControls(IDispatch* bar, const std::wstring& tag) {
    ComPtr<IDispatch> controls = GetObject(bar, L"Controls");
    Variant count;
    Call(controls.Get(), L"Count", kGetFlags, {}, count.Get());
    // A count that is no number leaves nothing to check. From the last to the first, so that a
    // deletion does not move the ones still to check.
    const bool counted = SUCCEEDED(VariantChangeType(count.Get(), count.Get(), 0, VT_I4));
    for (long i = counted ? count.Ref().lVal : 0; i >= 1; --i) {
        Variant index(i);
        ComPtr<IDispatch> control = GetObject(controls.Get(), L"Item", {index.Get()});
        Variant value;
        Call(control.Get(), L"Tag", kGetFlags, {}, value.Get());
        if (value.Ref().vt == VT_BSTR && value.Ref().bstrVal != nullptr &&
            tag == std::wstring_view(value.Ref().bstrVal, SysStringLen(value.Ref().bstrVal))) {
            CallMethod(control.Get(), L"Delete");
        }
    }
}

ComPtr<IUnknown> CommandBarEventsFor(IDispatch* vbe, IDispatch* control) {
    ComPtr<IDispatch> events = GetObject(vbe, L"Events");
    Variant item(control);
    Variant source;
    Call(events.Get(), L"CommandBarEvents", kGetFlags, {item.Get()}, source.Get());
    ComPtr<IUnknown> found = win32util::UnknownOf(source.Ref());
    if (found == nullptr) {
        ThrowFailure(names::kErrorObjectRequired);
    }
    return found;
}

void DeleteMenuItem(IDispatch* control) {
    CallMethod(control, L"Delete");
}

} // namespace qvn::addin
