// Base of the stand-in IDE's COM objects: reference counting with a registry of live objects,
// error info, and a hand-written IDispatch that maps names to the real member ids and
// accepts the call styles of late-bound callers (a property read may arrive as
// DISPATCH_METHOD | DISPATCH_PROPERTYGET, arguments by value or by reference).
#pragma once

#include "host/host_state.h"
#include "win32util/variant.h"

#include <oaidl.h>
#include <ocidl.h>

#include <span>
#include <string>

namespace qvn::host {

struct DispMember {
    const wchar_t* name;
    DISPID id;
};

// The arguments of one Invoke call and the result setters are the shared ones.
using Args = win32util::DispArgs;
using win32util::IsGet;
using win32util::IsPut;
using win32util::SetResult;

class HostObject {
public:
    HostObject(std::shared_ptr<HostState> state, const wchar_t* typeName);
    virtual ~HostObject();
    HostObject(const HostObject&) = delete;
    HostObject& operator=(const HostObject&) = delete;
    [[nodiscard]] ULONG Refs() const { return refs_; }
    [[nodiscard]] const wchar_t* TypeName() const { return typeName_; }

protected:
    ULONG AddRefImpl() { return ++refs_; }
    ULONG ReleaseImpl();

    std::shared_ptr<HostState> state_;

private:
    const wchar_t* typeName_;
    ULONG refs_ = 1;
    bool destroying_ = false;
};

// The type description of one of the IDE's interfaces, from the registered library or the
// library files beside the program (VB5EXT.OLB and MSO97.DLL for the VB5 IDE, VBE6EXT.OLB and
// MSO.DLL for the VBA editor); nullptr when neither is found.
ITypeInfo* IdeTypeInfo(REFIID iid, HostFlavour flavour = HostFlavour::Vb5);
// An extra folder to look for the library files in (tests point it at the build tree).
void SetIdeTypeLibraryFolder(const std::wstring& folder);

// Everything the objects share: IUnknown with the registry, ISupportErrorInfo, and IDispatch
// over the member table of the derived class.
template <class Iface>
class DispatchObject : public Iface, public ISupportErrorInfo, public HostObject {
public:
    DispatchObject(std::shared_ptr<HostState> state, const wchar_t* typeName)
        : HostObject(std::move(state), typeName) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        if (object == nullptr) {
            return E_POINTER;
        }
        *object = nullptr;
        if (riid == IID_IUnknown || riid == IID_IDispatch || riid == *iid_) {
            *object = static_cast<Iface*>(this);
        } else if (riid == IID_ISupportErrorInfo) {
            *object = static_cast<ISupportErrorInfo*>(this);
        } else {
            *object = OtherInterface(riid);
        }
        if (*object == nullptr) {
            return E_NOINTERFACE;
        }
        AddRefImpl();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return AddRefImpl(); }
    ULONG STDMETHODCALLTYPE Release() override { return ReleaseImpl(); }

    HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID riid) override {
        return riid == *iid_ || riid == IID_IDispatch ? S_OK : S_FALSE;
    }

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        if (count == nullptr) {
            return E_POINTER;
        }
        *count = IdeTypeInfo(*iid_, state_->flavour) != nullptr ? 1 : 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID, ITypeInfo** info) override {
        if (info == nullptr) {
            return E_POINTER;
        }
        *info = nullptr;
        if (index != 0) {
            return DISP_E_BADINDEX;
        }
        *info = IdeTypeInfo(*iid_, state_->flavour);
        if (*info == nullptr) {
            return TYPE_E_ELEMENTNOTFOUND;
        }
        (*info)->AddRef();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                            DISPID* ids) override {
        return NamesToIds(Members(), names, count, ids);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* excepInfo, UINT* argErr) override {
        return InvokeMember(id, flags, params, result, excepInfo, argErr);
    }

protected:
    // The interface id this object answers for its vtable, when the flavour's library gives
    // the same layout another id (the VBA editor's VBE is the VB IDE's under {0002E166-...}).
    void ServeAs(const IID& iid) { iid_ = &iid; }
    [[nodiscard]] const IID& ServedIid() const { return *iid_; }

    virtual void* OtherInterface(REFIID) { return nullptr; }
    [[nodiscard]] virtual std::span<const DispMember> Members() const = 0;
    // Runs one member; failures leave their description as the thread's error info.
    virtual HRESULT Dispatch(DISPID id, WORD flags, const Args& args, VARIANT* result,
                             UINT* argErr) = 0;

    // Fails with a description, as the IDE's objects do.
    HRESULT Fail(HRESULT hr, const std::wstring& description) {
        return ReportError(hr, description, Source(), *iid_);
    }
    [[nodiscard]] virtual const wchar_t* Source() const { return L"VBIDE"; }

private:
    const IID* iid_ = &__uuidof(Iface);

    static HRESULT NamesToIds(std::span<const DispMember> members, LPOLESTR* names, UINT count,
                              DISPID* ids);
    HRESULT InvokeMember(DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result,
                         EXCEPINFO* excepInfo, UINT* argErr) {
        if (params == nullptr) {
            return E_INVALIDARG;
        }
        UINT ignored = 0;
        VARIANT local;
        VariantInit(&local);
        SetErrorInfo(0, nullptr);
        HRESULT hr = Dispatch(id, flags, Args(params), result != nullptr ? result : &local,
                              argErr != nullptr ? argErr : &ignored);
        VariantClear(&local);
        return ToDispatchResult(hr, excepInfo);
    }
    static HRESULT ToDispatchResult(HRESULT hr, EXCEPINFO* excepInfo);
};

HRESULT NamesToIdsImpl(std::span<const DispMember> members, LPOLESTR* names, UINT count,
                       DISPID* ids);
HRESULT ToDispatchResultImpl(HRESULT hr, EXCEPINFO* excepInfo);

template <class Iface>
HRESULT DispatchObject<Iface>::NamesToIds(std::span<const DispMember> members, LPOLESTR* names,
                                          UINT count, DISPID* ids) {
    return NamesToIdsImpl(members, names, count, ids);
}

template <class Iface>
HRESULT DispatchObject<Iface>::ToDispatchResult(HRESULT hr, EXCEPINFO* excepInfo) {
    return ToDispatchResultImpl(hr, excepInfo);
}

} // namespace qvn::host
