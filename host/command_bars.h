// The command-bar objects of the stand-in IDE: the bars, a bar's controls and a control. The
// host keeps the bars and their controls; an add-in adds and deletes controls. The menu bar
// holds the built-in menus as popups with their built-in Ids, each opening a bar of its own,
// so that add-ins can find the Add-Ins menu without knowing its (localized) name.
#pragma once

#include "host/host_object.h"

#include <office.h>
#include <wrl/client.h>

#include <vector>

namespace qvn::host {

class ConnectionPoint;
class ControlsObject;
class EventSource;

// Answered by QueryInterface of a control of this host, so that Events.CommandBarEvents can
// tell its own controls from foreign objects without guessing at their layout.
extern const IID IID_HostControl;

class CommandBarObject;

// Control types of the library (msoControlButton, msoControlPopup) and the Id of a control an
// add-in adds.
inline constexpr long kControlButton = 1;
inline constexpr long kControlPopup = 10;
inline constexpr long kCustomControlId = 1;

// A button, or a popup (a menu) with the bar it opens. In the VBA editor a button is also the
// source of its own Click (_CommandBarButtonEvents).
class ControlObject final : public DispatchObject<::CommandBarPopup>,
                            public IConnectionPointContainer {
public:
    // A button an add-in adds (Id 1); `temporary` ones are not kept between sessions.
    ControlObject(std::shared_ptr<HostState> state, ControlsObject* owner, long type,
                  bool temporary = false);
    // A built-in menu: a popup with its Id, its caption and the bar it opens.
    ControlObject(std::shared_ptr<HostState> state, ControlsObject* owner, long id,
                  std::wstring caption, CommandBarObject* bar);
    ~ControlObject() override;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        return DispatchObject::QueryInterface(riid, object);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return AddRefImpl(); }
    ULONG STDMETHODCALLTYPE Release() override { return ReleaseImpl(); }

    HRESULT STDMETHODCALLTYPE get_Caption(BSTR* caption) override;
    HRESULT STDMETHODCALLTYPE put_Caption(BSTR caption) override;
    HRESULT STDMETHODCALLTYPE Delete(VARIANT temporary) override;
    HRESULT STDMETHODCALLTYPE get_Id(int* id) override;
    HRESULT STDMETHODCALLTYPE get_Index(int* index) override;
    HRESULT STDMETHODCALLTYPE get_Parent(::CommandBar** parent) override;
    HRESULT STDMETHODCALLTYPE get_Type(int* type) override;
    HRESULT STDMETHODCALLTYPE get_Tag(BSTR* tag) override;
    HRESULT STDMETHODCALLTYPE put_Tag(BSTR tag) override;
    HRESULT STDMETHODCALLTYPE get_CommandBar(::CommandBar** bar) override;
    HRESULT STDMETHODCALLTYPE get_Controls(::CommandBarControls** controls) override;
    HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints** points) override;
    HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID riid, IConnectionPoint** point) override;

    [[nodiscard]] const std::wstring& Caption() const { return caption_; }
    [[nodiscard]] const std::wstring& Tag() const { return tag_; }
    [[nodiscard]] long Id() const { return id_; }
    [[nodiscard]] long Type() const { return type_; }
    [[nodiscard]] bool Temporary() const { return temporary_; }
    [[nodiscard]] CommandBarObject* Popup() const { return popup_.Get(); }
    void SetCaption(std::wstring caption) { caption_ = std::move(caption); }
    void SetTag(std::wstring tag) { tag_ = std::move(tag); }
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
    long id_ = kCustomControlId;
    bool temporary_ = false;
    Microsoft::WRL::ComPtr<CommandBarObject> popup_; // a popup's bar
    std::wstring caption_;
    std::wstring tag_;
    std::vector<EventSource*> sources_;
    Microsoft::WRL::ComPtr<IConnectionPoint> clickPoint_; // VBA editor only
    ConnectionPoint* clickPointImpl_ = nullptr;           // the same object, for raising
};

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
    // Appends a control the host makes itself (a built-in menu, or a kept customization).
    void Append(Microsoft::WRL::ComPtr<ControlObject> control);
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
    HRESULT STDMETHODCALLTYPE FindControl(VARIANT type, VARIANT id, VARIANT tag, VARIANT visible,
                                          VARIANT recursive,
                                          ::CommandBarControl** control) override;
    HRESULT STDMETHODCALLTYPE get_Name(BSTR* name) override;

    [[nodiscard]] const std::wstring& Name() const { return name_; }
    void Rename(std::wstring name) { name_ = std::move(name); }
    // The first control matching every criterion given (a missing one matches all), searching
    // the popups' bars too when `recursive`; nullptr when none does.
    ControlObject* Find(const VARIANT& type, const VARIANT& id, const VARIANT& tag,
                        bool recursive) const;
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

// The bars of one IDE: the menu bar with its built-in menus, each menu's bar, the toolbars.
class CommandBarsObject final : public DispatchObject<CommandBars> {
public:
    explicit CommandBarsObject(std::shared_ptr<HostState> state);

    HRESULT STDMETHODCALLTYPE get_ActiveMenuBar(::CommandBar** bar) override;
    HRESULT STDMETHODCALLTYPE get_Count(int* count) override;
    HRESULT STDMETHODCALLTYPE FindControl(VARIANT type, VARIANT id, VARIANT tag, VARIANT visible,
                                          ::CommandBarControl** control) override;
    HRESULT STDMETHODCALLTYPE get_Item(VARIANT index, ::CommandBar** bar) override;

    // Makes the menu bar with the built-in menus, each with its bar, and the toolbar.
    void AddBuiltInBars();
    // Adds or removes the Add-Ins menu and its bar (an IDE without one).
    void SetAddInsMenu(bool present);
    // Adds or removes the code window's context menu.
    void SetCodeWindowMenu(bool present);
    // Names the built-in bars and captions their menus in `locale` ("en", "de", "es", "fr");
    // false for a language the stand-in does not know.
    bool Localize(const std::wstring& locale);
    [[nodiscard]] CommandBarObject* Find(const std::wstring& name) const;
    // The bar behind the Add-Ins menu, whatever its name; nullptr without one.
    [[nodiscard]] CommandBarObject* AddInsBar() const;
    [[nodiscard]] const std::vector<Microsoft::WRL::ComPtr<CommandBarObject>>& Bars() const {
        return bars_;
    }

protected:
    [[nodiscard]] std::span<const DispMember> Members() const override;
    HRESULT Dispatch(DISPID id, WORD flags, const Args& args, VARIANT* result,
                     UINT* argErr) override;
    [[nodiscard]] const wchar_t* Source() const override { return L"Office"; }

private:
    CommandBarObject* AddBar(const std::wstring& name);
    [[nodiscard]] CommandBarObject* MenuBar() const;

    std::vector<Microsoft::WRL::ComPtr<CommandBarObject>> bars_;
};

// Text of the IDE's error for a bad argument or a missing item.
inline constexpr HRESULT kInvalidCall = static_cast<HRESULT>(0x800A0005);
inline constexpr const wchar_t* kInvalidCallText = L"Invalid procedure call or argument";

} // namespace qvn::host
