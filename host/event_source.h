// The event source that Events.CommandBarEvents hands out for one control, as the IDEs'
// libraries declare it: its one interface (_CommandBarControlEvents) has no members and does
// not derive from IDispatch, so the object answers IUnknown, that interface and
// IConnectionPointContainer, and nothing else. Its one connection point raises Click.
#pragma once

#include "ide/host_ids.h"

#include "host/command_bars.h"
#include "host/connection_point.h"

namespace qvn::host {

class EventSource final : public IConnectionPointContainer, public HostObject {
public:
    EventSource(std::shared_ptr<HostState> state, ControlObject* control);
    ~EventSource() override;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return AddRefImpl(); }
    ULONG STDMETHODCALLTYPE Release() override { return ReleaseImpl(); }
    HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints** points) override;
    HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID riid, IConnectionPoint** point) override;

    int RaiseClick();
    [[nodiscard]] std::size_t SinkCount() const { return point_->SinkCount(); }

private:
    Microsoft::WRL::ComPtr<ControlObject> control_;
    Microsoft::WRL::ComPtr<ConnectionPoint> point_;
};

} // namespace qvn::host
