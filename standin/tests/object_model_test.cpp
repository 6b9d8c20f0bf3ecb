// The object model as a late-bound add-in sees it.
#include "standin/event_source.h"
#include "standin/stand_in_ide.h"
#include "standin/tests/late_bound.h"
#include "testsupport/com_stubs.h"
#include "win32util/text.h"

#include <gtest/gtest.h>
#include <office.h>
#include <olectl.h>
#include <vba_extensibility.h>
#include <vbide.h>

#include <algorithm>
#include <functional>
#include <map>
#include <utility>

namespace qvn::standin {
namespace {

using Microsoft::WRL::ComPtr;
using testing::Call;
using testing::Get;
using testing::Long;
using testing::LongRef;
using testing::Method;
using testing::Missing;
using testing::Object;
using testing::Put;
using testing::Text;

// A sink that records each Click it receives.
class ClickSink final : public qvn::testing::WithoutTypeInfo<IDispatch> {
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
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                     VARIANT*, EXCEPINFO*, UINT*) noexcept override {
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
    // Every flavour numbers its members alike; Office 97's controls know Tag as well.
    for (HostFlavour flavour : {HostFlavour::Vb5, HostFlavour::Vb6, HostFlavour::Vba}) {
        host_ = std::make_unique<IdeHost>(flavour);
        auto root = host_->Root();
        auto bars = Get(root, L"CommandBars").Object();
        auto bar = AddInsBar();
        auto controls = Get(bar.Get(), L"Controls").Object();
        auto item = AddItem(L"X");
        auto events = Get(root, L"Events").Object();
        auto pane = Get(root, L"ActiveCodePane").Object();
        auto module = Get(pane.Get(), L"CodeModule").Object();
        auto component = Get(module.Get(), L"Parent").Object();
        auto components = Get(component.Get(), L"Collection").Object();
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
            {item.Get(), L"Tag", 0x60040023},
            {item.Get(), L"Id", 0x60040013},
            {bars.Get(), L"ActiveMenuBar", 0x60030001},
            {bars.Get(), L"FindControl", 0x60030008},
            {bar.Get(), L"FindControl", 0x60040007},
            {pane.Get(), L"GetSelection", 0x60020003},
            {pane.Get(), L"CodeModule", 0x60020008},
            {module.Get(), L"InsertLines", 0x60020008},
            {module.Get(), L"CountOfLines", 0x60020007},
            {module.Get(), L"Lines", 0x60020006},
            {module.Get(), L"Parent", 0x60020000},
            {module.Get(), L"ProcStartLine", 0x6002000B},
            {module.Get(), L"ProcBodyLine", 0x6002000D},
            {module.Get(), L"ProcOfLine", 0x6002000E},
            {module.Get(), L"CountOfDeclarationLines", 0x6002000F},
            {component.Get(), L"CodeModule", 0x32},
            {component.Get(), L"Type", 0x33},
            {component.Get(), L"Collection", 0x36},
            {components.Get(), L"Item", 0},
            {components.Get(), L"Count", 0xA},
        };
        for (const auto& c : cases) {
            HRESULT hr = E_FAIL;
            EXPECT_EQ(c.id, testing::IdOf(c.object, c.name, &hr)) << testing::Utf8Name(c.name);
            EXPECT_EQ(c.id == DISPID_UNKNOWN ? DISP_E_UNKNOWNNAME : S_OK, hr);
        }
        HRESULT hr = S_OK;
        EXPECT_EQ(DISPID_UNKNOWN, testing::IdOf(root, L"NoSuchMember", &hr));
        EXPECT_EQ(DISP_E_UNKNOWNNAME, hr);
    }
}

TEST_F(ObjectModelTest, ObjectsAnswerTheirLibraryInterfaces) {
    auto root = host_->Root();
    auto pane = Get(root, L"ActiveCodePane").Object();
    auto item = AddItem(L"X");
    auto events =
        Get(Get(root, L"Events").Object().Get(), L"CommandBarEvents", {Object(item.Get())});
    // The event source is no dispatch object: handed out as VT_UNKNOWN, it answers its
    // library's member-less interface and the container, and refuses IDispatch.
    EXPECT_EQ(VT_UNKNOWN, events.value.vt);
    auto source = events.Unknown();
    ASSERT_NE(nullptr, source.Get());
    ComPtr<IDispatch> dispatch;
    EXPECT_EQ(E_NOINTERFACE, source.As(&dispatch));
    struct Case {
        IUnknown* object;
        IID iid;
    } cases[] = {{root, IID_VBE},
                 {Get(root, L"Events").Object().Get(), IID_Events},
                 {Get(root, L"CommandBars").Object().Get(), IID_CommandBars},
                 {AddInsBar().Get(), IID_CommandBar},
                 {Get(AddInsBar().Get(), L"Controls").Object().Get(), IID_CommandBarControls},
                 {item.Get(), IID_CommandBarControl},
                 {pane.Get(), IID_CodePane},
                 {CodeModule().Get(), IID_CodeModule},
                 {source.Get(), IID__CommandBarControlEvents},
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
                          .Unknown();
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
        long line = 0;
        long out[4] = {};
        std::vector<VARIANT> args{LongRef(&line), LongRef(&out[1]), LongRef(&out[2]),
                                  LongRef(&out[3])};
        ASSERT_EQ(S_OK, Method(pane.Get(), L"GetSelection", args).hr);
        EXPECT_EQ(c.caret, line);
        EXPECT_EQ(line, out[2]) << "an empty selection ends where it starts";
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
             long v[4] = {};
             std::vector<VARIANT> args{LongRef(&v[0]), LongRef(&v[1]), LongRef(&v[2]),
                                       LongRef(&v[3])};
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
                          .Unknown();
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
} // namespace qvn::standin

namespace qvn::standin {
namespace {

// The type libraries travel beside the programs; objects describe themselves from them.
TEST(ObjectTypeInfo, ObjectsDescribeThemselvesFromTheIdeLibraries) {
    ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
    for (HostFlavour flavour : {HostFlavour::Vb5, HostFlavour::Vb6, HostFlavour::Vba}) {
        IdeHost host(flavour);
        auto bars = testing::Get(host.Root(), L"CommandBars").Object();
        auto bar = testing::Get(bars.Get(), L"Item", {testing::Text(L"Add-Ins")}).Object();
        auto controls = testing::Get(bar.Get(), L"Controls").Object();
        auto item = testing::Method(controls.Get(), L"Add", {testing::Long(1)}).Object();
        struct Case {
            IDispatch* object;
            const wchar_t* name;
        } cases[] = {{host.Root(), L"VBE"},
                     {bars.Get(), L"CommandBars"},
                     {item.Get(), L"CommandBarControl"}};
        for (const auto& c : cases) {
            UINT count = 0;
            ASSERT_EQ(S_OK, c.object->GetTypeInfoCount(&count));
            ASSERT_EQ(1u, count) << "the flavour's libraries beside the test program";
            Microsoft::WRL::ComPtr<ITypeInfo> info;
            ASSERT_EQ(S_OK, c.object->GetTypeInfo(0, 0, &info));
            BSTR name = nullptr;
            info->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr);
            EXPECT_STREQ(c.name, name);
            SysFreeString(name);
        }
        // The description is the flavour's library: VBA's root under its own id; every
        // library's controls have Tag, Office 97's too.
        Microsoft::WRL::ComPtr<ITypeInfo> root;
        ASSERT_EQ(S_OK, host.Root()->GetTypeInfo(0, 0, &root));
        TYPEATTR* attr = nullptr;
        ASSERT_EQ(S_OK, root->GetTypeAttr(&attr));
        EXPECT_TRUE(IsEqualGUID(flavour == HostFlavour::Vba ? IID_VbaVBE : IID_VBE, attr->guid));
        root->ReleaseTypeAttr(attr);
        // The VB6 IDE's library is the VB5 one's id at version 5.3.
        Microsoft::WRL::ComPtr<ITypeLib> library;
        UINT index = 0;
        ASSERT_EQ(S_OK, root->GetContainingTypeLib(&library, &index));
        TLIBATTR* libraryAttr = nullptr;
        ASSERT_EQ(S_OK, library->GetLibAttr(&libraryAttr));
        EXPECT_EQ(libraryAttr->wMinorVerNum, flavour == HostFlavour::Vb6   ? 3
                                             : flavour == HostFlavour::Vba ? 3
                                                                           : 0);
        library->ReleaseTLibAttr(libraryAttr);
        // The root's and Events' calls follow the stand-in's own descriptions: each member
        // must lie in the slot, under the id and name, of the library's member it stands for,
        // or a call would reach the wrong method.
        auto events = testing::Get(host.Root(), L"Events").Object();
        const std::pair<IDispatch*, const IID*> described[] = {{host.Root(), &IID_VBECalls},
                                                               {events.Get(), &IID_EventsCalls}};
        for (const auto& [object, callsIid] : described) {
            Microsoft::WRL::ComPtr<ITypeInfo> real;
            ASSERT_EQ(S_OK, object->GetTypeInfo(0, 0, &real));
            ITypeInfo* calls = IdeTypeInfo(*callsIid, flavour);
            ASSERT_NE(nullptr, calls);
            ASSERT_EQ(S_OK, real->GetTypeAttr(&attr));
            const WORD members = attr->cFuncs;
            real->ReleaseTypeAttr(attr);
            ASSERT_EQ(S_OK, calls->GetTypeAttr(&attr));
            EXPECT_EQ(members, attr->cFuncs);
            calls->ReleaseTypeAttr(attr);
            for (UINT i = 0; i < members; ++i) {
                FUNCDESC* want = nullptr;
                FUNCDESC* call = nullptr;
                ASSERT_EQ(S_OK, real->GetFuncDesc(i, &want));
                ASSERT_EQ(S_OK, calls->GetFuncDesc(i, &call));
                BSTR wantName = nullptr;
                BSTR callName = nullptr;
                real->GetDocumentation(want->memid, &wantName, nullptr, nullptr, nullptr);
                calls->GetDocumentation(call->memid, &callName, nullptr, nullptr, nullptr);
                EXPECT_STREQ(wantName, callName);
                EXPECT_EQ(want->memid, call->memid) << testing::Utf8Name(wantName);
                EXPECT_EQ(want->oVft, call->oVft) << testing::Utf8Name(wantName);
                EXPECT_EQ(want->invkind, call->invkind) << testing::Utf8Name(wantName);
                EXPECT_EQ(want->cParams, call->cParams) << testing::Utf8Name(wantName);
                SysFreeString(wantName);
                SysFreeString(callName);
                real->ReleaseFuncDesc(want);
                calls->ReleaseFuncDesc(call);
            }
        }
        Microsoft::WRL::ComPtr<ITypeInfo> control;
        ASSERT_EQ(S_OK, item->GetTypeInfo(0, 0, &control));
        LPOLESTR tag[] = {const_cast<LPOLESTR>(L"Tag")};
        MEMBERID id = MEMBERID_NIL;
        EXPECT_TRUE(SUCCEEDED(control->GetIDsOfNames(tag, 1, &id)));
        EXPECT_EQ(0x60040023, id);
    }
    OleUninitialize();
}

} // namespace
} // namespace qvn::standin

namespace qvn::standin {
namespace {

using Microsoft::WRL::ComPtr;
using testing::Get;
using testing::Long;
using testing::Method;
using testing::Object;
using testing::Put;
using testing::Text;
using win32util::GuidText;

std::vector<std::wstring> gButtonClicks;

// A sink of a button's own Click: logs "<name>" for each call, checks the call's shape, and
// may set CancelDefault to show that later sinks see it.
class ButtonSink final : public qvn::testing::WithoutTypeInfo<IDispatch> {
public:
    explicit ButtonSink(std::wstring name, bool cancel = false)
        : name_(std::move(name)), cancel_(cancel) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        *object = nullptr;
        if (riid == IID_IUnknown || riid == IID_IDispatch ||
            riid == ide::kDiidCommandBarButtonEvents) {
            *object = this;
            AddRef();
            return S_OK;
        }
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs; } // lives on the test's stack
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*,
                                     EXCEPINFO*, UINT*) noexcept override {
        gButtonClicks.push_back(name_);
        wellFormed = id == 1 && params->cArgs == 2 && params->rgvarg[1].vt == VT_DISPATCH &&
                     params->rgvarg[0].vt == (VT_BOOL | VT_BYREF);
        if (!wellFormed) {
            return S_OK;
        }
        control = params->rgvarg[1].pdispVal;
        sawCancel = *params->rgvarg[0].pboolVal;
        if (cancel_) {
            *params->rgvarg[0].pboolVal = VARIANT_TRUE;
        }
        return S_OK;
    }

