// The command-bar objects of the stand-in IDE: the bars, a bar's controls and a control. The
// host keeps the bars and their controls; an add-in adds and deletes controls. The menu bar
// holds the built-in menus as popups with their built-in Ids, each opening a bar of its own,
// so that add-ins can find the Add-Ins menu without knowing its (localized) name.
#pragma once

#include "standin/ide_object.h"

#include <office.h>
#include <standin_calls.h>
#include <wrl/client.h>

#include <vector>

namespace qvn::standin {

class ConnectionPoint;
class ControlsObject;
class EventSource;

class CommandBarObject;

// Control types of the library (msoControlButton, msoControlPopup) and the Id of a control an
// add-in adds.
inline constexpr long kControlButton = 1;
inline constexpr long kControlPopup = 10;
inline constexpr long kCustomControlId = 1;

// A button, or a popup (a menu) with the bar it opens. In the VBA editor a button is also the
// source of its own Click (_CommandBarButtonEvents).
class ControlObject final : public IdeDispatch<::CommandBarPopup, IConnectionPointContainer> {
public:
    // A button an add-in adds (Id 1); `temporary` ones are not kept between sessions.
    ControlObject(std::shared_ptr<HostState> state, ControlsObject* owner, long type,
                  bool temporary = false);
    // A built-in menu: a popup with its Id, its caption and the bar it opens.
    ControlObject(std::shared_ptr<HostState> state, ControlsObject* owner, long id,
                  std::wstring caption, CommandBarObject* bar);
    ~ControlObject() override;

    // Only a button of the VBA editor is the source of its own Click.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) noexcept override;
    HRESULT STDMETHODCALLTYPE get_Caption(BSTR* caption) noexcept override;
    HRESULT STDMETHODCALLTYPE put_Caption(BSTR caption) noexcept override;
    HRESULT STDMETHODCALLTYPE Delete(VARIANT temporary) noexcept override;
    HRESULT STDMETHODCALLTYPE get_Id(int* id) noexcept override;
    HRESULT STDMETHODCALLTYPE get_Index(int* index) noexcept override;
    HRESULT STDMETHODCALLTYPE get_Parent(::CommandBar** parent) noexcept override;
    HRESULT STDMETHODCALLTYPE get_Type(int* type) noexcept override;
    HRESULT STDMETHODCALLTYPE get_Tag(BSTR* tag) noexcept override;
    HRESULT STDMETHODCALLTYPE put_Tag(BSTR tag) noexcept override;
    HRESULT STDMETHODCALLTYPE get_CommandBar(::CommandBar** bar) noexcept override;
    HRESULT STDMETHODCALLTYPE get_Controls(::CommandBarControls** controls) noexcept override;
    HRESULT STDMETHODCALLTYPE
    EnumConnectionPoints(IEnumConnectionPoints** points) noexcept override;
    HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID riid,
                                                  IConnectionPoint** point) noexcept override;

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
    void* OtherInterface(REFIID riid) noexcept override;

private:
    // The injected failure of `operation` (when given), then a deleted control's failure.
    HRESULT CheckAlive(const wchar_t* operation = nullptr);
    // Tag and Caption: the text read, or written and the change told to the host.
    HRESULT GetText(const wchar_t* operation, const std::wstring& text, BSTR* out);
    HRESULT PutText(const wchar_t* operation, std::wstring& text, BSTR value) noexcept;
    int RaiseButtonClick();

    ControlsObject* owner_;
    long type_;
    long id_ = kCustomControlId;
    bool temporary_ = false;
    Microsoft::WRL::ComPtr<CommandBarObject> popup_; // a popup's bar
    std::wstring caption_;
    std::wstring tag_;
    std::vector<EventSource*> sources_;
    Microsoft::WRL::ComPtr<ConnectionPoint> clickPoint_; // VBA editor only
};

