// The object model as a late-bound add-in sees it.
#include "host/event_source.h"
#include "host/stand_in_ide.h"
#include "host/tests/late_bound.h"

#include <gtest/gtest.h>
#include <office.h>
#include <olectl.h>
#include <vbide.h>

#include <functional>
#include <map>

namespace qvn::host {
namespace {

using Microsoft::WRL::ComPtr;
using testing::Call;
using testing::Get;
using testing::Long;
using testing::Method;
using testing::Missing;
using testing::Object;
using testing::Put;
using testing::Text;

// A sink that records each Click it receives.
class ClickSink final : public IDispatch {
public:
    explicit ClickSink(const IID& iid) : iid_(iid) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        *object = nullptr;
        if (riid == IID_IUnknown || riid == IID_IDispatch || riid == iid_) {
            *object = this;
            AddRef();
            return S_OK;
        }
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs; } // lives on the test's stack
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* n) override {
        *n = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                     VARIANT*, EXCEPINFO*, UINT*) override {
        lastId = id;
        lastFlags = flags;
        if (params->cArgs == 3) {
            control = params->rgvarg[2].vt == VT_DISPATCH ? params->rgvarg[2].pdispVal : nullptr;
            byRefBools = params->rgvarg[1].vt == (VT_BOOL | VT_BYREF) &&
                         params->rgvarg[0].vt == (VT_BOOL | VT_BYREF);
        }
        ++clicks;
        return S_OK;
    }

    ULONG refs = 0;
    int clicks = 0;
    DISPID lastId = DISPID_UNKNOWN;
    WORD lastFlags = 0;
    IDispatch* control = nullptr;
    bool byRefBools = false;

private:
    IID iid_;
};

class ObjectModelTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr))); }
    void TearDown() override { OleUninitialize(); }

    ComPtr<IDispatch> AddInsBar() {
        auto bars = Get(host_->Root(), L"CommandBars").Object();
        return Get(bars.Get(), L"Item", {Text(L"Add-Ins")}).Object();
    }
    ComPtr<IDispatch> AddItem(const wchar_t* caption) {
        auto controls = Get(AddInsBar().Get(), L"Controls").Object();
        auto item = Method(controls.Get(), L"Add", {Long(1)}).Object();
        EXPECT_EQ(S_OK, Put(item.Get(), L"Caption", Text(caption)));
        return item;
    }
    ComPtr<IDispatch> CodeModule() {
        auto pane = Get(host_->Root(), L"ActiveCodePane").Object();
        return Get(pane.Get(), L"CodeModule").Object();
    }

    std::unique_ptr<IdeHost> host_ = std::make_unique<IdeHost>();
};

TEST_F(ObjectModelTest, NamesResolveToTheLibraryMemberIds) {
    auto root = host_->Root();
    auto bars = Get(root, L"CommandBars").Object();
    auto bar = AddInsBar();
    auto controls = Get(bar.Get(), L"Controls").Object();
    auto item = AddItem(L"X");
    auto events = Get(root, L"Events").Object();
    auto pane = Get(root, L"ActiveCodePane").Object();
    auto module = Get(pane.Get(), L"CodeModule").Object();
    struct Case {
        IDispatch* object;
        const wchar_t* name;
        DISPID id;
    } cases[] = {
        {root, L"CommandBars", 0x6C},
        {root, L"Events", 0x6F},
        {root, L"ActiveCodePane", 0xCE},
        {root, L"activecodepane", 0xCE},
        {events.Get(), L"CommandBarEvents", 0xCD},
        {bars.Get(), L"Item", 0},
        {bar.Get(), L"Controls", 0x60040003},
        {controls.Get(), L"Add", 0x60030000},
        {item.Get(), L"Caption", 0x60040003},
        {item.Get(), L"Delete", 0x60040007},
        {pane.Get(), L"GetSelection", 0x60020003},
        {pane.Get(), L"CodeModule", 0x60020008},
        {module.Get(), L"InsertLines", 0x60020008},
        {module.Get(), L"CountOfLines", 0x60020007},
        {module.Get(), L"Lines", 0x60020006},
    };
    for (const auto& c : cases) {
        HRESULT hr = E_FAIL;
        EXPECT_EQ(c.id, testing::IdOf(c.object, c.name, &hr)) << testing::Utf8Name(c.name);
        EXPECT_EQ(S_OK, hr);
    }
    HRESULT hr = S_OK;
    EXPECT_EQ(DISPID_UNKNOWN, testing::IdOf(root, L"NoSuchMember", &hr));
    EXPECT_EQ(DISP_E_UNKNOWNNAME, hr);
}

