#include "addin/connect.h"

#include "addin/builder_factory.h"
#include "addin/dispatch_call.h"
#include "addin/ide_host_adapter.h"
#include "addin/identifiers.h"
#include "addin/settings_store.h"
#include "ide/host_ids.h"

namespace qvn::addin {

namespace {

void ReportConnectionFailure(const std::wstring& description) {
    MessageBoxW(nullptr, description.c_str(), kTitle, MB_OK);
}

} // namespace

HRESULT Connect::Create(REFIID riid, void** object) noexcept try {
    RETURN_HR_IF_NULL(E_POINTER, object);
    *object = nullptr;
    ComPtr<_Connect> connect = win32util::Adopt<_Connect>(new Connect());
    return connect->QueryInterface(riid, object);
}
CATCH_RETURN()

Connect::~Connect() {
    subscription_.Unadvise();
    editSubscription_.Unadvise();
    if (builderForm_ != nullptr) {
        try {
            builderForm_->Unload();
        }
        CATCH_LOG() // destruction goes on regardless
    }
}

// --- _Connect ------------------------------------------------------------------------------

HRESULT Connect::get_FormDisplayed(VARIANT_BOOL* FormDisplayed) noexcept {
    RETURN_HR_IF_NULL(E_POINTER, FormDisplayed);
    *FormDisplayed = formDisplayed_ ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

HRESULT Connect::put_FormDisplayed(VARIANT_BOOL FormDisplayed) noexcept {
    formDisplayed_ = FormDisplayed != VARIANT_FALSE;
    return S_OK;
}

HRESULT Connect::get_VBInstance(VBE** VBInstance) noexcept {
    RETURN_HR_IF_NULL(E_POINTER, VBInstance);
    // In the VB IDEs this is their VBE; in the VBA editor the editor's own root object, which
    // is handed out as the object it is.
    *VBInstance = reinterpret_cast<VBE*>(ComPtr<IDispatch>(vbInstance_).Detach());
    return S_OK;
}

HRESULT Connect::putref_VBInstance(VBE* VBInstance) noexcept {
    SetVBInstance(ComPtr<IDispatch>(VBInstance));
    return S_OK;
}

HRESULT Connect::get_MenuHandler(_CommandBarControlEvents** MenuHandler) noexcept {
    RETURN_HR_IF_NULL(E_POINTER, MenuHandler);
    // _CommandBarControlEvents adds nothing to IUnknown, so the source is handed out as it is.
    *MenuHandler =
        reinterpret_cast<_CommandBarControlEvents*>(ComPtr<IUnknown>(menuHandler_).Detach());
    return S_OK;
}

HRESULT Connect::putref_MenuHandler(_CommandBarControlEvents* MenuHandler) noexcept {
    return SetMenuHandler(MenuHandler);
}

HRESULT Connect::Hide() noexcept {
    HideForm();
    return S_OK;
}

HRESULT Connect::Show() noexcept {
    ShowForm();
    return S_OK;
}

HRESULT Connect::AddToAddInCommandBar(BSTR* sCaption,
                                      CommandBarControl** AddToAddInCommandBar) noexcept {
    RETURN_HR_IF_NULL(E_POINTER, AddToAddInCommandBar);
    *AddToAddInCommandBar = nullptr;
    std::wstring caption;
    if (sCaption != nullptr && *sCaption != nullptr) {
        caption.assign(*sCaption, SysStringLen(*sCaption));
    }
    ComPtr<IDispatch> item = AddMenuItem(caption, false);
    ComPtr<::CommandBarControl> control;
    if (item != nullptr && SUCCEEDED(item.As(&control))) {
        *AddToAddInCommandBar = control.Detach();
    } else {
        // A command bar of a later Office library: the control as it is.
        *AddToAddInCommandBar = reinterpret_cast<::CommandBarControl*>(item.Detach());
    }
    return S_OK;
}

// --- IDTExtensibility ----------------------------------------------------------------------

HRESULT Connect::OnConnection(IDispatch* VBInst, vbext_ConnectMode ConnectMode, IDispatch*,
                              SAFEARRAY**) noexcept {
    return Connection(VBInst, ConnectMode, false);
}

HRESULT Connect::OnDisconnection(vbext_DisconnectMode, SAFEARRAY**) noexcept {
    return Disconnection();
}

// --- IDTExtensibility2 ---------------------------------------------------------------------

HRESULT Connect::OnConnection(IDispatch* Application, ext_ConnectMode ConnectMode, IDispatch*,
                              SAFEARRAY**) noexcept {
    return Connection(Application, ConnectMode, true);
}

HRESULT Connect::OnDisconnection(ext_DisconnectMode, SAFEARRAY**) noexcept {
    return Disconnection();
}

HRESULT Connect::OnBeginShutdown(SAFEARRAY**) noexcept {
    return S_OK;
}

// --- Connection ----------------------------------------------------------------------------

HRESULT Connect::Connection(IDispatch* root, long mode, bool viaExtensibility2) noexcept {
    // The VBA editor's interface allows one connection at a time; the VB IDEs' interface
    // keeps its old leniency.
    RETURN_HR_IF(E_UNEXPECTED, viaExtensibility2 && connected_);
    ComPtr<_Connect> self(this); // a refusing host may release us while we report
    try {
        if (root == nullptr) {
            throw ResultException(E_POINTER, DescribeFailure(names::kErrorObjectRequired));
        }
        ComPtr<IDispatch> vbe;
        ComPtr<IUnknown> vbaRoot;
        const HRESULT vbIde =
            root->QueryInterface(IID_VBE, reinterpret_cast<void**>(vbe.GetAddressOf()));
        if (SUCCEEDED(vbIde)) {
            host_ = Host::VbIde;
        } else if (SUCCEEDED(root->QueryInterface(
                       ide::kIidVbaVbe, reinterpret_cast<void**>(vbaRoot.GetAddressOf())))) {
            host_ = Host::VbaEditor;
            vbe = root;
        } else {
            ThrowFailure(vbIde);
        }
        SetVBInstance(std::move(vbe));
        connected_ = true;
        commandLine_ = viaExtensibility2 && mode == ext_cm_CommandLine;
        if (mode == vbext_cm_External) {
            ShowForm();
            return S_OK;
        }
        if (commandLine_) {
            return S_OK;
        }
        menuItem_ = AddMenuItem(kMenuCaption, true);
        HRESULT hr = S_OK;
        if (host_ == Host::VbaEditor) {
            // The editor's own command-bar event source is not touched: the button raises
            // its Click itself.
            hr = SubscribeToButton(menuItem_.Get());
        } else {
            ComPtr<IUnknown> source = CommandBarEventsFor(vbInstance_.Get(), menuItem_.Get());
            hr = SetMenuHandler(source.Get());
        }
        if (FAILED(hr)) {
            std::wstring description = TakeErrorInfoDescription();
            throw ResultException(hr, description.empty() ? DescribeFailure(hr) : description);
        }
        if (menuItem_ != nullptr) {
            AddEditItem();
        }
        if (mode == vbext_cm_AfterStartup && ReadDisplayOnConnect()) {
            ShowForm();
        }
    } catch (const ResultException& e) {
        ReportConnectionFailure(e.Description());
    } catch (...) {
        ReportConnectionFailure(DescribeFailure(win32util::ResultFromCaughtException()));
    }
    return S_OK;
}

HRESULT Connect::SubscribeToButton(IDispatch* button) {
    if (button == nullptr) {
        return S_OK; // no Add-Ins bar: nothing to click
    }
    return subscription_.Advise(button, this);
}

HRESULT Connect::Disconnection() noexcept {
    ComPtr<_Connect> self(this);
    connected_ = false;
    commandLine_ = false;
    // Every step of the disconnection runs regardless of the others. Without an item (an
    // outside caller connected us, or adding it failed) there is nothing to delete.
    for (const ComPtr<IDispatch>& item : {menuItem_, editItem_}) {
        try {
            if (item != nullptr) {
                DeleteMenuItem(item.Get());
            }
        }
        CATCH_LOG()
    }
    // Unsubscribe first: the sink must not call into an object the host is dropping.
    subscription_.Unadvise();
    editSubscription_.Unadvise();
    menuHandler_.Reset();
    menuItem_.Reset();
    editSource_.Reset();
    editItem_.Reset();

    // Written before the unload, whose Hide clears FormDisplayed.
    WriteDisplayOnConnect(formDisplayed_);
    formDisplayed_ = false;

    if (builderForm_ != nullptr) {
        // When this runs inside the window's modal loop, the Show on the stack holds its own
        // reference and the window object lives until that Show returns.
        std::shared_ptr<BuilderForm> form = builderForm_;
        try {
            form->Unload();
        }
        CATCH_LOG()
        builderForm_.reset();
    }
    ide_.reset();
    vbInstance_.Reset();
    return S_OK;
}

HRESULT Connect::OnAddInsUpdate(SAFEARRAY**) noexcept {
    return S_OK;
}

HRESULT Connect::OnStartupComplete(SAFEARRAY**) noexcept try {
    if (!commandLine_ && ReadDisplayOnConnect()) {
        ShowForm();
    }
    return S_OK;
}
CATCH_RETURN()

// --- Menu ----------------------------------------------------------------------------------

HRESULT Connect::MenuHandler_Click(IDispatch*, VARIANT_BOOL*, VARIANT_BOOL*) {
    ShowForm();
    return S_OK;
}

IUnknown* Connect::HandlerLifetime() {
    return static_cast<_Connect*>(this);
}

ComPtr<IDispatch> Connect::AddTaggedItem(IDispatch* bar, const std::wstring& caption,
                                         const std::wstring& tag) {
    try {
        DeleteTaggedControls(bar, tag);
    } catch (const ResultException&) {
        // A host without Tag, Count or Item keeps what it has; the item is added anyway.
        LOG_CAUGHT_EXCEPTION();
    }
    ComPtr<IDispatch> item = AppendMenuItem(bar, caption);
    try {
        // The mark the next connection's sweep looks for; Office also hands a button's Click
        // to the sinks of every button with the same Tag.
        Variant text{tag};
        PutProperty(item.Get(), L"Tag", text.Get());
    } catch (const ResultException&) {
        LOG_CAUGHT_EXCEPTION();
    }
    return item;
}

ComPtr<IDispatch> Connect::AddMenuItem(const std::wstring& caption, bool atConnection) noexcept
    try {
    ComPtr<IDispatch> bar = AddInsCommandBar(vbInstance_.Get());
    return atConnection ? AddTaggedItem(bar.Get(), caption, kProgId)
                        : AppendMenuItem(bar.Get(), caption);
} catch (...) {
    // No Add-Ins bar (or no IDE): the item is left out without a message.
    LOG_CAUGHT_EXCEPTION();
    return nullptr;
}

void Connect::AddEditItem() noexcept {
    try {
        ComPtr<IDispatch> bars = GetObject(vbInstance_.Get(), L"CommandBars");
        Variant name{std::wstring(names::kCodeWindowBarW)};
        ComPtr<IDispatch> bar = GetObject(bars.Get(), L"Item", {name.Get()});
        editItem_ = AddTaggedItem(bar.Get(), names::kEditCaptionW, names::kEditTagW);
        HRESULT hr = S_OK;
        if (host_ == Host::VbaEditor) {
            hr = editSubscription_.Advise(editItem_.Get(), &editClick_);
        } else {
            editSource_ = CommandBarEventsFor(vbInstance_.Get(), editItem_.Get());
            hr = editSubscription_.Advise(editSource_.Get(), &editClick_);
        }
        if (SUCCEEDED(hr)) {
            return;
        }
    }
    CATCH_LOG()
    // An item whose click reaches nobody would only mislead: it goes again.
    editSubscription_.Unadvise();
    editSource_.Reset();
    if (editItem_ != nullptr) {
        try {
            DeleteMenuItem(editItem_.Get());
        }
        CATCH_LOG()
        editItem_.Reset();
    }
}

void Connect::EditMessageBox() noexcept {
    ComPtr<_Connect> self(this);
    try {
        std::shared_ptr<BuilderForm> form = Form();
        if (form->IsShowing()) {
            return;
        }
        // A window hidden but still loaded is unloaded, so that it loads afresh on the box.
        form->Unload();
        form->SetVBInstance(IdeForWindow());
        form->SetConnect(&owner_);
        if (!form->PrepareEdit()) {
            return;
        }
    } catch (...) {
        LOG_CAUGHT_EXCEPTION();
        return;
    }
    ShowForm();
}

HRESULT Connect::SetMenuHandler(IUnknown* source) noexcept try {
    subscription_.Unadvise();
    menuHandler_.Reset();
    if (source == nullptr) {
        return S_OK;
    }
    // The IDE's own interface when the source answers it; otherwise the object as it is (the
    // VBA library numbers the same member-less interface differently). Never IDispatch.
    ComPtr<IUnknown> events;
    if (source->QueryInterface(IID__CommandBarControlEvents,
                               reinterpret_cast<void**>(events.GetAddressOf())) != S_OK) {
        events = source;
    }
    RETURN_IF_FAILED(subscription_.Advise(events.Get(), this));
    menuHandler_ = std::move(events);
    return S_OK;
}
CATCH_RETURN()

// --- Window --------------------------------------------------------------------------------

std::shared_ptr<BuilderForm> Connect::Form() {
    if (builderForm_ == nullptr) {
        builderForm_ = MakeBuilderForm();
    }
    return builderForm_;
}

std::shared_ptr<IdeRoot> Connect::IdeForWindow() {
    if (ide_ == nullptr) {
        ide_ = std::make_shared<DispatchIdeRoot>(ComPtr<IDispatch>(vbInstance_.Get()));
    }
    return ide_;
}

void Connect::SetVBInstance(ComPtr<IDispatch> root) noexcept {
    vbInstance_ = std::move(root);
    ide_.reset();
}

void Connect::ShowForm() noexcept {
    // The window may be torn down from inside its own modal loop (the IDE disconnects us);
    // this object and the window object stay alive until the display returns.
    ComPtr<_Connect> self(this);
    std::shared_ptr<BuilderForm> form;
    try {
        form = Form();
        form->SetVBInstance(IdeForWindow());
        form->SetConnect(&owner_);
    }
    CATCH_LOG()
    formDisplayed_ = true;
    if (form != nullptr) {
        try {
            form->ShowModal();
        }
        CATCH_LOG()
    }
}

void Connect::HideForm() noexcept {
    formDisplayed_ = false;
    try {
        std::shared_ptr<BuilderForm> form = Form();
        if (form != nullptr) {
            form->HideForm();
        }
    }
    CATCH_LOG()
}

} // namespace qvn::addin
