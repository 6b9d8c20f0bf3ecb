#include "addin/menu_event_sink.h"

#include "addin/identifiers.h"
#include "ide/host_ids.h"
#include "win32util/com_object.h"
#include "win32util/result_macros.h"
#include "win32util/unique_handles.h"

#include <olectl.h>
#include <vbide.h>

namespace qvn::addin {

using Microsoft::WRL::ComPtr;

class MenuEventSink final : public win32util::ComObject<IDispatch> {
public:
    explicit MenuEventSink(MenuClickHandler* handler) : handler_(handler) {}
    void Detach() noexcept { handler_ = nullptr; }

    void* OtherInterface(REFIID riid) noexcept override {
        // Advised as the command-bar events' outgoing interface of either IDE library, or as
        // an Office button's own events.
        if (riid == DIID__dispCommandBarControlEvents ||
            riid == ide::kDiidVbaCommandBarControlEvents ||
            riid == ide::kDiidCommandBarButtonEvents) {
            return static_cast<IDispatch*>(this);
        }
        return nullptr;
    }

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) noexcept override {
        RETURN_HR_IF_NULL(E_POINTER, count);
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) noexcept override {
        RETURN_HR_IF_NULL(E_POINTER, info);
        *info = nullptr;
        return DISP_E_BADINDEX;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                            DISPID* ids) noexcept override {
        RETURN_HR_IF(E_POINTER, names == nullptr || ids == nullptr);
        HRESULT hr = S_OK;
        for (UINT i = 0; i < count; ++i) {
            ids[i] = DISPID_UNKNOWN;
            if (i == 0 && names[i] != nullptr && lstrcmpiW(names[i], L"Click") == 0) {
                ids[i] = kDispIdClick;
            } else {
                hr = DISP_E_UNKNOWNNAME;
            }
        }
        return hr;
    }

    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO*, UINT* argError) noexcept override
        try {
        if (result != nullptr) {
            VariantInit(result);
        }
        RETURN_HR_IF(DISP_E_MEMBERNOTFOUND, id != kDispIdClick);
        RETURN_HR_IF_NULL(E_INVALIDARG, params);
        // Arguments arrive last first: CancelDefault, handled, CommandBarControl from the
        // IDE's event source; CancelDefault, Ctrl from a button's own Click event.
        RETURN_HR_IF(DISP_E_BADPARAMCOUNT, params->cArgs != 3 && params->cArgs != 2);
        const bool buttonEvent = params->cArgs == 2;
        VARIANT& controlArg = params->rgvarg[params->cArgs - 1];
        IDispatch* control = nullptr;
        if (controlArg.vt == VT_DISPATCH) {
            control = controlArg.pdispVal;
        } else if (controlArg.vt == (VT_DISPATCH | VT_BYREF) && controlArg.ppdispVal != nullptr) {
            control = *controlArg.ppdispVal;
        }
        VARIANT_BOOL* handled = buttonEvent ? nullptr : BoolRef(params->rgvarg[1]);
        VARIANT_BOOL* cancelDefault = BoolRef(params->rgvarg[0]);
        if (handler_ == nullptr) {
            return S_OK;
        }
        // A click may end in disconnection, which unadvises this sink and drops Connect.
        ComPtr<MenuEventSink> self(this);
        ComPtr<IUnknown> keepAlive(handler_->HandlerLifetime());
        (void)argError;
        return handler_->MenuHandler_Click(control, handled, cancelDefault);
    }
    CATCH_RETURN()

private:
    static VARIANT_BOOL* BoolRef(VARIANT& arg) noexcept {
        if (arg.vt == (VT_BOOL | VT_BYREF)) {
            return arg.pboolVal;
        }
        if (arg.vt == (VT_VARIANT | VT_BYREF) && arg.pvarVal != nullptr &&
            arg.pvarVal->vt == VT_BOOL) {
            return &arg.pvarVal->boolVal;
        }
        return nullptr;
    }

    MenuClickHandler* handler_;
};

HRESULT FindClickConnectionPoint(IUnknown* source, IConnectionPoint** point) {
    RETURN_HR_IF_NULL(E_POINTER, point);
    *point = nullptr;
    RETURN_HR_IF_NULL(E_INVALIDARG, source);
    ComPtr<IConnectionPointContainer> container;
    RETURN_IF_FAILED(source->QueryInterface(IID_IConnectionPointContainer,
                                            reinterpret_cast<void**>(container.GetAddressOf())));
    for (const IID* events :
         {&DIID__dispCommandBarControlEvents, &ide::kDiidVbaCommandBarControlEvents,
          &ide::kDiidCommandBarButtonEvents}) {
        if (SUCCEEDED(container->FindConnectionPoint(*events, point)) && *point != nullptr) {
            return S_OK;
        }
    }
    ComPtr<IEnumConnectionPoints> points;
    RETURN_IF_FAILED(container->EnumConnectionPoints(points.GetAddressOf()));
    ComPtr<IConnectionPoint> first;
    ComPtr<IConnectionPoint> second;
    ULONG fetched = 0;
    RETURN_HR_IF(CONNECT_E_NOCONNECTION,
                 points->Next(1, first.GetAddressOf(), &fetched) != S_OK || fetched != 1);
    // Only an unambiguous source is used: with several outgoing interfaces there is no
    // telling which one raises Click.
    if (points->Next(1, second.GetAddressOf(), &fetched) == S_OK && fetched == 1) {
        return CONNECT_E_NOCONNECTION;
    }
    *point = first.Detach();
    return S_OK;
}

MenuEventSubscription::MenuEventSubscription() = default;
MenuEventSubscription::~MenuEventSubscription() {
    Unadvise();
}

HRESULT MenuEventSubscription::Advise(IUnknown* source, MenuClickHandler* handler) {
    Unadvise();
    ComPtr<IConnectionPoint> point;
    RETURN_IF_FAILED(FindClickConnectionPoint(source, point.GetAddressOf()));
    ComPtr<MenuEventSink> sink = win32util::Adopt(new (std::nothrow) MenuEventSink(handler));
    RETURN_HR_IF_NULL(E_OUTOFMEMORY, sink);
    // A sink the source refused must not call its handler if the source keeps it anyway.
    auto detach = win32util::scope_exit([&sink] { sink->Detach(); });
    DWORD cookie = 0;
    RETURN_IF_FAILED(point->Advise(static_cast<IDispatch*>(sink.Get()), &cookie));
    detach.release();
    point_ = std::move(point);
    sink_ = std::move(sink);
    cookie_ = cookie;
    return S_OK;
}

void MenuEventSubscription::Unadvise() noexcept {
    if (sink_ != nullptr) {
        sink_->Detach();
    }
    if (point_ != nullptr) {
        point_->Unadvise(cookie_);
    }
    point_.Reset();
    sink_.Reset();
    cookie_ = 0;
}

} // namespace qvn::addin