    ULONG refs = 0;
    bool wellFormed = false;
    IDispatch* control = nullptr;
    VARIANT_BOOL sawCancel = VARIANT_FALSE;

private:
    std::wstring name_;
    bool cancel_;
};

bool SameObject(IUnknown* a, IUnknown* b) {
    ComPtr<IUnknown> x;
    ComPtr<IUnknown> y;
    a->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(x.GetAddressOf()));
    b->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(y.GetAddressOf()));
    return x.Get() == y.Get();
}

class VbaObjectModelTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
        gButtonClicks.clear();
    }
    void TearDown() override {
        host_.reset();
        OleUninitialize();
    }
    ComPtr<IDispatch> AddButton(const wchar_t* caption, const wchar_t* tag) {
        auto bars = Get(host_->Root(), L"CommandBars").Object();
        auto bar = Get(bars.Get(), L"Item", {Text(L"Add-Ins")}).Object();
        auto controls = Get(bar.Get(), L"Controls").Object();
        auto button = Method(controls.Get(), L"Add", {Long(1)}).Object();
        EXPECT_EQ(S_OK, Put(button.Get(), L"Caption", Text(caption)));
        EXPECT_EQ(S_OK, Put(button.Get(), L"Tag", Text(tag)));
        return button;
    }
    // Advises `sink` on the button's own Click; returns the point to unadvise on.
    static ComPtr<IConnectionPoint> Advise(IDispatch* button, ButtonSink* sink, DWORD* cookie) {
        ComPtr<IConnectionPointContainer> container;
        ComPtr<IConnectionPoint> point;
        EXPECT_EQ(S_OK, button->QueryInterface(IID_IConnectionPointContainer,
                                               reinterpret_cast<void**>(container.GetAddressOf())));
        if (container) {
            EXPECT_EQ(S_OK,
                      container->FindConnectionPoint(ide::kDiidCommandBarButtonEvents, &point));
        }
        if (point) {
            EXPECT_EQ(S_OK, point->Advise(sink, cookie));
        }
        return point;
    }

    std::unique_ptr<IdeHost> host_ = std::make_unique<IdeHost>(HostFlavour::Vba);
};