TEST_F(ObjectModelTest, ObjectsAnswerTheirLibraryInterfaces) {
    auto root = host_->Root();
    auto pane = Get(root, L"ActiveCodePane").Object();
    auto item = AddItem(L"X");
    auto source =
        Get(Get(root, L"Events").Object().Get(), L"CommandBarEvents", {Object(item.Get())})
            .Object();
    struct Case {
        IDispatch* object;
        IID iid;
    } cases[] = {{root, IID_VBE},
                 {Get(root, L"Events").Object().Get(), IID_Events},
                 {Get(root, L"CommandBars").Object().Get(), IID_CommandBars},
                 {AddInsBar().Get(), IID_CommandBar},
                 {Get(AddInsBar().Get(), L"Controls").Object().Get(), IID_CommandBarControls},
                 {item.Get(), IID_CommandBarControl},
                 {pane.Get(), IID_CodePane},
                 {CodeModule().Get(), IID_CodeModule},
                 {source.Get(), IID_CommandBarEvents},
                 {source.Get(), IID_IConnectionPointContainer}};
    for (const auto& c : cases) {
        ComPtr<IUnknown> answer;
        EXPECT_EQ(S_OK,
                  c.object->QueryInterface(c.iid, reinterpret_cast<void**>(answer.GetAddressOf())));
    }
    ComPtr<IUnknown> none;
    EXPECT_EQ(E_NOINTERFACE,
              root->QueryInterface(IID_CodePane, reinterpret_cast<void**>(none.GetAddressOf())));
    EXPECT_EQ(nullptr, none.Get());
}

TEST_F(ObjectModelTest, AddAppendsCaptionShowsAndDeleteRemoves) {
    auto first = AddItem(L"First");
    auto second = AddItem(L"Quorvane");
    EXPECT_EQ((std::vector<std::wstring>{L"First", L"Quorvane"}), host_->AddInsMenu());
    EXPECT_EQ(L"Quorvane", Get(second.Get(), L"Caption").Text());
    EXPECT_EQ(2, Get(Get(AddInsBar().Get(), L"Controls").Object().Get(), L"Count").Number());

    EXPECT_EQ(S_OK, Method(first.Get(), L"Delete").hr);
    EXPECT_EQ((std::vector<std::wstring>{L"Quorvane"}), host_->AddInsMenu());
    EXPECT_EQ(S_OK, Method(second.Get(), L"Delete", {Missing()}).hr);
    EXPECT_TRUE(host_->AddInsMenu().empty());
    // A deleted control is gone for good.
    EXPECT_EQ(DISP_E_EXCEPTION, Method(second.Get(), L"Delete").hr);
    EXPECT_EQ(DISP_E_EXCEPTION, Put(second.Get(), L"Caption", Text(L"again")));

    auto controls = Get(AddInsBar().Get(), L"Controls").Object();
    EXPECT_EQ(DISP_E_EXCEPTION, Method(controls.Get(), L"Add", {Long(10)}).hr); // a popup
    auto defaulted = Method(controls.Get(), L"Add").Object(); // type defaults to a button
    EXPECT_NE(nullptr, defaulted.Get());
}

