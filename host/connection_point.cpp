#include "host/connection_point.h"

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

} // namespace

ConnectionPoint::ConnectionPoint(std::shared_ptr<HostState> state,
                                 IConnectionPointContainer* container, const IID& iid)
    : HostObject(std::move(state), L"ConnectionPoint"), container_(container), iid_(iid) {}

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
    if (container_ == nullptr) {
        return E_UNEXPECTED;
    }
    *container = container_;
    container_->AddRef();
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

std::vector<ComPtr<IDispatch>> ConnectionPoint::Sinks() const {
    std::vector<ComPtr<IDispatch>> sinks;
    for (const auto& entry : sinks_) {
        sinks.push_back(entry.second);
    }
    return sinks;
}

int ConnectionPoint::RaiseClick(IDispatch* control) {
    int called = 0;
    for (const auto& sink : Sinks()) {
        VARIANT_BOOL handled = VARIANT_FALSE;
        VARIANT_BOOL cancelDefault = VARIANT_FALSE;
        VARIANT args[3];
        args[2].vt = VT_DISPATCH;
        args[2].pdispVal = control;
        args[1].vt = VT_BOOL | VT_BYREF;
        args[1].pboolVal = &handled;
        args[0].vt = VT_BOOL | VT_BYREF;
        args[0].pboolVal = &cancelDefault;
        InvokeClick(sink.Get(), args, 3);
        ++called;
    }
    return called;
}

void InvokeClick(IDispatch* sink, VARIANT* args, UINT count) {
    DISPPARAMS params{args, nullptr, count, 0};
    EXCEPINFO excep{};
    UINT argErr = 0;
    sink->Invoke(1, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr, &excep,
                 &argErr);
    SysFreeString(excep.bstrDescription);
    SysFreeString(excep.bstrSource);
    SysFreeString(excep.bstrHelpFile);
}

HRESULT EnumerateOnePoint(std::shared_ptr<HostState> state, IConnectionPoint* point,
                          IEnumConnectionPoints** points) {
    if (points == nullptr) {
        return E_POINTER;
    }
    *points = new PointEnum(std::move(state), point);
    return S_OK;
}

} // namespace qvn::host
