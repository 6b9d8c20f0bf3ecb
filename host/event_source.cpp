#include "host/event_source.h"

#include "win32util/com_object.h"

#include <olectl.h>

namespace qvn::host {

using Microsoft::WRL::ComPtr;

namespace {

// Enumerates the source's single connection point.
class PointEnum final : public IEnumConnectionPoints, public HostObject {
public:
    PointEnum(std::shared_ptr<HostState> state, IConnectionPoint* point)
        : HostObject(std::move(state), L"IEnumConnectionPoints"), point_(point) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        if (object == nullptr) {
            return E_POINTER;
        }
        *object = nullptr;
        if (riid != IID_IUnknown && riid != IID_IEnumConnectionPoints) {
            return E_NOINTERFACE;
        }
        *object = static_cast<IEnumConnectionPoints*>(this);
        AddRefImpl();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return AddRefImpl(); }
    ULONG STDMETHODCALLTYPE Release() override { return ReleaseImpl(); }
    HRESULT STDMETHODCALLTYPE Next(ULONG count, IConnectionPoint** points,
                                   ULONG* fetched) override {
        if (points == nullptr || (count > 1 && fetched == nullptr)) {
            return E_POINTER;
        }
        ULONG n = 0;
        if (count > 0 && position_ == 0) {
            points[0] = point_.Get();
            points[0]->AddRef();
            position_ = 1;
            n = 1;
        }
        if (fetched != nullptr) {
            *fetched = n;
        }
        return n == count ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Skip(ULONG count) override {
        ULONG before = position_;
        position_ = count > 0 ? 1 : position_;
        return before + count <= 1 ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Reset() override {
        position_ = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Clone(IEnumConnectionPoints** copy) override {
        if (copy == nullptr) {
            return E_POINTER;
        }
        auto* clone = new PointEnum(state_, point_.Get());
        clone->position_ = position_;
        *copy = clone;
        return S_OK;
    }

private:
    ComPtr<IConnectionPoint> point_;
    ULONG position_ = 0;
};

const DispMember kSourceMembers[] = {{L"", DISPID_UNKNOWN}};

} // namespace

ConnectionPoint::ConnectionPoint(std::shared_ptr<HostState> state, EventSource* source,
                                 const IID& iid)
    : HostObject(std::move(state), L"ConnectionPoint"), source_(source), iid_(iid) {}

HRESULT ConnectionPoint::QueryInterface(REFIID riid, void** object) {
    if (object == nullptr) {
        return E_POINTER;
    }
    *object = nullptr;
    if (riid != IID_IUnknown && riid != IID_IConnectionPoint) {
        return E_NOINTERFACE;
    }
    *object = static_cast<IConnectionPoint*>(this);
    AddRefImpl();
    return S_OK;
}

HRESULT ConnectionPoint::GetConnectionInterface(IID* iid) {
    if (iid == nullptr) {
        return E_POINTER;
    }
    *iid = iid_;
    return S_OK;
}

HRESULT ConnectionPoint::GetConnectionPointContainer(IConnectionPointContainer** container) {
    if (container == nullptr) {
        return E_POINTER;
    }
    *container = nullptr;
    if (source_ == nullptr) {
        return E_UNEXPECTED;
    }
    *container = source_;
    source_->AddRef();
    return S_OK;
}

HRESULT ConnectionPoint::Advise(IUnknown* sink, DWORD* cookie) {
    if (cookie == nullptr) {
        return E_POINTER;
    }
    *cookie = 0;
    if (sink == nullptr) {
        return E_POINTER;
    }
    ComPtr<IDispatch> events;
    if (FAILED(sink->QueryInterface(iid_, reinterpret_cast<void**>(events.GetAddressOf())))) {
        return CONNECT_E_CANNOTCONNECT;
    }
    *cookie = nextCookie_++;
    sinks_.emplace(*cookie, std::move(events));
    return S_OK;
}

HRESULT ConnectionPoint::Unadvise(DWORD cookie) {
    auto it = sinks_.find(cookie);
    if (it == sinks_.end()) {
        return CONNECT_E_NOCONNECTION;
    }
    ComPtr<IDispatch> sink = std::move(it->second); // released after the map is consistent
    sinks_.erase(it);
    return S_OK;
}

HRESULT ConnectionPoint::EnumConnections(IEnumConnections** connections) {
    if (connections != nullptr) {
        *connections = nullptr;
    }
    return E_NOTIMPL;
}

int ConnectionPoint::RaiseClick(IDispatch* control) {
    std::vector<ComPtr<IDispatch>> sinks;
    for (const auto& entry : sinks_) {
        sinks.push_back(entry.second);
    }
    int called = 0;
    for (const auto& sink : sinks) {
        VARIANT_BOOL handled = VARIANT_FALSE;
        VARIANT_BOOL cancelDefault = VARIANT_FALSE;
        VARIANT args[3];
        args[2].vt = VT_DISPATCH;
        args[2].pdispVal = control;
        args[1].vt = VT_BOOL | VT_BYREF;
        args[1].pboolVal = &handled;
        args[0].vt = VT_BOOL | VT_BYREF;
        args[0].pboolVal = &cancelDefault;
        DISPPARAMS params{args, nullptr, 3, 0};
        EXCEPINFO excep{};
        UINT argErr = 0;
        sink->Invoke(1, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr, &excep,
                     &argErr);
        SysFreeString(excep.bstrDescription);
        SysFreeString(excep.bstrSource);
        SysFreeString(excep.bstrHelpFile);
        ++called;
    }
    return called;
}

EventSource::EventSource(std::shared_ptr<HostState> state, ControlObject* control)
    : DispatchObject(std::move(state), L"CommandBarEvents"), control_(control) {
    const IID& iid = state_->eventInterface == EventInterface::Vba
                         ? ide::kDiidVbaCommandBarControlEvents
                         : DIID__dispCommandBarControlEvents;
    point_ = win32util::Adopt(new ConnectionPoint(state_, this, iid));
    control_->AddSource(this);
}

EventSource::~EventSource() {
    point_->DetachSource();
    control_->RemoveSource(this);
}

void* EventSource::OtherInterface(REFIID riid) {
    if (riid == IID_IConnectionPointContainer) {
        return static_cast<IConnectionPointContainer*>(this);
    }
    return nullptr;
}

HRESULT EventSource::EnumConnectionPoints(IEnumConnectionPoints** points) {
    if (points == nullptr) {
        return E_POINTER;
    }
    *points = new PointEnum(state_, point_.Get());
    return S_OK;
}

HRESULT EventSource::FindConnectionPoint(REFIID riid, IConnectionPoint** point) {
    if (point == nullptr) {
        return E_POINTER;
    }
    *point = nullptr;
    IID iid{};
    point_->GetConnectionInterface(&iid);
    if (riid != iid) {
        return CONNECT_E_NOCONNECTION;
    }
    *point = point_.Get();
    (*point)->AddRef();
    return S_OK;
}

int EventSource::RaiseClick() {
    ComPtr<EventSource> keep(this);
    return point_->RaiseClick(static_cast<::CommandBarControl*>(control_.Get()));
}

std::span<const DispMember> EventSource::Members() const {
    return {kSourceMembers, 0};
}

HRESULT EventSource::Dispatch(DISPID, WORD, const Args&, VARIANT*, UINT*) {
    return DISP_E_MEMBERNOTFOUND;
}

} // namespace qvn::host