TEST_F(VbaObjectModelTest, ObjectsAnswerOnlyTheVbaLibrarysInterfaces) {
    auto root = host_->Root();
    auto events = Get(root, L"Events").Object();
    auto pane = Get(root, L"ActiveCodePane").Object();
    auto module = Get(pane.Get(), L"CodeModule").Object();
    auto button = AddButton(L"Quorvane", L"");
    struct Case {
        IDispatch* object;
        IID answered;
        IID refused;
    } cases[] = {
        {root, IID_VbaVBE, IID_VBE},
        {events.Get(), IID_VbaEvents, IID_Events},
        {pane.Get(), IID__CodePane, IID_CodePane},
        {module.Get(), IID__CodeModule, IID_CodeModule},
        {button.Get(), IID_IConnectionPointContainer, IID_CommandBars},
        {Get(root, L"CommandBars").Object().Get(), IID_CommandBars, IID_CommandBar},
    };
    for (const auto& c : cases) {
        ComPtr<IUnknown> answer;
        EXPECT_EQ(S_OK, c.object->QueryInterface(c.answered,
                                                 reinterpret_cast<void**>(answer.GetAddressOf())))
            << testing::Utf8Name(GuidText(c.answered).c_str());
        ComPtr<IUnknown> none;
        EXPECT_EQ(E_NOINTERFACE, c.object->QueryInterface(
                                     c.refused, reinterpret_cast<void**>(none.GetAddressOf())))
            << testing::Utf8Name(GuidText(c.refused).c_str());
        EXPECT_EQ(nullptr, none.Get());
    }
    // The VB5 IDE's controls are no event sources of their own.
    IdeHost vb5;
    auto bars = Get(vb5.Root(), L"CommandBars").Object();
    auto controls = Get(Get(bars.Get(), L"Item", {Text(L"Add-Ins")}).Object().Get(), L"Controls");
    auto vb5Item = Method(controls.Object().Get(), L"Add", {Long(1)}).Object();
    ComPtr<IUnknown> container;
    EXPECT_EQ(E_NOINTERFACE,
              vb5Item->QueryInterface(IID_IConnectionPointContainer,
                                      reinterpret_cast<void**>(container.GetAddressOf())));
}

