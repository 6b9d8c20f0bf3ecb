// qvn.dll as a COM server: exports by name and ordinal, the class object and the module
// count, the embedded resources and type library, and the object created by ProgID with its
// two dispatch interfaces.
#include "addin/tests/test_support.h"

#include <qvn.h>
#include <qvn_late_bound.h>

#include <algorithm>
#include <array>
#include <cstring>

namespace qvn::addin::testing {
namespace {

using EntryPoint = HRESULT(STDAPICALLTYPE*)();
using GetClassObjectFn = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);

template <class Fn> Fn Export(HMODULE dll, LPCSTR name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(dll, name)));
}

class DllTest : public ComTest {
protected:
    void SetUp() override {
        ComTest::SetUp();
        dll_ = LoadLibraryW(DllPath().c_str());
        ASSERT_NE(dll_, nullptr);
        canUnload_ = Export<EntryPoint>(dll_, "DllCanUnloadNow");
        getClassObject_ = Export<GetClassObjectFn>(dll_, "DllGetClassObject");
        ASSERT_NE(canUnload_, nullptr);
        ASSERT_NE(getClassObject_, nullptr);
    }
    void TearDown() override {
        FreeLibrary(dll_);
        ComTest::TearDown();
    }
    ComPtr<IUnknown> CreateConnect() {
        ComPtr<IClassFactory> factory;
        EXPECT_EQ(getClassObject_(CLSID_Connect, IID_IClassFactory,
                                  reinterpret_cast<void**>(factory.GetAddressOf())),
                  S_OK);
        ComPtr<IUnknown> object;
        if (factory) {
            EXPECT_EQ(factory->CreateInstance(nullptr, IID_IUnknown,
                                              reinterpret_cast<void**>(object.GetAddressOf())),
                      S_OK);
        }
        return object;
    }

    HMODULE dll_ = nullptr;
    EntryPoint canUnload_ = nullptr;
    GetClassObjectFn getClassObject_ = nullptr;
};

TEST_F(DllTest, ExportsEachEntryPointByNameAndOrdinal) {
    const std::array<const char*, 5> names = {"DllCanUnloadNow", "DllGetClassObject",
                                              "DllRegisterServer", "DllUnregisterServer",
                                              "DllInstall"};
    for (WORD ordinal = 1; ordinal <= 5; ++ordinal) {
        FARPROC byOrdinal = GetProcAddress(dll_, MAKEINTRESOURCEA(ordinal));
        FARPROC byName = GetProcAddress(dll_, names[ordinal - 1]);
        ASSERT_NE(byName, nullptr) << names[ordinal - 1];
        EXPECT_EQ(byOrdinal, byName) << "ordinal " << ordinal;
    }
    EXPECT_EQ(GetProcAddress(dll_, MAKEINTRESOURCEA(6)), nullptr);
}

TEST_F(DllTest, ClassObjectOnlyForConnectAndUnloadFollowsLiveObjects) {
    EXPECT_EQ(canUnload_(), S_OK);

    const CLSID other = {
        0x3D51C0A7, 0x7E92, 0x11D2, {0x9F, 0x14, 0x2A, 0x8E, 0x6B, 0x07, 0xD3, 0xC1}};
    for (const CLSID& clsid : {other, CLSID_NULL, static_cast<const CLSID&>(IID__Connect)}) {
        void* object = reinterpret_cast<void*>(1);
        EXPECT_EQ(getClassObject_(clsid, IID_IClassFactory, &object), CLASS_E_CLASSNOTAVAILABLE);
        EXPECT_EQ(object, nullptr);
        EXPECT_EQ(canUnload_(), S_OK) << "a refused request created something";
    }

    ComPtr<IClassFactory> factory;
    ASSERT_EQ(getClassObject_(CLSID_Connect, IID_IClassFactory,
                              reinterpret_cast<void**>(factory.GetAddressOf())),
              S_OK);
    EXPECT_EQ(canUnload_(), S_FALSE);
    ComPtr<IUnknown> object;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IUnknown,
                                      reinterpret_cast<void**>(object.GetAddressOf())),
              S_OK);
    ComPtr<IUnknown> aggregate;
    EXPECT_EQ(factory->CreateInstance(object.Get(), IID_IUnknown,
                                      reinterpret_cast<void**>(aggregate.GetAddressOf())),
              CLASS_E_NOAGGREGATION);
    EXPECT_EQ(factory->LockServer(TRUE), S_OK);
    factory.Reset();
    EXPECT_EQ(canUnload_(), S_FALSE) << "object and lock alive";
    object.Reset();
    EXPECT_EQ(canUnload_(), S_FALSE) << "lock held";
    ASSERT_EQ(getClassObject_(CLSID_Connect, IID_IClassFactory,
                              reinterpret_cast<void**>(factory.GetAddressOf())),
              S_OK);
    EXPECT_EQ(factory->LockServer(FALSE), S_OK);
    factory.Reset();
    EXPECT_EQ(canUnload_(), S_OK);
}

