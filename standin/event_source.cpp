#include "standin/event_source.h"

#include "win32util/com_object.h"

#include <olectl.h>
#include <vba_extensibility.h>
#include <vbide.h>

namespace qvn::standin {

using Microsoft::WRL::ComPtr;

EventSource::EventSource(std::shared_ptr<HostState> state, ControlObject* control)
    : IdeUnknown(std::move(state), L"CommandBarEvents"), control_(control) {
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

void* EventSource::OtherInterface(REFIID riid) noexcept {
    const IID& own =
        state_->IsVba() ? IID__VbaCommandBarControlEvents : IID__CommandBarControlEvents;
    return riid == own ? static_cast<IConnectionPointContainer*>(this) : nullptr;
}

HRESULT EventSource::EnumConnectionPoints(IEnumConnectionPoints** points) noexcept {
    return EnumerateOnePoint(state_, point_.Get(), points);
}

HRESULT EventSource::FindConnectionPoint(REFIID riid, IConnectionPoint** point) noexcept {
    return FindOnePoint(point_.Get(), riid, point);
}

int EventSource::RaiseClick() {
    ComPtr<EventSource> keep(this);
    return point_->RaiseClick(static_cast<::CommandBarControl*>(control_.Get()));
}

} // namespace qvn::standin
