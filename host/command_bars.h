// The command-bar objects of the stand-in IDE: the bars, a bar's controls and a control.
// The host keeps the bars and their controls; an add-in adds and deletes controls.
#pragma once

#include "host/host_object.h"

#include <office.h>
#include <wrl/client.h>

#include <vector>

namespace qvn::host {

// A control as the later Office library (office2000.idl, MSO.DLL) lays it out: office.h's
// CommandBarControl with Tag appended. That library's C names repeat office.h's, so its header
// is not generated and this one vtable is declared here.
struct TaggedCommandBarControl : public ::CommandBarControl {
    virtual HRESULT STDMETHODCALLTYPE get_Tag(BSTR* tag) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Tag(BSTR tag) = 0;
};

} // namespace qvn::host

__CRT_UUID_DECL(qvn::host::TaggedCommandBarControl, 0x000C0308, 0x0000, 0x0000, 0xC0, 0x00, 0x00,
                0x00, 0x00, 0x00, 0x00, 0x46)

namespace qvn::host {

class ConnectionPoint;
class ControlsObject;
class EventSource;

// Answered by QueryInterface of a control of this host, so that Events.CommandBarEvents can
// tell its own controls from foreign objects without guessing at their layout.
extern const IID IID_HostControl;

// In the VBA editor a control is also the source of its own Click (_CommandBarButtonEvents).
class ControlObject final : public DispatchObject<TaggedCommandBarControl>,
                            public IConnectionPointContainer {
public:
    ControlObject(std::shared_ptr<HostState> state, ControlsObject* owner, long type);
    ~ControlObject() override;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        return DispatchObject::QueryInterface(riid, object);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return AddRefImpl(); }
    ULONG STDMETHODCALLTYPE Release() override { return ReleaseImpl(); }

    HRESULT STDMETHODCALLTYPE get_Caption(BSTR* caption) override;
    HRESULT STDMETHODCALLTYPE put_Caption(BSTR caption) override;
    HRESULT STDMETHODCALLTYPE Delete(VARIANT temporary) override;
    HRESULT STDMETHODCALLTYPE get_Index(int* index) override;
    HRESULT STDMETHODCALLTYPE get_Parent(::CommandBar** parent) override;
    HRESULT STDMETHODCALLTYPE get_Type(int* type) override;
    HRESULT STDMETHODCALLTYPE get_Tag(BSTR* tag) override;
    HRESULT STDMETHODCALLTYPE put_Tag(BSTR tag) override;
    HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints** points) override;
    HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID riid, IConnectionPoint** point) override;

    [[nodiscard]] const std::wstring& Caption() const { return caption_; }
    [[nodiscard]] const std::wstring& Tag() const { return tag_; }
    [[nodiscard]] bool Deleted() const { return owner_ == nullptr; }
    void Detach() { owner_ = nullptr; }
    // Raises Click as choosing the control does: in the VBA editor first the button's own
    // Click to the sinks of every control sharing its Tag, then on every event source bound
    // to this control; returns how many sinks were called.
    int RaiseClick();
    void AddSource(EventSource* source) { sources_.push_back(source); }
    void RemoveSource(EventSource* source);

protected:
    void* OtherInterface(REFIID riid) override;
    [[nodiscard]] std::span<const DispMember> Members() const override;
    HRESULT Dispatch(DISPID id, WORD flags, const Args& args, VARIANT* result,
                     UINT* argErr) override;
    [[nodiscard]] const wchar_t* Source() const override { return L"Office"; }

private:
    HRESULT CheckAlive();
    int RaiseButtonClick();

    ControlsObject* owner_;
    long type_;
    std::wstring caption_;
    std::wstring tag_;
    std::vector<EventSource*> sources_;
    Microsoft::WRL::ComPtr<IConnectionPoint> clickPoint_; // VBA editor only
    ConnectionPoint* clickPointImpl_ = nullptr;           // the same object, for raising
};

class CommandBarObject;

class ControlsObject final : public DispatchObject<CommandBarControls> {
public:
    ControlsObject(std::shared_ptr<HostState> state, CommandBarObject* bar);
    ~ControlsObject() override;

    HRESULT STDMETHODCALLTYPE Add(VARIANT type, VARIANT id, VARIANT parameter, VARIANT before,
                                  VARIANT temporary, ::CommandBarControl** control) override;
    HRESULT STDMETHODCALLTYPE get_Count(int* count) override;
    HRESULT STDMETHODCALLTYPE get_Item(VARIANT index, ::CommandBarControl** control) override;
    HRESULT STDMETHODCALLTYPE get_Parent(::CommandBar** parent) override;

    [[nodiscard]] const std::vector<Microsoft::WRL::ComPtr<ControlObject>>& Items() const {
        return items_;
    }
    void Remove(ControlObject* control);
    long IndexOf(const ControlObject* control) const; // 1-based, 0 when absent
    void DetachBar() { bar_ = nullptr; }
    [[nodiscard]] CommandBarObject* Bar() const { return bar_; }

protected:
    [[nodiscard]] std::span<const DispMember> Members() const override;
    HRESULT Dispatch(DISPID id, WORD flags, const Args& args, VARIANT* result,
                     UINT* argErr) override;
    [[nodiscard]] const wchar_t* Source() const override { return L"Office"; }

private:
    CommandBarObject* bar_;
    std::vector<Microsoft::WRL::ComPtr<ControlObject>> items_;
};

class CommandBarObject final : public DispatchObject<CommandBar> {
public:
    CommandBarObject(std::shared_ptr<HostState> state, std::wstring name);
    ~CommandBarObject() override;

    HRESULT STDMETHODCALLTYPE get_Controls(::CommandBarControls** controls) override;
    HRESULT STDMETHODCALLTYPE Delete() override;
    HRESULT STDMETHODCALLTYPE get_Name(BSTR* name) override;

    [[nodiscard]] const std::wstring& Name() const { return name_; }
    [[nodiscard]] ControlsObject* Controls() const { return controls_.Get(); }

protected:
    [[nodiscard]] std::span<const DispMember> Members() const override;
    HRESULT Dispatch(DISPID id, WORD flags, const Args& args, VARIANT* result,
                     UINT* argErr) override;
    [[nodiscard]] const wchar_t* Source() const override { return L"Office"; }

private:
    std::wstring name_;
    Microsoft::WRL::ComPtr<ControlsObject> controls_;
};

class CommandBarsObject final : public DispatchObject<CommandBars> {
public:
    explicit CommandBarsObject(std::shared_ptr<HostState> state);

    HRESULT STDMETHODCALLTYPE get_Count(int* count) override;
    HRESULT STDMETHODCALLTYPE get_Item(VARIANT index, ::CommandBar** bar) override;

    void AddBar(const std::wstring& name);
    void RemoveBar(const std::wstring& name);
    [[nodiscard]] CommandBarObject* Find(const std::wstring& name) const;

protected:
    [[nodiscard]] std::span<const DispMember> Members() const override;
    HRESULT Dispatch(DISPID id, WORD flags, const Args& args, VARIANT* result,
                     UINT* argErr) override;
    [[nodiscard]] const wchar_t* Source() const override { return L"Office"; }

private:
    std::vector<Microsoft::WRL::ComPtr<CommandBarObject>> bars_;
};

// Text of the IDE's error for a bad argument or a missing item.
inline constexpr HRESULT kInvalidCall = static_cast<HRESULT>(0x800A0005);
inline constexpr const wchar_t* kInvalidCallText = L"Invalid procedure call or argument";

} // namespace qvn::host