TEST_F(DllTest, ObjectAnswersBothInterfacesAndTheirDispatch) {
    ComPtr<IUnknown> object = CreateConnect();
    ASSERT_NE(object, nullptr);
    ComPtr<_Connect> connect;
    ComPtr<IDTExtensibility> extensibility;
    ComPtr<IDTExtensibility2> extensibility2;
    ComPtr<IDispatch> dispatch;
    ASSERT_EQ(object.As(&connect), S_OK);
    ASSERT_EQ(object.As(&extensibility), S_OK);
    ASSERT_EQ(object.As(&extensibility2), S_OK);
    ComPtr<IUnknown> identity2;
    ASSERT_EQ(extensibility2.As(&identity2), S_OK);
    EXPECT_EQ(identity2.Get(), object.Get());
    ASSERT_EQ(object.As(&dispatch), S_OK);
    EXPECT_EQ(static_cast<IDispatch*>(connect.Get()), dispatch.Get()) << "IDispatch is _Connect's";
    ComPtr<IUnknown> identity;
    ASSERT_EQ(extensibility.As(&identity), S_OK);
    EXPECT_EQ(identity.Get(), object.Get());
    ComPtr<IUnknown> none;
    EXPECT_EQ(object.As(&none), S_OK);
    ComPtr<IClassFactory> notOurs;
    EXPECT_EQ(object.As(&notOurs), E_NOINTERFACE);

    struct Name {
        const wchar_t* name;
        DISPID id;
    };
    const Name connectNames[] = {
        {L"FormDisplayed", 0x40030000}, {L"VBInstance", 0x40030001},
        {L"MenuHandler", 0x40030004},   {L"Hide", 0x60030000},
        {L"Show", 0x60030001},          {L"AddToAddInCommandBar", 0x60030007},
        {L"formdisplayed", 0x40030000},
    };
    for (const auto& n : connectNames) {
        DISPID id = 0;
        auto* name = const_cast<LPOLESTR>(n.name);
        EXPECT_EQ(dispatch->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id), S_OK)
            << Utf8(n.name);
        EXPECT_EQ(id, n.id) << Utf8(n.name);
    }
    DISPID missing = 0;
    auto* unknownName = const_cast<LPOLESTR>(L"OnConnection");
    EXPECT_EQ(dispatch->GetIDsOfNames(IID_NULL, &unknownName, 1, LOCALE_USER_DEFAULT, &missing),
              DISP_E_UNKNOWNNAME);

    const Name extensibilityNames[] = {{L"OnConnection", 1},
                                       {L"OnDisconnection", 2},
                                       {L"OnAddInsUpdate", 3},
                                       {L"OnStartupComplete", 4}};
    for (const auto& n : extensibilityNames) {
        DISPID id = 0;
        auto* name = const_cast<LPOLESTR>(n.name);
        EXPECT_EQ(extensibility->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id), S_OK);
        EXPECT_EQ(id, n.id) << Utf8(n.name);
        id = 0;
        EXPECT_EQ(extensibility2->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id),
                  S_OK);
        EXPECT_EQ(id, n.id) << Utf8(n.name) << " through IDTExtensibility2";
    }
    DISPID shutdown = 0;
    auto* shutdownName = const_cast<LPOLESTR>(L"OnBeginShutdown");
    EXPECT_EQ(
        extensibility2->GetIDsOfNames(IID_NULL, &shutdownName, 1, LOCALE_USER_DEFAULT, &shutdown),
        S_OK);
    EXPECT_EQ(shutdown, 5);
    EXPECT_EQ(
        extensibility->GetIDsOfNames(IID_NULL, &shutdownName, 1, LOCALE_USER_DEFAULT, &shutdown),
        DISP_E_UNKNOWNNAME)
        << "the VB IDEs' interface has no OnBeginShutdown";
}

