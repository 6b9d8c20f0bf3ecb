#include "standin/addin_object.h"

#include <vba_extensibility.h>

namespace qvn::standin {

AddInObject::AddInObject(std::shared_ptr<HostState> state, Entry entry)
    : IdeDispatch(state, L"AddIn", state->IsVba() ? IID_VbaAddIn : IID_AddIn),
      entry_(std::move(entry)) {}

void AddInObject::Forget() {
    entry_.vbe = nullptr;
    const bool connected = entry_.connected && entry_.connected();
    entry_.connected = [connected] { return connected; };
    entry_.connect = nullptr;
}

HRESULT AddInObject::get_Description(BSTR* description) noexcept {
    return CopyText(entry_.description, description);
}

HRESULT AddInObject::put_Description(BSTR description) noexcept try {
    entry_.description = TextOf(description);
    return S_OK;
}
CATCH_RETURN()

HRESULT AddInObject::get_VBE(::VBE** vbe) noexcept {
    RETURN_IF_FAILED(Start(vbe));
    if (entry_.vbe == nullptr) {
        return Fail(E_FAIL, L"The add-in is not attached to an IDE.");
    }
    entry_.vbe->AddRef();
    *vbe = reinterpret_cast<::VBE*>(entry_.vbe);
    return S_OK;
}

HRESULT AddInObject::get_Collection(IDispatch** collection) noexcept {
    RETURN_IF_FAILED(Start(collection));
    return Fail(E_NOTIMPL, L"The stand-in IDE offers no Addins collection.");
}

HRESULT AddInObject::get_ProgId(BSTR* progId) noexcept {
    return CopyText(entry_.progId, progId);
}

HRESULT AddInObject::get_Guid(BSTR* guid) noexcept {
    return CopyText(entry_.guid, guid);
}

HRESULT AddInObject::get_Connect(VARIANT_BOOL* connected) noexcept {
    RETURN_HR_IF_NULL(E_POINTER, connected);
    *connected = entry_.connected && entry_.connected() ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

HRESULT AddInObject::put_Connect(VARIANT_BOOL connect) noexcept try {
    if (!entry_.connect) {
        return Fail(E_FAIL, L"The add-in cannot be connected from here.");
    }
    return entry_.connect(connect != VARIANT_FALSE);
}
CATCH_RETURN()

HRESULT AddInObject::get_Object(IDispatch** object) noexcept {
    RETURN_HR_IF_NULL(E_POINTER, object);
    *object = Microsoft::WRL::ComPtr<IDispatch>(object_).Detach();
    return S_OK;
}

HRESULT AddInObject::put_Object(IDispatch* object) noexcept {
    object_ = object;
    return S_OK;
}

} // namespace qvn::standin
