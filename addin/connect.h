// The add-in object: its default interface _Connect, the IDE's connection interface
// IDTExtensibility, the Add-Ins menu item with its click subscription, the remembered
// "DisplayOnConnect" setting, and the one builder window it owns.
#pragma once

#include "addin/connect_dispatch.h"
#include "addin/menu_event_sink.h"
#include "builder/builder_form.h"
#include "win32util/com_object.h"

#include <qvn.h>
#include <wrl/client.h>

#include <memory>

namespace qvn::addin {

using Microsoft::WRL::ComPtr;

// One identity with three dispatch interfaces on their own vtables, each served from its
// description in the component's type library: _Connect, the VB IDEs' IDTExtensibility and
// the VBA editor's IDTExtensibility2.
class Connect final : public win32util::ComObject<win32util::TypeInfoDispatch<_Connect>,
                                                  win32util::TypeInfoDispatch<IDTExtensibility>,
                                                  win32util::TypeInfoDispatch<IDTExtensibility2>>,
                      private MenuClickHandler {
public:
    static HRESULT Create(REFIID riid, void** object) noexcept;

    // _Connect
    HRESULT STDMETHODCALLTYPE get_FormDisplayed(VARIANT_BOOL* FormDisplayed) noexcept override;
    HRESULT STDMETHODCALLTYPE put_FormDisplayed(VARIANT_BOOL FormDisplayed) noexcept override;
    HRESULT STDMETHODCALLTYPE get_VBInstance(VBE** VBInstance) noexcept override;
    HRESULT STDMETHODCALLTYPE putref_VBInstance(VBE* VBInstance) noexcept override;
    HRESULT STDMETHODCALLTYPE
    get_MenuHandler(_CommandBarControlEvents** MenuHandler) noexcept override;
    HRESULT STDMETHODCALLTYPE
    putref_MenuHandler(_CommandBarControlEvents* MenuHandler) noexcept override;
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
    // OnAddInsUpdate and OnStartupComplete serve both connection interfaces.
    HRESULT STDMETHODCALLTYPE OnAddInsUpdate(SAFEARRAY** custom) noexcept override;
    HRESULT STDMETHODCALLTYPE OnStartupComplete(SAFEARRAY** custom) noexcept override;

    // IDTExtensibility2
    HRESULT STDMETHODCALLTYPE OnConnection(IDispatch* Application, ext_ConnectMode ConnectMode,
                                           IDispatch* AddInInst,
                                           SAFEARRAY** custom) noexcept override;
    HRESULT STDMETHODCALLTYPE OnDisconnection(ext_DisconnectMode RemoveMode,
                                              SAFEARRAY** custom) noexcept override;
    HRESULT STDMETHODCALLTYPE OnBeginShutdown(SAFEARRAY** custom) noexcept override;

private:
    // The window's view of this object (its public member Connect). A plain back pointer:
    // the window lives inside this object's lifetime.
    class FormOwner final : public AddinConnect {
    public:
        explicit FormOwner(Connect* owner) : owner_(owner) {}
        void Show() noexcept override { owner_->ShowForm(); }
        void Hide() noexcept override { owner_->HideForm(); }

    private:
        Connect* owner_;
    };

    // The edit command's item on the code window's menu: its clicks open the window on the
    // message box at the caret.
    class EditClick final : public MenuClickHandler {
    public:
        explicit EditClick(Connect* owner) : owner_(owner) {}
        HRESULT MenuHandler_Click(IDispatch*, VARIANT_BOOL*, VARIANT_BOOL*) override {
            owner_->EditMessageBox();
            return S_OK;
        }
        IUnknown* HandlerLifetime() override { return owner_->HandlerLifetime(); }

    private:
        Connect* owner_;
    };

    // Which object model the connected host offers, told by the interfaces its root answers.
    enum class Host { VbIde, VbaEditor };

    Connect() = default;
    ~Connect() override;

    HRESULT Connection(IDispatch* root, long mode, bool viaExtensibility2) noexcept;
    HRESULT Disconnection() noexcept;
    HRESULT SubscribeToButton(IDispatch* button);
    // Adds the edit command after the Add-Ins item; a host without the code window's menu,
    // or one that refuses any step, gets no second item and no message.
    void AddEditItem() noexcept;
    void EditMessageBox() noexcept;

    // MenuClickHandler
    HRESULT MenuHandler_Click(IDispatch* CommandBarControl, VARIANT_BOOL* handled,
                              VARIANT_BOOL* CancelDefault) override;
    IUnknown* HandlerLifetime() override;

    void ShowForm() noexcept;
    void HideForm() noexcept;
    // `atConnection`: first deletes the items a session that never disconnected left on the
    // bar, and tags the new one as ours.
    ComPtr<IDispatch> AddMenuItem(const std::wstring& caption, bool atConnection) noexcept;
    // Sweeps the bar of items tagged `tag`, then appends one captioned `caption` and tags it.
    static ComPtr<IDispatch> AddTaggedItem(IDispatch* bar, const std::wstring& caption,
                                           const std::wstring& tag);
    HRESULT SetMenuHandler(IUnknown* source) noexcept;
    std::shared_ptr<BuilderForm> Form();
    std::shared_ptr<IdeRoot> IdeForWindow();
    void SetVBInstance(ComPtr<IDispatch> root) noexcept;

    bool formDisplayed_ = false;
    bool connected_ = false;
    bool commandLine_ = false; // connected without a user: no menu item, no window
    Host host_ = Host::VbIde;
    // The host's root object as it is: the VB IDEs' VBE, or the VBA editor's.
    ComPtr<IDispatch> vbInstance_;
    ComPtr<IDispatch> menuItem_;
    // The event source as the IDE handed it out: its interface has no members beyond IUnknown.
    ComPtr<IUnknown> menuHandler_;
    MenuEventSubscription subscription_;
    ComPtr<IDispatch> editItem_;
    ComPtr<IUnknown> editSource_; // the VB IDEs' event source for the edit item
    MenuEventSubscription editSubscription_;
    EditClick editClick_{this};
    std::shared_ptr<BuilderForm> builderForm_;
    std::shared_ptr<IdeRoot> ide_; // VBInstance as the window sees it
    FormOwner owner_{this};
};

} // namespace qvn::addin