TEST_F(DllTest, LateBoundCallsReachTheMembersByTheirIds) {
    ComPtr<IUnknown> object = CreateConnect();
    ComPtr<IDispatch> dispatch;
    ASSERT_EQ(object.As(&dispatch), S_OK);

    auto getDisplayed = [&] {
        DISPPARAMS none{};
        VARIANT result;
        VariantInit(&result);
        EXPECT_EQ(dispatch->Invoke(0x40030000, IID_NULL, LOCALE_USER_DEFAULT,
                                   DISPATCH_METHOD | DISPATCH_PROPERTYGET, &none, &result, nullptr,
                                   nullptr),
                  S_OK);
        EXPECT_EQ(result.vt, VT_BOOL);
        return result.boolVal;
    };
    EXPECT_EQ(getDisplayed(), VARIANT_FALSE) << "a new object shows no window";

    VARIANT value;
    VariantInit(&value);
    value.vt = VT_BOOL;
    value.boolVal = VARIANT_TRUE;
    DISPID put = DISPID_PROPERTYPUT;
    DISPPARAMS putParams{&value, &put, 1, 1};
    ASSERT_EQ(dispatch->Invoke(0x40030000, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT,
                               &putParams, nullptr, nullptr, nullptr),
              S_OK);
    EXPECT_EQ(getDisplayed(), VARIANT_TRUE);

    // Hide clears it again.
    DISPPARAMS none{};
    ASSERT_EQ(dispatch->Invoke(0x60030000, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none,
                               nullptr, nullptr, nullptr),
              S_OK);
    EXPECT_EQ(getDisplayed(), VARIANT_FALSE);

    // Without an IDE there is no Add-Ins bar: the function answers Nothing, silently.
    VARIANT caption;
    VariantInit(&caption);
    caption.vt = VT_BSTR;
    caption.bstrVal = SysAllocString(L"Quorvane");
    DISPPARAMS oneArg{&caption, nullptr, 1, 0};
    VARIANT result;
    VariantInit(&result);
    EXPECT_EQ(dispatch->Invoke(0x60030007, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &oneArg,
                               &result, nullptr, nullptr),
              S_OK);
    EXPECT_EQ(result.vt, VT_DISPATCH);
    EXPECT_EQ(result.pdispVal, nullptr);
    VariantClear(&caption);

    VARIANT root;
    VariantInit(&root);
    EXPECT_EQ(dispatch->Invoke(0x40030001, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET,
                               &none, &root, nullptr, nullptr),
              S_OK);
    EXPECT_EQ(root.vt, VT_DISPATCH);
    EXPECT_EQ(root.pdispVal, nullptr);

    EXPECT_EQ(dispatch->Invoke(0x12345, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none,
                               nullptr, nullptr, nullptr),
              DISP_E_MEMBERNOTFOUND);
}

TEST_F(DllTest, VersionBlockCarriesTheProductValues) {
    const std::wstring path = DllPath();
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeW(path.c_str(), &handle);
    ASSERT_GT(size, 0u);
    std::vector<BYTE> data(size);
    ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, data.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00020000u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0x00000007u);
    EXPECT_EQ(fixed->dwProductVersionMS, 0x00020000u);
    EXPECT_EQ(fixed->dwProductVersionLS, 0x00000007u);
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_DLL));
    EXPECT_EQ(fixed->dwFileOS, static_cast<DWORD>(VOS__WINDOWS32));

    struct Translation {
        WORD language, codePage;
    };
    Translation* translation = nullptr;
    ASSERT_TRUE(VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation",
                               reinterpret_cast<void**>(&translation), &length));
    EXPECT_EQ(translation->language, 0x0409);
    EXPECT_EQ(translation->codePage, 1200);

    const std::pair<const wchar_t*, const wchar_t*> strings[] = {
        {L"FileDescription", L"Quorvane VB 5.0 Add-In"},
        {L"FileVersion", L"2.00.0007"},
        {L"ProductVersion", L"2.00.0007"},
        {L"ProductName", L"Quorvane 2.0"},
        {L"InternalName", L"qvn"},
        {L"OriginalFilename", L"qvn.dll"},
        {L"OLESelfRegister", L""},
    };
    for (const auto& [name, expected] : strings) {
        wchar_t* value = nullptr;
        const std::wstring query = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
        ASSERT_TRUE(
            VerQueryValueW(data.data(), query.c_str(), reinterpret_cast<void**>(&value), &length))
            << Utf8(name);
        EXPECT_EQ(std::wstring(value != nullptr && length > 0 ? value : L""), expected)
            << Utf8(name);
    }
}

