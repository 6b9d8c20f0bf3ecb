// The event source that Events.CommandBarEvents hands out for one control, as the IDEs'
// libraries declare it: its one interface (_CommandBarControlEvents) has no members and does
// not derive from IDispatch, so the object answers IUnknown, that interface and
// IConnectionPointContainer, and nothing else. Its one connection point raises Click.
#pragma once

#include "ide/host_ids.h"

#include "standin/command_bars.h"
#include "standin/connection_point.h"

namespace qvn::standin {

class EventSource final : public IdeUnknown<IConnectionPointContainer> {
public:
    EventSource(std::shared_ptr<HostState> state, ControlObject* control);
    ~EventSource() override;

    HRESULT STDMETHODCALLTYPE
    EnumConnectionPoints(IEnumConnectionPoints** points) noexcept override;
    HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID riid,
                                                  IConnectionPoint** point) noexcept override;

    int RaiseClick();
    [[nodiscard]] std::size_t SinkCount() const { return point_->SinkCount(); }

private:
    Microsoft::WRL::ComPtr<ControlObject> control_;
    Microsoft::WRL::ComPtr<ConnectionPoint> point_;

protected:
    // The library's interface of the source adds nothing to IUnknown, so any of this
    // object's IUnknown-compatible pointers serves for it.
    void* OtherInterface(REFIID riid) noexcept override;
};

} // namespace qvn::standin
