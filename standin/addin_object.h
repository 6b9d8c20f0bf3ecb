// The AddIn object the IDE passes to OnConnection as AddInInst: the add-in as the IDE's list
// knows it (ProgId, Description, Guid), whether it is connected, and the object it runs.
#pragma once

#include "standin/ide_object.h"

#include <vbide.h>

#include <functional>

namespace qvn::standin {

class AddInObject final : public IdeDispatch<::AddIn> {
public:
    struct Entry {
        std::wstring progId;
        std::wstring description;
        std::wstring guid;        // the class id as text, empty when the host did not resolve one
        IDispatch* vbe = nullptr; // the root object; not held, it outlives every add-in
        // Whether the add-in is connected, and the host's connection or disconnection of it.
        std::function<bool()> connected;
        std::function<HRESULT(bool)> connect;
    };
    AddInObject(std::shared_ptr<HostState> state, Entry entry);
    // The host is going: the object answers from what it knows, and connects nothing.
    void Forget();

    HRESULT STDMETHODCALLTYPE get_Description(BSTR* description) noexcept override;
    HRESULT STDMETHODCALLTYPE put_Description(BSTR description) noexcept override;
    HRESULT STDMETHODCALLTYPE get_VBE(::VBE** vbe) noexcept override;
    HRESULT STDMETHODCALLTYPE get_Collection(IDispatch** collection) noexcept override;
    HRESULT STDMETHODCALLTYPE get_ProgId(BSTR* progId) noexcept override;
    HRESULT STDMETHODCALLTYPE get_Guid(BSTR* guid) noexcept override;
    HRESULT STDMETHODCALLTYPE get_Connect(VARIANT_BOOL* connected) noexcept override;
    HRESULT STDMETHODCALLTYPE put_Connect(VARIANT_BOOL connect) noexcept override;
    HRESULT STDMETHODCALLTYPE get_Object(IDispatch** object) noexcept override;
    HRESULT STDMETHODCALLTYPE put_Object(IDispatch* object) noexcept override;

private:
    Entry entry_;
    Microsoft::WRL::ComPtr<IDispatch> object_;
};

} // namespace qvn::standin