TEST_F(DllTest, ResourcesHoldTheInterfaceIdIconAndTypeLibrary) {
    HRSRC found = FindResourceW(dll_, MAKEINTRESOURCEW(1), L"_IID_CONNECT");
    ASSERT_NE(found, nullptr);
    ASSERT_EQ(SizeofResource(dll_, found), 20u);
    const auto* bytes = static_cast<const BYTE*>(LockResource(LoadResource(dll_, found)));
    const BYTE length[4] = {16, 0, 0, 0};
    EXPECT_EQ(std::memcmp(bytes, length, 4), 0);
    EXPECT_EQ(std::memcmp(bytes + 4, &IID__Connect, 16), 0);
    const BYTE layout[16] = {0xA5, 0xC0, 0x51, 0x3D, 0x92, 0x7E, 0xD2, 0x11,
                             0x9F, 0x14, 0x2A, 0x8E, 0x6B, 0x07, 0xD3, 0xC1};
    EXPECT_EQ(std::memcmp(bytes + 4, layout, 16), 0);

    HANDLE icon = LoadImageW(dll_, MAKEINTRESOURCEW(1), IMAGE_ICON, 32, 32, 0);
    EXPECT_NE(icon, nullptr);
    if (icon != nullptr) {
        DestroyIcon(static_cast<HICON>(icon));
    }
    EXPECT_NE(FindResourceW(dll_, MAKEINTRESOURCEW(1), L"TYPELIB"), nullptr);
}

