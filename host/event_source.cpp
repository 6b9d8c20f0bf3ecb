#include "host/event_source.h"

#include "win32util/com_object.h"

#include <olectl.h>
#include <vba_extensibility.h>
#include <vbide.h>

namespace qvn::host {

using Microsoft::WRL::ComPtr;

EventSource::EventSource(std::shared_ptr<HostState> state, ControlObject* control)
    : HostObject(std::move(state), L"CommandBarEvents"), control_(control) {
    const IID& iid = state_->eventInterface == EventInterface::Vba
                         ? ide::kDiidVbaCommandBarControlEvents
                         : DIID__dispCommandBarControlEvents;
    point_ = win32util::Adopt(
        new ConnectionPoint(state_, static_cast<IConnectionPointContainer*>(this), iid));
    control_->AddSource(this);
}

EventSource::~EventSource() {
    point_->DetachSource();
    control_->RemoveSource(this);
}

HRESULT EventSource::QueryInterface(REFIID riid, void** object) {
    if (object == nullptr) {
        return E_POINTER;
    }
    *object = nullptr;
    // The library's interface of the source adds nothing to IUnknown, so any of this object's
    // IUnknown-compatible pointers serves for it.
    const IID& own =
        state_->IsVba() ? IID__VbaCommandBarControlEvents : IID__CommandBarControlEvents;
    if (riid == IID_IUnknown || riid == own || riid == IID_IConnectionPointContainer) {
        *object = static_cast<IConnectionPointContainer*>(this);
        AddRefImpl();
        return S_OK;
    }
    return E_NOINTERFACE;
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

} // namespace qvn::host
