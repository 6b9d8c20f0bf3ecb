#include "addin/ide_host_adapter.h"

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

ComPtr<IDispatch> CommandBarNamed(IDispatch* vbe, const std::wstring& barName) {
    ComPtr<IDispatch> bars = GetObject(vbe, L"CommandBars");
    Variant name(barName);
    return GetObject(bars.Get(), L"Item", {name.Get()});
}

ComPtr<IDispatch> AppendMenuItem(IDispatch* bar, const std::wstring& caption) {
    ComPtr<IDispatch> controls = GetObject(bar, L"Controls");
    Variant type(kControlTypeButton);
    Variant added;
    Call(controls.Get(), L"Add", DISPATCH_METHOD, {type.Get()}, added.Get());
    ComPtr<IDispatch> control = ObjectOf(added.Ref());
    if (control == nullptr) {
        throw DispatchError(E_POINTER, DescribeFailure(E_POINTER));
    }
    Variant text(caption);
    PutProperty(control.Get(), L"Caption", text.Get());
    return control;
}

ComPtr<IDispatch> CommandBarEventsFor(IDispatch* vbe, IDispatch* control) {
    ComPtr<IDispatch> events = GetObject(vbe, L"Events");
    Variant item(control);
    return GetObject(events.Get(), L"CommandBarEvents", {item.Get()});
}

void DeleteMenuItem(IDispatch* control) {
    CallMethod(control, L"Delete");
}

} // namespace qvn::addin
