// The event source that Events.CommandBarEvents hands out for one control: a connection-point
// container with one connection point for the outgoing Click interface.
#pragma once

#include "ide/host_ids.h"

#include "host/command_bars.h"
#include "host/connection_point.h"

#include <vbide.h>

namespace qvn::host {

class EventSource final : public DispatchObject<::CommandBarEvents>,
                          public IConnectionPointContainer {
public:
    EventSource(std::shared_ptr<HostState> state, ControlObject* control);
    ~EventSource() override;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        return DispatchObject::QueryInterface(riid, object);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return AddRefImpl(); }
    ULONG STDMETHODCALLTYPE Release() override { return ReleaseImpl(); }
    HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints** points) override;
    HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID riid, IConnectionPoint** point) override;

    int RaiseClick();
    [[nodiscard]] std::size_t SinkCount() const { return point_->SinkCount(); }

protected:
    void* OtherInterface(REFIID riid) override;
    [[nodiscard]] std::span<const DispMember> Members() const override;
    HRESULT Dispatch(DISPID id, WORD flags, const Args& args, VARIANT* result,
                     UINT* argErr) override;

private:
    Microsoft::WRL::ComPtr<ControlObject> control_;
    Microsoft::WRL::ComPtr<ConnectionPoint> point_;
};

} // namespace qvn::host
