// The subscription to the Add-Ins menu item's Click: a small sink object advised on the event
// source that Events.CommandBarEvents returned. The sink does not own its handler, so no
// reference cycle keeps Connect (and the library) alive; Unadvise detaches it.
#pragma once

#include <oaidl.h>
#include <ocidl.h>
#include <wrl/client.h>

namespace qvn::addin {

class MenuClickHandler {
public:
    // `handled` is null for a button's own Click event, which has no such argument.
    virtual HRESULT MenuHandler_Click(IDispatch* CommandBarControl, VARIANT_BOOL* handled,
                                      VARIANT_BOOL* CancelDefault) = 0;
    // Kept alive by the sink while a click runs (the click may lead to disconnection).
    virtual IUnknown* HandlerLifetime() = 0;

protected:
    ~MenuClickHandler() = default;
};

class MenuEventSink;

class MenuEventSubscription {
public:
    MenuEventSubscription();
    ~MenuEventSubscription();
    MenuEventSubscription(const MenuEventSubscription&) = delete;
    MenuEventSubscription& operator=(const MenuEventSubscription&) = delete;

    // Connects `handler` to the Click events of `source`: the connection point of the
    // IDE's own outgoing interface, then that of the later library, then that of an Office
    // button's own events, then the source's only one. Drops any earlier subscription first.
    HRESULT Advise(IUnknown* source, MenuClickHandler* handler);
    // Ends the subscription; further clicks reach nobody. Safe to call more than once.
    void Unadvise() noexcept;
    [[nodiscard]] bool Active() const noexcept { return point_ != nullptr; }

private:
    Microsoft::WRL::ComPtr<IConnectionPoint> point_;
    Microsoft::WRL::ComPtr<MenuEventSink> sink_;
    DWORD cookie_ = 0;
};

// Finds the connection point of a command-bar event source (exposed for tests).
HRESULT FindClickConnectionPoint(IUnknown* source, IConnectionPoint** point);

} // namespace qvn::addin
