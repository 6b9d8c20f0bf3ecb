// The add-in object: its default interface _Connect, the IDE's connection interface
// IDTExtensibility, the Add-Ins menu item with its click subscription, the remembered
// "DisplayOnConnect" setting, and the one builder window it owns.
#pragma once

#include "builder/builder_form.h"
#include "menu_event_sink.h"
#include "module.h"

#include <qvn.h>
#include <wrl/client.h>

#include <atomic>
#include <memory>

namespace qvn::addin {

using Microsoft::WRL::ComPtr;

// IDispatch of _Connect. Names and the type information come from the embedded type
// library; calls are dispatched by hand, because the system's type-driven Invoke would have
// to load the IDE's own libraries to marshal VBE and CommandBarEvents, and those need not be
// registered where the add-in runs.
class ConnectDispatch : public _Connect {
public:
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) noexcept override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID lcid,
                                          ITypeInfo** info) noexcept override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid,
                                            DISPID* ids) noexcept override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags,
                                     DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                                     UINT* argError) noexcept override;

protected:
    ConnectDispatch() = default;
    ~ConnectDispatch() = default;

private:
    ComPtr<ITypeInfo> info_;
};

// IDispatch of IDTExtensibility, on its own vtable as the IDE expects.
class ExtensibilityDispatch : public IDTExtensibility {
public:
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) noexcept override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID lcid,
                                          ITypeInfo** info) noexcept override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid,
                                            DISPID* ids) noexcept override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags,
                                     DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                                     UINT* argError) noexcept override;

protected:
    ExtensibilityDispatch() = default;
    ~ExtensibilityDispatch() = default;

private:
    ComPtr<ITypeInfo> info_;
};

class Connect final : public ConnectDispatch,
                      public ExtensibilityDispatch,
                      private MenuClickHandler {
public:
    static HRESULT Create(REFIID riid, void** object) noexcept;

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) noexcept override;
    ULONG STDMETHODCALLTYPE AddRef() noexcept override;
    ULONG STDMETHODCALLTYPE Release() noexcept override;

    // _Connect
    HRESULT STDMETHODCALLTYPE get_FormDisplayed(VARIANT_BOOL* FormDisplayed) noexcept override;
    HRESULT STDMETHODCALLTYPE put_FormDisplayed(VARIANT_BOOL FormDisplayed) noexcept override;
    HRESULT STDMETHODCALLTYPE get_VBInstance(VBE** VBInstance) noexcept override;
    HRESULT STDMETHODCALLTYPE putref_VBInstance(VBE* VBInstance) noexcept override;
    HRESULT STDMETHODCALLTYPE get_MenuHandler(CommandBarEvents** MenuHandler) noexcept override;
    HRESULT STDMETHODCALLTYPE putref_MenuHandler(CommandBarEvents* MenuHandler) noexcept override;
    HRESULT STDMETHODCALLTYPE Hide() noexcept override;
    HRESULT STDMETHODCALLTYPE Show() noexcept override;
    HRESULT STDMETHODCALLTYPE AddToAddInCommandBar(
        BSTR* sCaption, CommandBarControl** AddToAddInCommandBar) noexcept override;

    // IDTExtensibility
    HRESULT STDMETHODCALLTYPE OnConnection(IDispatch* VBInst, vbext_ConnectMode ConnectMode,
                                           IDispatch* AddInInst,
                                           SAFEARRAY** custom) noexcept override;
    HRESULT STDMETHODCALLTYPE OnDisconnection(vbext_DisconnectMode RemoveMode,
                                              SAFEARRAY** custom) noexcept override;
    HRESULT STDMETHODCALLTYPE OnAddInsUpdate(SAFEARRAY** custom) noexcept override;
    HRESULT STDMETHODCALLTYPE OnStartupComplete(SAFEARRAY** custom) noexcept override;

private:
    // The window's view of this object (its public member Connect). A plain back pointer:
    // the window lives inside this object's lifetime.
    class FormOwner final : public AddinConnect {
    public:
        explicit FormOwner(Connect* owner) : owner_(owner) {}
        void Show() override { owner_->ShowForm(); }
        void Hide() override { owner_->HideForm(); }

    private:
        Connect* owner_;
    };

    Connect() = default;
    ~Connect();

    // MenuClickHandler
    HRESULT MenuHandler_Click(IDispatch* CommandBarControl, VARIANT_BOOL* handled,
                              VARIANT_BOOL* CancelDefault) override;
    IUnknown* HandlerLifetime() override;

    void ShowForm() noexcept;
    void HideForm() noexcept;
    ComPtr<::CommandBarControl> AddMenuItem(const std::wstring& caption) noexcept;
    HRESULT SetMenuHandler(IUnknown* source) noexcept;
    std::shared_ptr<BuilderForm> Form();
    std::shared_ptr<IdeRoot> IdeForWindow();
    void SetVBInstance(ComPtr<VBE> vbe) noexcept;

    std::atomic<ULONG> refs_{1};
    ModuleReference module_;
    bool formDisplayed_ = false;
    ComPtr<VBE> vbInstance_;
    ComPtr<::CommandBarControl> menuItem_;
    ComPtr<::CommandBarEvents> menuHandler_;
    MenuEventSubscription subscription_;
    std::shared_ptr<BuilderForm> builderForm_;
    std::shared_ptr<IdeRoot> ide_; // VBInstance as the window sees it
    FormOwner owner_{this};
};

} // namespace qvn::addin
