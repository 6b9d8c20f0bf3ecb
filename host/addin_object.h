// The AddIn object the IDE passes to OnConnection as AddInInst: the add-in as the IDE's list
// knows it (ProgId, Description, Guid), whether it is connected, and the object it runs.
#pragma once

#include "host/host_object.h"

#include <vbide.h>

#include <functional>

namespace qvn::host {

class AddInObject final : public DispatchObject<::AddIn> {
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

    HRESULT STDMETHODCALLTYPE get_Description(BSTR* description) override;
    HRESULT STDMETHODCALLTYPE put_Description(BSTR description) override;
    HRESULT STDMETHODCALLTYPE get_VBE(::VBE** vbe) override;
    HRESULT STDMETHODCALLTYPE get_Collection(IDispatch** collection) override;
    HRESULT STDMETHODCALLTYPE get_ProgId(BSTR* progId) override;
    HRESULT STDMETHODCALLTYPE get_Guid(BSTR* guid) override;
    HRESULT STDMETHODCALLTYPE get_Connect(VARIANT_BOOL* connected) override;
    HRESULT STDMETHODCALLTYPE put_Connect(VARIANT_BOOL connect) override;
    HRESULT STDMETHODCALLTYPE get_Object(IDispatch** object) override;
    HRESULT STDMETHODCALLTYPE put_Object(IDispatch* object) override;

protected:
    [[nodiscard]] std::span<const DispMember> Members() const override;
    HRESULT Dispatch(DISPID id, WORD flags, const Args& args, VARIANT* result,
                     UINT* argErr) override;

private:
    Entry entry_;
    Microsoft::WRL::ComPtr<IDispatch> object_;
};

} // namespace qvn::host