TEST_F(ObjectModelTest, ClickReachesSinksAdvisedOnEitherOutgoingInterface) {
    struct Case {
        EventInterface kind;
        IID iid;
        IID other;
    } cases[] = {{EventInterface::Vb5, DIID__dispCommandBarControlEvents,
                  ide::kDiidVbaCommandBarControlEvents},
                 {EventInterface::Vba, ide::kDiidVbaCommandBarControlEvents,
                  DIID__dispCommandBarControlEvents}};
    for (const auto& c : cases) {
        host_ = std::make_unique<IdeHost>();
        host_->SetEventInterface(c.kind);
        auto item = AddItem(L"Quorvane");
        auto source = Get(Get(host_->Root(), L"Events").Object().Get(), L"CommandBarEvents",
                          {Object(item.Get())})
                          .Object();
        ASSERT_NE(nullptr, source.Get());
        ComPtr<IConnectionPointContainer> container;
        ASSERT_EQ(S_OK, source.As(&container));
        ComPtr<IConnectionPoint> point;
        EXPECT_EQ(CONNECT_E_NOCONNECTION, container->FindConnectionPoint(c.other, &point));
        ASSERT_EQ(S_OK, container->FindConnectionPoint(c.iid, &point));
        ComPtr<IEnumConnectionPoints> points;
        ASSERT_EQ(S_OK, container->EnumConnectionPoints(&points));
        ComPtr<IConnectionPoint> only;
        ULONG fetched = 0;
        EXPECT_EQ(S_OK, points->Next(1, &only, &fetched));
        EXPECT_EQ(point.Get(), only.Get());

        ClickSink sink(c.iid);
        DWORD cookie = 0;
        ASSERT_EQ(S_OK, point->Advise(&sink, &cookie));
        EXPECT_EQ(1, host_->ClickAddInsItem(L"Quorvane"));
        EXPECT_EQ(1, sink.clicks);
        EXPECT_EQ(1, sink.lastId);
        EXPECT_EQ(DISPATCH_METHOD, sink.lastFlags);
        EXPECT_TRUE(sink.byRefBools);
        ComPtr<IUnknown> a;
        ComPtr<IUnknown> b;
        item.As(&a);
        sink.control->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(b.GetAddressOf()));
        EXPECT_EQ(a.Get(), b.Get()) << "Click passes the chosen control";

        EXPECT_EQ(S_OK, point->Unadvise(cookie));
        EXPECT_EQ(0, host_->ClickAddInsItem(L"Quorvane"));
        EXPECT_EQ(1, sink.clicks);
        EXPECT_EQ(0u, sink.refs) << "the source keeps no reference after Unadvise";
        EXPECT_EQ(-1, host_->ClickAddInsItem(L"Nothing here"));
    }
}

TEST_F(ObjectModelTest, EventBindingNeedsOneOfTheHostsControls) {
    auto events = Get(host_->Root(), L"Events").Object();
    auto nothing = Get(events.Get(), L"CommandBarEvents", {Object(nullptr)});
    EXPECT_EQ(DISP_E_EXCEPTION, nothing.hr);
    EXPECT_FALSE(nothing.description.empty());

    auto foreign = Get(events.Get(), L"CommandBarEvents", {Object(host_->Root())});
    EXPECT_EQ(DISP_E_EXCEPTION, foreign.hr);

    auto item = AddItem(L"Quorvane");
    host_->SetRefuseEventBinding(true);
    auto refused = Get(events.Get(), L"CommandBarEvents", {Object(item.Get())});
    EXPECT_EQ(DISP_E_EXCEPTION, refused.hr);
    EXPECT_FALSE(refused.description.empty());
    host_->SetRefuseEventBinding(false);
    EXPECT_EQ(S_OK, Get(events.Get(), L"CommandBarEvents", {Object(item.Get())}).hr);
}

TEST_F(ObjectModelTest, InsertLinesGoesBeforeTheLineAndSplitsAtLineBreaks) {
    struct Case {
        const wchar_t* module;
        long caret;
        const wchar_t* text;
        std::vector<std::wstring> expected;
        long caretAfter;
    } cases[] = {
        {L"a\r\nb\r\nc", 2, L"x\r\ny", {L"a", L"x", L"y", L"b", L"c"}, 4},
        {L"a\r\nb", 1, L"x", {L"x", L"a", L"b"}, 2},
        {L"", 1, L"MsgBox \"Hi\"", {L"MsgBox \"Hi\""}, 2},
        {L"a\r\nb", 3, L"x\r\n\ty", {L"a", L"b", L"x", L"\ty"}, 5},
        {L"a", 1, L"x\ny\rz", {L"x", L"y", L"z", L"a"}, 4},
    };
    for (const auto& c : cases) {
        host_->SetModuleText(c.module);
        host_->SetCaretLine(c.caret);
        auto pane = Get(host_->Root(), L"ActiveCodePane").Object();
        VARIANT out[4];
        for (auto& v : out) {
            VariantInit(&v);
        }
        long line = 0;
        VARIANT byRefLong;
        byRefLong.vt = VT_I4 | VT_BYREF;
        byRefLong.plVal = &line;
        std::vector<VARIANT> args{byRefLong, {}, {}, {}};
        for (int i = 1; i < 4; ++i) {
            args[i].vt = VT_VARIANT | VT_BYREF;
            args[i].pvarVal = &out[i];
        }
        ASSERT_EQ(S_OK, Method(pane.Get(), L"GetSelection", args).hr);
        EXPECT_EQ(c.caret, line);
        EXPECT_EQ(VT_I4, out[2].vt);
        auto module = Get(pane.Get(), L"CodeModule").Object();
        ASSERT_EQ(S_OK, Method(module.Get(), L"InsertLines", {Long(line), Text(c.text)}).hr);
        EXPECT_EQ(c.expected, host_->ModuleLines());
        EXPECT_EQ(static_cast<long>(c.expected.size()),
                  Get(module.Get(), L"CountOfLines").Number());
        EXPECT_EQ(c.caretAfter, host_->CaretLine()) << "the caret stays on its text";
    }
    auto module = CodeModule();
    host_->SetModuleText(L"a\r\nb\r\nc");
    EXPECT_EQ(L"b\r\nc", Get(module.Get(), L"Lines", {Long(2), Long(2)}).Text());
    EXPECT_EQ(DISP_E_EXCEPTION, Method(module.Get(), L"InsertLines", {Long(0), Text(L"x")}).hr);
    EXPECT_EQ(DISP_E_EXCEPTION, Get(module.Get(), L"Lines", {Long(9), Long(1)}).hr);
}