class ControlsObject final : public IdeDispatch<::CommandBarControls> {
public:
    ControlsObject(std::shared_ptr<HostState> state, CommandBarObject* bar);
    ~ControlsObject() override;

    HRESULT STDMETHODCALLTYPE Add(VARIANT type, VARIANT id, VARIANT parameter, VARIANT before,
                                  VARIANT temporary,
                                  ::CommandBarControl** control) noexcept override;
    HRESULT STDMETHODCALLTYPE get_Count(int* count) noexcept override;
    HRESULT STDMETHODCALLTYPE get_Item(VARIANT index,
                                       ::CommandBarControl** control) noexcept override;
    HRESULT STDMETHODCALLTYPE get_Parent(::CommandBar** parent) noexcept override;

    [[nodiscard]] const std::vector<Microsoft::WRL::ComPtr<ControlObject>>& Items() const {
        return items_;
    }
    void Remove(ControlObject* control);
    // Appends a control the host makes itself (a built-in menu, or a kept customization).
    void Append(Microsoft::WRL::ComPtr<ControlObject> control);
    long IndexOf(const ControlObject* control) const; // 1-based, 0 when absent
    void DetachBar() { bar_ = nullptr; }
    [[nodiscard]] CommandBarObject* Bar() const { return bar_; }

private:
    CommandBarObject* bar_;
    std::vector<Microsoft::WRL::ComPtr<ControlObject>> items_;
};

class CommandBarObject final : public IdeDispatch<::CommandBar> {
public:
    CommandBarObject(std::shared_ptr<HostState> state, std::wstring name);
    ~CommandBarObject() override;

    HRESULT STDMETHODCALLTYPE get_Controls(::CommandBarControls** controls) noexcept override;
    HRESULT STDMETHODCALLTYPE Delete() noexcept override;
    HRESULT STDMETHODCALLTYPE FindControl(VARIANT type, VARIANT id, VARIANT tag, VARIANT visible,
                                          VARIANT recursive,
                                          ::CommandBarControl** control) noexcept override;
    HRESULT STDMETHODCALLTYPE get_Name(BSTR* name) noexcept override;

    [[nodiscard]] const std::wstring& Name() const { return name_; }
    void Rename(std::wstring name) { name_ = std::move(name); }
    // The first control matching every criterion given (a missing one matches all), searching
    // the popups' bars too when `recursive`; nullptr when none does.
    ControlObject* Find(const VARIANT& type, const VARIANT& id, const VARIANT& tag,
                        bool recursive) const;
    [[nodiscard]] ControlsObject* Controls() const { return controls_.Get(); }

private:
    std::wstring name_;
    Microsoft::WRL::ComPtr<ControlsObject> controls_;
};

// The bars of one IDE: the menu bar with its built-in menus, each menu's bar, the toolbars.
class CommandBarsObject final : public IdeDispatch<::CommandBars> {
public:
    explicit CommandBarsObject(std::shared_ptr<HostState> state);

    HRESULT STDMETHODCALLTYPE get_ActiveMenuBar(::CommandBar** bar) noexcept override;
    HRESULT STDMETHODCALLTYPE get_Count(int* count) noexcept override;
    HRESULT STDMETHODCALLTYPE FindControl(VARIANT type, VARIANT id, VARIANT tag, VARIANT visible,
                                          ::CommandBarControl** control) noexcept override;
    HRESULT STDMETHODCALLTYPE get_Item(VARIANT index, ::CommandBar** bar) noexcept override;

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
    // The Add-Ins menu of the menu bar; nullptr without one.
    [[nodiscard]] ControlObject* AddInsMenu() const;
    [[nodiscard]] const std::vector<Microsoft::WRL::ComPtr<CommandBarObject>>& Bars() const {
        return bars_;
    }

private:
    CommandBarObject* AddBar(const std::wstring& name);
    [[nodiscard]] CommandBarObject* MenuBar() const;

    std::vector<Microsoft::WRL::ComPtr<CommandBarObject>> bars_;
};

} // namespace qvn::standin