TEST_F(VbaObjectModelTest, EarlyBoundCallsThroughTheVbaHeaderReachTheSameObjects) {
    host_->SetModuleText(L"Sub Main()\r\nEnd Sub");
    host_->SetCaretLine(2);
    ComPtr<VbaVBE> vbe;
    ASSERT_EQ(S_OK, host_->Root()->QueryInterface(IID_VbaVBE,
                                                  reinterpret_cast<void**>(vbe.GetAddressOf())));
    ComPtr<::CommandBars> bars;
    ASSERT_EQ(S_OK, vbe->get_CommandBars(&bars));
    VARIANT name;
    name.vt = VT_BSTR;
    name.bstrVal = SysAllocString(L"Add-Ins");
    ComPtr<::CommandBar> bar;
    EXPECT_EQ(S_OK, bars->get_Item(name, &bar));
    VariantClear(&name);
    ComPtr<VbaEvents> events;
    EXPECT_EQ(S_OK, vbe->get_VbaEvents(&events));
    ComPtr<_CodePane> pane;
    ASSERT_EQ(S_OK, vbe->get_ActiveCodePane(&pane));
    LONG line = 0, column = 0, endLine = 0, endColumn = 0;
    ASSERT_EQ(S_OK, pane->GetSelection(&line, &column, &endLine, &endColumn));
    EXPECT_EQ(2, line);
    ComPtr<_CodeModule> module;
    ASSERT_EQ(S_OK, pane->get_CodeModule(&module));
    BSTR text = SysAllocString(L"MsgBox \"Hi\"");
    EXPECT_EQ(S_OK, module->InsertLines(line, text));
    SysFreeString(text);
    EXPECT_EQ((std::vector<std::wstring>{L"Sub Main()", L"MsgBox \"Hi\"", L"End Sub"}),
              host_->ModuleLines());
}