TEST_F(ObjectModelTest, InjectedFailuresCarryTheirDescription) {
    auto item = AddItem(L"Quorvane");
    auto events = Get(host_->Root(), L"Events").Object();
    const HRESULT hr = static_cast<HRESULT>(0x800A9C68);
    struct Case {
        const wchar_t* operation;
        std::function<testing::CallResult()> call;
    } cases[] = {
        {L"CommandBars", [&] { return Get(host_->Root(), L"CommandBars"); }},
        {L"Item",
         [&] {
             return Get(Get(host_->Root(), L"CommandBars").Object().Get(), L"Item",
                        {Text(L"Add-Ins")});
         }},
        {L"Controls", [&] { return Get(AddInsBar().Get(), L"Controls"); }},
        {L"Add",
         [&] {
             return Method(Get(AddInsBar().Get(), L"Controls").Object().Get(), L"Add", {Long(1)});
         }},
        {L"Caption",
         [&] { return Call(item.Get(), L"Caption", DISPATCH_PROPERTYPUT, {Text(L"x")}); }},
        {L"Events", [&] { return Get(host_->Root(), L"Events"); }},
        {L"CommandBarEvents",
         [&] { return Get(events.Get(), L"CommandBarEvents", {Object(item.Get())}); }},
        {L"ActiveCodePane", [&] { return Get(host_->Root(), L"ActiveCodePane"); }},
        {L"GetSelection",
         [&] {
             VARIANT v[4];
             std::vector<VARIANT> args;
             for (auto& x : v) {
                 VariantInit(&x);
                 VARIANT r;
                 r.vt = VT_VARIANT | VT_BYREF;
                 r.pvarVal = &x;
                 args.push_back(r);
             }
             return Method(Get(host_->Root(), L"ActiveCodePane").Object().Get(), L"GetSelection",
                           args);
         }},
        {L"CodeModule",
         [&] { return Get(Get(host_->Root(), L"ActiveCodePane").Object().Get(), L"CodeModule"); }},
        {L"InsertLines",
         [&] {
             return Method(CodeModule().Get(), L"InsertLines", {Long(1), Text(L"x")});
         }},
        {L"Delete", [&] { return Method(item.Get(), L"Delete"); }},
    };
    for (const auto& c : cases) {
        host_->FailOperation(c.operation, hr, std::wstring(L"Injected: ") + c.operation);
        auto result = c.call();
        EXPECT_EQ(DISP_E_EXCEPTION, result.hr) << testing::Utf8Name(c.operation);
        EXPECT_EQ(hr, result.scode) << testing::Utf8Name(c.operation);
        EXPECT_EQ(std::wstring(L"Injected: ") + c.operation, result.description);
        host_->ClearFailures();
        EXPECT_EQ(S_OK, c.call().hr) << testing::Utf8Name(c.operation) << " works again";
    }
    // Early-bound callers find the same description as IErrorInfo.
    host_->FailOperation(L"CommandBars", E_ACCESSDENIED, L"No bars today", 1);
    ComPtr<::VBE> vbe;
    ASSERT_EQ(S_OK,
              host_->Root()->QueryInterface(IID_VBE, reinterpret_cast<void**>(vbe.GetAddressOf())));
    ComPtr<::CommandBars> bars;
    EXPECT_EQ(E_ACCESSDENIED, vbe->get_CommandBars(&bars));
    ComPtr<IErrorInfo> info;
    ASSERT_EQ(S_OK, GetErrorInfo(0, &info));
    BSTR text = nullptr;
    info->GetDescription(&text);
    EXPECT_STREQ(L"No bars today", text);
    SysFreeString(text);
    EXPECT_EQ(S_OK, vbe->get_CommandBars(&bars)) << "a counted failure wears off";
}

