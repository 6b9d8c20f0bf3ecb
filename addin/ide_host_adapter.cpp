#include "addin/ide_host_adapter.h"

#include "ide/names.h"

namespace qvn::addin {

namespace {
constexpr long kControlTypeButton = 1; // a plain command item
} // namespace

std::unique_ptr<IdeCodePane> DispatchIdeRoot::ActiveCodePane() {
    return std::make_unique<DispatchCodePane>(GetObject(vbe_.Get(), L"ActiveCodePane"));
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
    Call(pane_.Get(), L"GetSelection", DISPATCH_METHOD, {&refs[0], &refs[1], &refs[2], &refs[3]},
         nullptr);
    startLine = values[0];
    startColumn = values[1];
    endLine = values[2];
    endColumn = values[3];
}

std::unique_ptr<IdeCodeModule> DispatchCodePane::CodeModule() {
    return std::make_unique<DispatchCodeModule>(GetObject(pane_.Get(), L"CodeModule"));
}

void DispatchCodeModule::InsertLines(long line, const std::string& text) {
    Variant lineArg(line);
    Variant textArg(Wide(text));
    CallMethod(module_.Get(), L"InsertLines", {lineArg.Get(), textArg.Get()});
}

long DispatchCodeModule::CountOfLines() {
    Variant count;
    Call(module_.Get(), L"CountOfLines", kGetFlags, {}, count.Get());
    if (FAILED(VariantChangeType(count.Get(), count.Get(), 0, VT_I4))) {
        throw DispatchError(DISP_E_TYPEMISMATCH, DescribeFailure(DISP_E_TYPEMISMATCH));
    }
    return count.Ref().lVal;
}

std::string DispatchCodeModule::Lines(long line, long count) {
    Variant first(line);
    Variant many(count);
    Variant text;
    Call(module_.Get(), L"Lines", kGetFlags, {first.Get(), many.Get()}, text.Get());
    if (FAILED(VariantChangeType(text.Get(), text.Get(), 0, VT_BSTR))) {
        throw DispatchError(DISP_E_TYPEMISMATCH, DescribeFailure(DISP_E_TYPEMISMATCH));
    }
    return Utf8(std::wstring(text.Ref().bstrVal, SysStringLen(text.Ref().bstrVal)));
}

void DispatchCodeModule::DeleteLines(long line, long count) {
    Variant first(line);
    Variant many(count);
    CallMethod(module_.Get(), L"DeleteLines", {first.Get(), many.Get()});
}

ComPtr<IDispatch> AddInsCommandBar(IDispatch* vbe) {
    ComPtr<IDispatch> bars = GetObject(vbe, L"CommandBars");
    try {
        Variant name(std::wstring(names::kAddInsBarW));
        return GetObject(bars.Get(), L"Item", {name.Get()});
    } catch (const DispatchError&) {
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
        } catch (const DispatchError&) {
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
    } catch (const DispatchError&) {
        Call(controls.Get(), L"Add", DISPATCH_METHOD, {type.Get()}, added.ReleaseAndGetAddressOf());
    }
    ComPtr<IDispatch> control = ObjectOf(added.Ref());
    if (control == nullptr) {
        throw DispatchError(E_POINTER, DescribeFailure(E_POINTER));
    }
    Variant text(caption);
    PutProperty(control.Get(), L"Caption", text.Get());
    return control;
}

void DeleteTaggedControls(IDispatch* bar, const std::wstring& tag) {
    ComPtr<IDispatch> controls = GetObject(bar, L"Controls");
    Variant count;
    Call(controls.Get(), L"Count", kGetFlags, {}, count.Get());
    if (FAILED(VariantChangeType(count.Get(), count.Get(), 0, VT_I4))) {
        return;
    }
    // From the last to the first, so that a deletion does not move the ones still to check.
    for (long i = count.Ref().lVal; i >= 1; --i) {
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
        throw DispatchError(names::kErrorObjectRequired,
                            DescribeFailure(names::kErrorObjectRequired));
    }
    return found;
}

void DeleteMenuItem(IDispatch* control) {
    CallMethod(control, L"Delete");
}

} // namespace qvn::addin