TEST_F(DllTest, TypeLibraryDescribesConnectAsTheTablesGiveIt) {
    ComPtr<ITypeLib> library;
    ASSERT_EQ(LoadTypeLibEx(DllPath().c_str(), REGKIND_NONE, library.GetAddressOf()), S_OK);
    TLIBATTR* attributes = nullptr;
    ASSERT_EQ(library->GetLibAttr(&attributes), S_OK);
    EXPECT_EQ(attributes->guid, LIBID_Quorvane);
    EXPECT_EQ(attributes->wMajorVerNum, 1);
    EXPECT_EQ(attributes->wMinorVerNum, 0);
    EXPECT_EQ(attributes->lcid, 0x0409u);
    EXPECT_EQ(attributes->syskind, sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32);
    library->ReleaseTLibAttr(attributes);

    BSTR name = nullptr, doc = nullptr, helpFile = nullptr;
    ASSERT_EQ(library->GetDocumentation(-1, &name, &doc, nullptr, &helpFile), S_OK);
    EXPECT_STREQ(name, L"Quorvane");
    EXPECT_STREQ(doc, L"Quorvane");
    EXPECT_STREQ(helpFile, L"Qvn.hlp");
    SysFreeString(name);
    SysFreeString(doc);
    SysFreeString(helpFile);

    ASSERT_GE(library->GetTypeInfoCount(), 2u);
    struct Type {
        const wchar_t* name;
        GUID guid;
        TYPEKIND kind;
        WORD flags;
    };
    const Type types[] = {
        {L"_Connect", IID__Connect, TKIND_DISPATCH,
         TYPEFLAG_FDUAL | TYPEFLAG_FDISPATCHABLE | TYPEFLAG_FNONEXTENSIBLE | TYPEFLAG_FHIDDEN},
        {L"Connect", CLSID_Connect, TKIND_COCLASS, TYPEFLAG_FCANCREATE},
    };
    for (UINT i = 0; i < 2; ++i) {
        ComPtr<ITypeInfo> info;
        ASSERT_EQ(library->GetTypeInfo(i, info.GetAddressOf()), S_OK);
        BSTR typeName = nullptr;
        info->GetDocumentation(MEMBERID_NIL, &typeName, nullptr, nullptr, nullptr);
        EXPECT_STREQ(typeName, types[i].name);
        SysFreeString(typeName);
        TYPEATTR* typeAttr = nullptr;
        ASSERT_EQ(info->GetTypeAttr(&typeAttr), S_OK);
        EXPECT_EQ(typeAttr->guid, types[i].guid);
        EXPECT_EQ(typeAttr->typekind, types[i].kind);
        EXPECT_EQ(typeAttr->wTypeFlags & types[i].flags, types[i].flags);
        info->ReleaseTypeAttr(typeAttr);
    }

    // The dual interface's own slots: member ids and kinds in table order.
    ComPtr<ITypeInfo> dispatchInfo;
    ASSERT_EQ(library->GetTypeInfoOfGuid(IID__Connect, dispatchInfo.GetAddressOf()), S_OK);
    HREFTYPE dualRef = 0;
    ASSERT_EQ(dispatchInfo->GetRefTypeOfImplType(-1, &dualRef), S_OK);
    ComPtr<ITypeInfo> dual;
    ASSERT_EQ(dispatchInfo->GetRefTypeInfo(dualRef, dual.GetAddressOf()), S_OK);
    TYPEATTR* dualAttr = nullptr;
    ASSERT_EQ(dual->GetTypeAttr(&dualAttr), S_OK);
    EXPECT_EQ(dualAttr->typekind, TKIND_INTERFACE);
    EXPECT_NE(dualAttr->wTypeFlags & TYPEFLAG_FOLEAUTOMATION, 0);
    dual->ReleaseTypeAttr(dualAttr);
    struct Member {
        MEMBERID id;
        INVOKEKIND kind;
        const wchar_t* name;
    };
    const Member members[] = {
        {0x40030000, INVOKE_PROPERTYGET, L"FormDisplayed"},
        {0x40030000, INVOKE_PROPERTYPUT, L"FormDisplayed"},
        {0x40030001, INVOKE_PROPERTYGET, L"VBInstance"},
        {0x40030001, INVOKE_PROPERTYPUTREF, L"VBInstance"},
        {0x40030004, INVOKE_PROPERTYGET, L"MenuHandler"},
        {0x40030004, INVOKE_PROPERTYPUTREF, L"MenuHandler"},
        {0x60030000, INVOKE_FUNC, L"Hide"},
        {0x60030001, INVOKE_FUNC, L"Show"},
        {0x60030007, INVOKE_FUNC, L"AddToAddInCommandBar"},
    };
    for (UINT i = 0; i < std::size(members); ++i) {
        FUNCDESC* func = nullptr;
        ASSERT_EQ(dual->GetFuncDesc(i, &func), S_OK) << i;
        EXPECT_EQ(func->memid, members[i].id) << i;
        EXPECT_EQ(func->invkind, members[i].kind) << i;
        EXPECT_EQ(func->oVft, static_cast<SHORT>((7 + i) * sizeof(void*))) << i;
        BSTR funcName = nullptr;
        dual->GetDocumentation(func->memid, &funcName, nullptr, nullptr, nullptr);
        EXPECT_STREQ(funcName, members[i].name);
        SysFreeString(funcName);
        dual->ReleaseFuncDesc(func);
    }
    // MenuHandler is the IDE's member-less event-source interface, which does not derive from
    // IDispatch: late-bound it reads back as VT_UNKNOWN.
    FUNCDESC* handlerGet = nullptr;
    ASSERT_EQ(dual->GetFuncDesc(4, &handlerGet), S_OK);
    const TYPEDESC* type = &handlerGet->lprgelemdescParam[0].tdesc;
    while (type->vt == VT_PTR) {
        type = type->lptdesc;
    }
    ASSERT_EQ(type->vt, VT_USERDEFINED);
    ComPtr<ITypeInfo> handlerType;
    ASSERT_EQ(dual->GetRefTypeInfo(type->hreftype, handlerType.GetAddressOf()), S_OK);
    dual->ReleaseFuncDesc(handlerGet);
    TYPEATTR* handlerAttr = nullptr;
    ASSERT_EQ(handlerType->GetTypeAttr(&handlerAttr), S_OK);
    EXPECT_TRUE(IsEqualGUID(handlerAttr->guid, IID__CommandBarControlEvents));
    EXPECT_EQ(handlerAttr->typekind, TKIND_INTERFACE);
    EXPECT_EQ(handlerAttr->wTypeFlags & TYPEFLAG_FDISPATCHABLE, 0);
    EXPECT_EQ(handlerAttr->cFuncs, 0);
    handlerType->ReleaseTypeAttr(handlerAttr);

    // IDTExtensibility as the IDE calls it by vtable.
    ComPtr<ITypeInfo> extensibility;
    ASSERT_EQ(library->GetTypeInfoOfGuid(IID_IDTExtensibility, extensibility.GetAddressOf()), S_OK);
    HREFTYPE extRef = 0;
    ComPtr<ITypeInfo> extDual = extensibility;
    if (SUCCEEDED(extensibility->GetRefTypeOfImplType(-1, &extRef))) {
        extensibility->GetRefTypeInfo(extRef, extDual.ReleaseAndGetAddressOf());
    }
    const wchar_t* order[] = {L"OnConnection", L"OnDisconnection", L"OnAddInsUpdate",
                              L"OnStartupComplete"};
    for (UINT i = 0; i < 4; ++i) {
        FUNCDESC* func = nullptr;
        ASSERT_EQ(extDual->GetFuncDesc(i, &func), S_OK);
        EXPECT_EQ(func->memid, static_cast<MEMBERID>(i + 1));
        EXPECT_EQ(func->oVft, static_cast<SHORT>((7 + i) * sizeof(void*)));
        BSTR funcName = nullptr;
        extDual->GetDocumentation(func->memid, &funcName, nullptr, nullptr, nullptr);
        EXPECT_STREQ(funcName, order[i]);
        SysFreeString(funcName);
        extDual->ReleaseFuncDesc(func);
    }
}