TEST_F(ObjectModelTest, MissingPaneAndMissingBar) {
    host_->SetCodePaneOpen(false);
    auto pane = Get(host_->Root(), L"ActiveCodePane");
    EXPECT_EQ(S_OK, pane.hr);
    EXPECT_EQ(VT_DISPATCH, pane.value.vt);
    EXPECT_EQ(nullptr, pane.value.pdispVal) << "Nothing, as the IDE answers";

    host_->SetAddInsBar(false);
    auto bars = Get(host_->Root(), L"CommandBars").Object();
    auto bar = Get(bars.Get(), L"Item", {Text(L"Add-Ins")});
    EXPECT_EQ(DISP_E_EXCEPTION, bar.hr);
    EXPECT_EQ(S_OK, Get(bars.Get(), L"Item", {Text(L"standard")}).hr) << "names ignore case";
    EXPECT_EQ(-1, host_->ClickAddInsItem(L"Quorvane"));
}

TEST_F(ObjectModelTest, ObjectsGoBackToTheirCountsWhenTheCallerLetsGo) {
    auto before = host_->Objects();
    std::size_t liveBefore = host_->LiveObjectCount();
    {
        auto item = AddItem(L"Quorvane");
        auto source = Get(Get(host_->Root(), L"Events").Object().Get(), L"CommandBarEvents",
                          {Object(item.Get())})
                          .Object();
        ComPtr<IConnectionPointContainer> container;
        source.As(&container);
        ComPtr<IConnectionPoint> point;
        container->FindConnectionPoint(DIID__dispCommandBarControlEvents, &point);
        ClickSink sink(DIID__dispCommandBarControlEvents);
        DWORD cookie = 0;
        point->Advise(&sink, &cookie);
        host_->ClickAddInsItem(L"Quorvane");
        point->Unadvise(cookie);
        Method(item.Get(), L"Delete");
        EXPECT_GT(host_->LiveObjectCount(), liveBefore);
    }
    auto after = host_->Objects();
    EXPECT_EQ(liveBefore, host_->LiveObjectCount());
    ASSERT_EQ(before.size(), after.size());
    for (std::size_t i = 0; i < before.size(); ++i) {
        EXPECT_EQ(before[i].type, after[i].type);
        EXPECT_EQ(before[i].refs, after[i].refs) << testing::Utf8Name(before[i].type.c_str());
    }
    // A reference kept back shows up.
    auto leaked = Get(host_->Root(), L"CommandBars").Object();
    std::size_t changed = 0;
    auto now = host_->Objects();
    for (std::size_t i = 0; i < before.size(); ++i) {
        changed += now[i].refs != before[i].refs ? 1 : 0;
    }
    EXPECT_EQ(1u, changed);
}

} // namespace
} // namespace qvn::host

namespace qvn::host {
namespace {

// The type libraries travel beside the programs; objects describe themselves from them.
TEST(ObjectTypeInfo, ObjectsDescribeThemselvesFromTheIdeLibraries) {
    ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
    {
        IdeHost host;
        auto bars = testing::Get(host.Root(), L"CommandBars").Object();
        struct Case {
            IDispatch* object;
            const wchar_t* name;
        } cases[] = {{host.Root(), L"VBE"}, {bars.Get(), L"CommandBars"}};
        for (const auto& c : cases) {
            UINT count = 0;
            ASSERT_EQ(S_OK, c.object->GetTypeInfoCount(&count));
            ASSERT_EQ(1u, count) << "VB5EXT.OLB and MSO97.DLL beside the test program";
            Microsoft::WRL::ComPtr<ITypeInfo> info;
            ASSERT_EQ(S_OK, c.object->GetTypeInfo(0, 0, &info));
            BSTR name = nullptr;
            info->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr);
            EXPECT_STREQ(c.name, name);
            SysFreeString(name);
        }
    }
    OleUninitialize();
}

} // namespace
} // namespace qvn::host
