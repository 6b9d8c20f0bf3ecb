#include "addin/connect.h"

#include "addin/builder_factory.h"
#include "addin/dispatch_call.h"
#include "addin/ide_host_adapter.h"
#include "addin/identifiers.h"
#include "addin/result_macros.h"
#include "addin/settings_store.h"

namespace qvn::addin {

namespace {

void ReportConnectionFailure(const std::wstring& description) {
    MessageBoxW(nullptr, description.c_str(), kTitle, MB_OK);
}

template <class T> ComPtr<T> As(IUnknown* object, REFIID iid) {
    ComPtr<T> typed;
    if (object != nullptr) {
        HRESULT hr = object->QueryInterface(iid, reinterpret_cast<void**>(typed.GetAddressOf()));
        if (FAILED(hr)) {
            throw DispatchError(hr, DescribeFailure(hr));
        }
    }
    return typed;
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
    if (builderForm_ != nullptr) {
        try {
            builderForm_->Unload();
        } catch (...) {
            // Destruction goes on regardless.
        }
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
    *VBInstance = ComPtr<VBE>(vbInstance_).Detach();
    return S_OK;
}

HRESULT Connect::putref_VBInstance(VBE* VBInstance) noexcept {
    SetVBInstance(ComPtr<VBE>(VBInstance));
    return S_OK;
}

HRESULT Connect::get_MenuHandler(CommandBarEvents** MenuHandler) noexcept {
    RETURN_HR_IF_NULL(E_POINTER, MenuHandler);
    *MenuHandler = ComPtr<::CommandBarEvents>(menuHandler_).Detach();
    return S_OK;
}

HRESULT Connect::putref_MenuHandler(CommandBarEvents* MenuHandler) noexcept {
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
    *AddToAddInCommandBar = AddMenuItem(caption).Detach();
    return S_OK;
}

// --- IDTExtensibility ----------------------------------------------------------------------

HRESULT Connect::OnConnection(IDispatch* VBInst, vbext_ConnectMode ConnectMode, IDispatch*,
                              SAFEARRAY**) noexcept {
    ComPtr<_Connect> self(this); // a refusing host may release us while we report
    try {
        if (VBInst == nullptr) {
            throw DispatchError(E_POINTER, DescribeFailure(names::kErrorObjectRequired));
        }
        SetVBInstance(As<VBE>(VBInst, IID_VBE));
        if (ConnectMode == vbext_cm_External) {
            ShowForm();
            return S_OK;
        }
        menuItem_ = AddMenuItem(kMenuCaption);
        ComPtr<IDispatch> source = CommandBarEventsFor(vbInstance_.Get(), menuItem_.Get());
        HRESULT hr = SetMenuHandler(source.Get());
        if (FAILED(hr)) {
            std::wstring description = TakeErrorInfoDescription();
            throw DispatchError(hr, description.empty() ? DescribeFailure(hr) : description);
        }
        if (ConnectMode == vbext_cm_AfterStartup && ReadDisplayOnConnect()) {
            ShowForm();
        }
    } catch (const DispatchError& e) {
        ReportConnectionFailure(e.Description());
    } catch (...) {
        ReportConnectionFailure(DescribeFailure(ResultFromCaughtException()));
    }
    return S_OK;
}

HRESULT Connect::OnDisconnection(vbext_DisconnectMode, SAFEARRAY**) noexcept {
    ComPtr<_Connect> self(this);
    try {
        // Without an item (an outside caller connected us, or adding it failed) there is
        // nothing to delete; the host's complaint about that would be ignored anyway.
        if (menuItem_ != nullptr) {
            DeleteMenuItem(menuItem_.Get());
        }
    } catch (...) {
        // Every step of the disconnection runs regardless of the others.
    }
    // Unsubscribe first: the sink must not call into an object the host is dropping.
    subscription_.Unadvise();
    menuHandler_.Reset();
    menuItem_.Reset();

    // Written before the unload, whose Hide clears FormDisplayed.
    WriteDisplayOnConnect(formDisplayed_);
    formDisplayed_ = false;

    if (builderForm_ != nullptr) {
        // When this runs inside the window's modal loop, the Show on the stack holds its own
        // reference and the window object lives until that Show returns.
        std::shared_ptr<BuilderForm> form = builderForm_;
        try {
            form->Unload();
        } catch (...) {
        }
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
    if (ReadDisplayOnConnect()) {
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

ComPtr<::CommandBarControl> Connect::AddMenuItem(const std::wstring& caption) noexcept try {
    ComPtr<IDispatch> bar = CommandBarNamed(vbInstance_.Get(), kAddInsBar);
    ComPtr<IDispatch> control = AppendMenuItem(bar.Get(), caption);
    return As<::CommandBarControl>(control.Get(), IID_CommandBarControl);
} catch (...) {
    return nullptr;
}

HRESULT Connect::SetMenuHandler(IUnknown* source) noexcept try {
    subscription_.Unadvise();
    menuHandler_.Reset();
    if (source == nullptr) {
        return S_OK;
    }
    ComPtr<::CommandBarEvents> events;
    RETURN_IF_FAILED(source->QueryInterface(IID_CommandBarEvents,
                                            reinterpret_cast<void**>(events.GetAddressOf())));
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

void Connect::SetVBInstance(ComPtr<VBE> vbe) noexcept {
    vbInstance_ = std::move(vbe);
    ide_.reset();
}

void Connect::ShowForm() noexcept {
    // The window may be torn down from inside its own modal loop (the IDE disconnects us);
    // this object and the window object stay alive until the display returns.
    ComPtr<_Connect> self(this);
    std::shared_ptr<BuilderForm> form;
    try {
        form = Form();
    } catch (...) {
    }
    if (form != nullptr) {
        try {
            form->SetVBInstance(IdeForWindow());
            form->SetConnect(&owner_);
        } catch (...) {
        }
    }
    formDisplayed_ = true;
    if (form != nullptr) {
        try {
            form->ShowModal();
        } catch (...) {
        }
    }
}

void Connect::HideForm() noexcept {
    formDisplayed_ = false;
    try {
        std::shared_ptr<BuilderForm> form = Form();
        if (form != nullptr) {
            form->HideForm();
        }
    } catch (...) {
    }
}

} // namespace qvn::addin
