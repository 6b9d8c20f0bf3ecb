#include "host/event_source.h"

#include "win32util/com_object.h"

#include <olectl.h>

namespace qvn::host {

using Microsoft::WRL::ComPtr;

namespace {

const DispMember kSourceMembers[] = {{L"", DISPID_UNKNOWN}};

} // namespace

EventSource::EventSource(std::shared_ptr<HostState> state, ControlObject* control)
    : DispatchObject(std::move(state), L"CommandBarEvents"), control_(control) {
    const IID& iid = state_->eventInterface == EventInterface::Vba
                         ? ide::kDiidVbaCommandBarControlEvents
                         : DIID__dispCommandBarControlEvents;
    point_ = win32util::Adopt(
        new ConnectionPoint(state_, static_cast<IConnectionPointContainer*>(this), iid));
    if (state_->IsVba()) {
        // The VBA library declares no typed interface for this source; it is reached through
        // IDispatch and IConnectionPointContainer, never as the VB IDE's CommandBarEvents.
        ServeAs(IID_IDispatch);
    }
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
    return EnumerateOnePoint(state_, point_.Get(), points);
}

HRESULT EventSource::FindConnectionPoint(REFIID riid, IConnectionPoint** point) {
    if (point == nullptr) {
        return E_POINTER;
    }
    *point = nullptr;
    if (riid != point_->Iid()) {
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