TEST_F(VbaObjectModelTest, ButtonClickReachesTheSinksOfEveryButtonWithItsTag) {
    auto a = AddButton(L"A", L"qvn");
    auto b = AddButton(L"B", L"qvn");
    auto c = AddButton(L"C", L"");
    auto d = AddButton(L"D", L"");
    auto e = AddButton(L"E", L"other");
    EXPECT_EQ(L"qvn", Get(a.Get(), L"Tag").Text());
    ButtonSink sinks[] = {ButtonSink(L"A"), ButtonSink(L"B"), ButtonSink(L"C"), ButtonSink(L"D"),
                          ButtonSink(L"E")};
    IDispatch* buttons[] = {a.Get(), b.Get(), c.Get(), d.Get(), e.Get()};
    DWORD cookies[5] = {};
    ComPtr<IConnectionPoint> points[5];
    for (int i = 0; i < 5; ++i) {
        points[i] = Advise(buttons[i], &sinks[i], &cookies[i]);
    }
    struct Case {
        std::function<void()> before; // changes made before the click
        const wchar_t* clicked;
        std::vector<std::wstring> heard;
    } cases[] = {
        {[] {}, L"A", {L"A", L"B"}},
        {[] {}, L"B", {L"A", L"B"}},
        {[] {}, L"C", {L"C"}},
        {[] {}, L"D", {L"D"}},
        {[] {}, L"E", {L"E"}},
        {[&] { Put(b.Get(), L"Tag", Text(L"other")); }, L"A", {L"A"}},
        {[] {}, L"E", {L"B", L"E"}},
        {[&] { Method(b.Get(), L"Delete"); }, L"E", {L"E"}},
        {[&] { Put(d.Get(), L"Tag", Text(L"qvn")); }, L"A", {L"A", L"D"}},
    };
    for (const auto& x : cases) {
        x.before();
        gButtonClicks.clear();
        int called = host_->ClickAddInsItem(x.clicked);
        auto heard = gButtonClicks;
        std::sort(heard.begin(), heard.end());
        EXPECT_EQ(x.heard, heard) << testing::Utf8Name(x.clicked);
        EXPECT_EQ(static_cast<int>(x.heard.size()), called);
        IDispatch* clicked = buttons[x.clicked[0] - L'A'];
        for (int i = 0; i < 5; ++i) {
            std::wstring name(1, static_cast<wchar_t>(L'A' + i));
            if (std::find(x.heard.begin(), x.heard.end(), name) != x.heard.end()) {
                EXPECT_TRUE(sinks[i].wellFormed) << "Click(Ctrl, CancelDefault)";
                EXPECT_TRUE(SameObject(sinks[i].control, clicked)) << "Ctrl is the clicked button";
            }
        }
    }
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(S_OK, points[i]->Unadvise(cookies[i]));
        EXPECT_EQ(0u, sinks[i].refs);
    }
}

