// One connection point with its sinks, for the two kinds of event source the stand-in offers:
// the source Events.CommandBarEvents hands out, and (in the VBA editor) a button's own Click.
#pragma once

#include "standin/ide_object.h"

#include <wrl/client.h>

#include <map>
#include <vector>

namespace qvn::standin {

class ConnectionPoint final : public IdeUnknown<IConnectionPoint> {
public:
    // `container` is not held: it owns this point and detaches itself before it goes.
    ConnectionPoint(std::shared_ptr<HostState> state, IConnectionPointContainer* container,
                    const IID& iid);

    HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* iid) noexcept override;
    HRESULT STDMETHODCALLTYPE
    GetConnectionPointContainer(IConnectionPointContainer** container) noexcept override;
    HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) noexcept override;
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) noexcept override;
    HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections** connections) noexcept override;

    void DetachSource() { container_ = nullptr; }
    [[nodiscard]] const IID& Iid() const { return iid_; }
    [[nodiscard]] std::size_t SinkCount() const { return sinks_.size(); }
    // The sinks as they are now: callers raise events on this copy, so a sink may unadvise
    // (or the host may shut down) while it runs.
    [[nodiscard]] std::vector<Microsoft::WRL::ComPtr<IDispatch>> Sinks() const;
    // Click(CommandBarControl, handled, CancelDefault) of the IDE's libraries, with fresh
    // flags for each sink; returns the number of sinks called.
    int RaiseClick(IDispatch* control);

private:
    IConnectionPointContainer* container_;
    IID iid_;
    std::map<DWORD, Microsoft::WRL::ComPtr<IDispatch>> sinks_;
    DWORD nextCookie_ = 1;
};

// Calls DISPID 1 (Click) of `sink` with `args` (DISPPARAMS order), ignoring what it returns:
// a sink's failure is its own affair, as in the IDE.
void InvokeClick(IDispatch* sink, VARIANT* args, UINT count);

// FindConnectionPoint of a source with the single point `point` (none when null).
HRESULT FindOnePoint(ConnectionPoint* point, REFIID riid, IConnectionPoint** found) noexcept;

// An enumerator over the single connection point of a source.
HRESULT EnumerateOnePoint(std::shared_ptr<HostState> state, IConnectionPoint* point,
                          IEnumConnectionPoints** points) noexcept;

} // namespace qvn::standin
