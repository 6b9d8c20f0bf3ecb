#include "standin/connection_point.h"

#include <olectl.h>

namespace qvn::standin {

using Microsoft::WRL::ComPtr;

namespace {

// Enumerates the source's single connection point.
class PointEnum final : public IdeUnknown<IEnumConnectionPoints> {
public:
    PointEnum(std::shared_ptr<HostState> state, IConnectionPoint* point, ULONG position = 0)
        : IdeUnknown(std::move(state), L"IEnumConnectionPoints"), point_(point),
          position_(position) {}

    HRESULT STDMETHODCALLTYPE Next(ULONG count, IConnectionPoint** points,
                                   ULONG* fetched) noexcept override {
        RETURN_HR_IF(E_POINTER, points == nullptr || (count > 1 && fetched == nullptr));
        ULONG n = 0;
        if (count > 0 && position_ == 0) {
            point_.CopyTo(&points[0]);
            position_ = 1;
            n = 1;
        }
        if (fetched != nullptr) {
            *fetched = n;
        }
        return n == count ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Skip(ULONG count) noexcept override {
        const ULONG before = position_;
        position_ = count > 0 ? 1 : position_;
        return before + count <= 1 ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Reset() noexcept override {
        position_ = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Clone(IEnumConnectionPoints** copy) noexcept override try {
        RETURN_HR_IF_NULL(E_POINTER, copy);
        *copy = new PointEnum(state_, point_.Get(), position_);
        return S_OK;
    }
    CATCH_RETURN()

private:
    ComPtr<IConnectionPoint> point_;
    ULONG position_;
};

} // namespace

ConnectionPoint::ConnectionPoint(std::shared_ptr<HostState> state,
                                 IConnectionPointContainer* container, const IID& iid)
    : IdeUnknown(std::move(state), L"ConnectionPoint"), container_(container), iid_(iid) {}

HRESULT ConnectionPoint::GetConnectionInterface(IID* iid) noexcept {
    RETURN_HR_IF_NULL(E_POINTER, iid);
    *iid = iid_;
    return S_OK;
}

HRESULT
ConnectionPoint::GetConnectionPointContainer(IConnectionPointContainer** container) noexcept {
    RETURN_HR_IF_NULL(E_POINTER, container);
    *container = container_;
    RETURN_HR_IF_NULL(E_UNEXPECTED, container_);
    container_->AddRef();
    return S_OK;
}

HRESULT ConnectionPoint::Advise(IUnknown* sink, DWORD* cookie) noexcept try {
    RETURN_HR_IF_NULL(E_POINTER, cookie);
    *cookie = 0;
    RETURN_HR_IF_NULL(E_POINTER, sink);
    ComPtr<IDispatch> events;
    RETURN_HR_IF(
        CONNECT_E_CANNOTCONNECT,
        FAILED(sink->QueryInterface(iid_, reinterpret_cast<void**>(events.GetAddressOf()))));
    *cookie = nextCookie_++;
    sinks_.emplace(*cookie, std::move(events));
    return S_OK;
}
CATCH_RETURN()

HRESULT ConnectionPoint::Unadvise(DWORD cookie) noexcept {
    auto it = sinks_.find(cookie);
    RETURN_HR_IF(CONNECT_E_NOCONNECTION, it == sinks_.end());
    ComPtr<IDispatch> sink = std::move(it->second); // released after the map is consistent
    sinks_.erase(it);
    return S_OK;
}

HRESULT ConnectionPoint::EnumConnections(IEnumConnections** connections) noexcept {
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

HRESULT FindOnePoint(ConnectionPoint* point, REFIID riid, IConnectionPoint** found) noexcept {
    RETURN_HR_IF_NULL(E_POINTER, found);
    *found = nullptr;
    RETURN_HR_IF(CONNECT_E_NOCONNECTION, point == nullptr || riid != point->Iid());
    *found = point;
    point->AddRef();
    return S_OK;
}

HRESULT EnumerateOnePoint(std::shared_ptr<HostState> state, IConnectionPoint* point,
                          IEnumConnectionPoints** points) noexcept try {
    RETURN_HR_IF_NULL(E_POINTER, points);
    *points = new PointEnum(std::move(state), point);
    return S_OK;
}
CATCH_RETURN()

} // namespace qvn::standin