TEST_F(VbaObjectModelTest, CancelDefaultComesByReferenceThroughTheWholeClick) {
    auto button = AddButton(L"Quorvane", L"qvn");
    auto twin = AddButton(L"Twin", L"qvn");
    ButtonSink first(L"first", true);
    ButtonSink second(L"second");
    DWORD cookies[2] = {};
    auto p1 = Advise(button.Get(), &first, &cookies[0]);
    auto p2 = Advise(twin.Get(), &second, &cookies[1]);
    for (int click = 0; click < 2; ++click) {
        gButtonClicks.clear();
        EXPECT_EQ(2, host_->ClickAddInsItem(L"Quorvane"));
        ASSERT_EQ((std::vector<std::wstring>{L"first", L"second"}), gButtonClicks);
        EXPECT_EQ(VARIANT_FALSE, first.sawCancel) << "each click starts without CancelDefault";
        EXPECT_EQ(VARIANT_TRUE, second.sawCancel) << "set by the sink before";
    }
    p1->Unadvise(cookies[0]);
    p2->Unadvise(cookies[1]);
}

TEST_F(VbaObjectModelTest, CommandBarEventsFailsOnlyInThe64BitEditor) {
    auto button = AddButton(L"Quorvane", L"");
    auto events = Get(host_->Root(), L"Events").Object();
    auto result = Get(events.Get(), L"CommandBarEvents", {Object(button.Get())});
    if (kHost64Bit) {
        EXPECT_EQ(DISP_E_EXCEPTION, result.hr);
        EXPECT_EQ(E_FAIL, result.scode);
        EXPECT_FALSE(result.description.empty());
        return;
    }
    ASSERT_EQ(S_OK, result.hr);
    EXPECT_EQ(VT_UNKNOWN, result.value.vt);
    auto source = result.Unknown();
    ComPtr<IUnknown> vb5;
    EXPECT_EQ(E_NOINTERFACE, source->QueryInterface(IID__CommandBarControlEvents,
                                                    reinterpret_cast<void**>(vb5.GetAddressOf())));
    EXPECT_EQ(S_OK, source->QueryInterface(IID__VbaCommandBarControlEvents,
                                           reinterpret_cast<void**>(vb5.GetAddressOf())));
    ComPtr<IConnectionPointContainer> container;
    ASSERT_EQ(S_OK, source.As(&container));
    ComPtr<IConnectionPoint> point;
    EXPECT_EQ(CONNECT_E_NOCONNECTION,
              container->FindConnectionPoint(DIID__dispCommandBarControlEvents, &point));
    ASSERT_EQ(S_OK, container->FindConnectionPoint(DIID__dispVbaCommandBarControlEvents, &point));
    ClickSink sink(DIID__dispVbaCommandBarControlEvents);
    DWORD cookie = 0;
    ASSERT_EQ(S_OK, point->Advise(&sink, &cookie));
    ButtonSink own(L"own");
    DWORD ownCookie = 0;
    auto ownPoint = Advise(button.Get(), &own, &ownCookie);
    EXPECT_EQ(2, host_->ClickAddInsItem(L"Quorvane")) << "both kinds of sink hear the click";
    EXPECT_EQ(1, sink.clicks);
    EXPECT_TRUE(sink.byRefBools);
    point->Unadvise(cookie);
    ownPoint->Unadvise(ownCookie);
}

TEST_F(VbaObjectModelTest, ObjectsGoBackToTheirCountsWhenTheCallerLetsGo) {
    const auto before = host_->Objects();
    {
        auto button = AddButton(L"Quorvane", L"qvn");
        auto twin = AddButton(L"Twin", L"qvn");
        ButtonSink sink(L"sink");
        DWORD cookie = 0;
        auto point = Advise(button.Get(), &sink, &cookie);
        ComPtr<IEnumConnectionPoints> points;
        ComPtr<IConnectionPointContainer> container;
        button.As(&container);
        ASSERT_EQ(S_OK, container->EnumConnectionPoints(&points));
        EXPECT_EQ(1, host_->ClickAddInsItem(L"Twin"));
        EXPECT_GT(host_->LiveObjectCount(), before.size());
        point->Unadvise(cookie);
        Method(button.Get(), L"Delete");
        Method(twin.Get(), L"Delete");
    }
    const auto after = host_->Objects();
    ASSERT_EQ(before.size(), after.size());
    for (std::size_t i = 0; i < before.size(); ++i) {
        EXPECT_EQ(before[i].type, after[i].type);
        EXPECT_EQ(before[i].refs, after[i].refs) << testing::Utf8Name(before[i].type.c_str());
    }
}

} // namespace
} // namespace qvn::standin