// The vtable part of a dual interface's description.
ComPtr<ITypeInfo> VtableInfo(ITypeLib* library, REFIID iid) {
    ComPtr<ITypeInfo> info;
    if (FAILED(library->GetTypeInfoOfGuid(iid, info.GetAddressOf())))
        return nullptr;
    HREFTYPE ref = 0;
    ComPtr<ITypeInfo> vtable = info;
    if (SUCCEEDED(info->GetRefTypeOfImplType(-1, &ref)))
        info->GetRefTypeInfo(ref, vtable.ReleaseAndGetAddressOf());
    return vtable;
}

// Late-bound calls follow the embedded descriptions through the real interfaces' vtables: a
// member out of place there would call the wrong method.
TEST_F(DllTest, LateBoundDescriptionsLieInTheSlotsOfTheInterfacesTheyStandFor) {
    ComPtr<ITypeLib> registered;
    ComPtr<ITypeLib> lateBound;
    ASSERT_EQ(LoadTypeLibEx(DllPath().c_str(), REGKIND_NONE, registered.GetAddressOf()), S_OK);
    ASSERT_EQ(LoadTypeLibEx((DllPath() + L"\\2").c_str(), REGKIND_NONE, lateBound.GetAddressOf()),
              S_OK);
    const std::pair<GUID, GUID> pairs[] = {{IID__Connect, IID__ConnectLateBound},
                                           {IID_IDTExtensibility, IID_IDTExtensibilityLateBound}};
    for (const auto& [real, standIn] : pairs) {
        const ComPtr<ITypeInfo> a = VtableInfo(registered.Get(), real);
        const ComPtr<ITypeInfo> b = VtableInfo(lateBound.Get(), standIn);
        ASSERT_NE(a, nullptr);
        ASSERT_NE(b, nullptr);
        TYPEATTR* attrA = nullptr;
        TYPEATTR* attrB = nullptr;
        ASSERT_EQ(a->GetTypeAttr(&attrA), S_OK);
        ASSERT_EQ(b->GetTypeAttr(&attrB), S_OK);
        EXPECT_EQ(attrA->cFuncs, attrB->cFuncs);
        EXPECT_EQ(attrB->typekind, TKIND_INTERFACE);
        const UINT count = std::min(attrA->cFuncs, attrB->cFuncs);
        a->ReleaseTypeAttr(attrA);
        b->ReleaseTypeAttr(attrB);
        for (UINT i = 0; i < count; ++i) {
            FUNCDESC* fa = nullptr;
            FUNCDESC* fb = nullptr;
            ASSERT_EQ(a->GetFuncDesc(i, &fa), S_OK);
            ASSERT_EQ(b->GetFuncDesc(i, &fb), S_OK);
            EXPECT_EQ(fa->memid, fb->memid) << i;
            EXPECT_EQ(fa->invkind, fb->invkind) << i;
            EXPECT_EQ(fa->oVft, fb->oVft) << i;
            EXPECT_EQ(fa->cParams, fb->cParams) << i;
            BSTR nameA = nullptr;
            BSTR nameB = nullptr;
            a->GetDocumentation(fa->memid, &nameA, nullptr, nullptr, nullptr);
            b->GetDocumentation(fb->memid, &nameB, nullptr, nullptr, nullptr);
            EXPECT_STREQ(nameA, nameB) << i;
            SysFreeString(nameA);
            SysFreeString(nameB);
            a->ReleaseFuncDesc(fa);
            b->ReleaseFuncDesc(fb);
        }
    }
    // Dispatch alone: never registered.
    ComPtr<ITypeLib> found;
    EXPECT_FALSE(SUCCEEDED(
        LoadRegTypeLib(LIBID_QuorvaneLateBound, 1, 0, LOCALE_NEUTRAL, found.GetAddressOf())));
}

} // namespace
} // namespace qvn::addin::testing
