#include "standin/command_bars.h"

#include "win32util/variant.h"

#include "ide/host_ids.h"
#include "ide/names.h"

#include "standin/connection_point.h"
#include "standin/event_source.h"

#include <olectl.h>

#include <algorithm>
#include <optional>

namespace qvn::standin {

using Microsoft::WRL::ComPtr;
using win32util::Adopt;

namespace {

bool IsMissing(const VARIANT& v) {
    return v.vt == VT_ERROR && v.scode == DISP_E_PARAMNOTFOUND;
}

// An argument converted to `type`; nothing when it is missing or does not convert.
std::optional<win32util::Variant> As(const VARIANT& value, VARTYPE type) {
    win32util::Variant converted;
    if (IsMissing(value) ||
        FAILED(VariantChangeType(converted.Get(), const_cast<VARIANT*>(&value), 0, type))) {
        return std::nullopt;
    }
    return converted;
}

// Resolves an Item index: a 1-based number or a name compared without regard to case.
template <class Item, class NameOf>
Item* FindItem(const std::vector<ComPtr<Item>>& items, const VARIANT& index, NameOf nameOf) {
    win32util::Variant plain;
    if (FAILED(VariantCopyInd(plain.Get(), const_cast<VARIANT*>(&index)))) {
        return nullptr;
    }
    if (plain.Ref().vt == VT_BSTR) {
        for (const auto& item : items) {
            if (plain.Ref().bstrVal != nullptr &&
                lstrcmpiW(nameOf(*item.Get()).c_str(), plain.Ref().bstrVal) == 0) {
                return item.Get();
            }
        }
        return nullptr;
    }
    auto number = As(plain.Ref(), VT_I4);
    if (!number || number->Ref().lVal < 1 ||
        static_cast<std::size_t>(number->Ref().lVal) > items.size()) {
        return nullptr;
    }
    return items[number->Ref().lVal - 1].Get();
}

} // namespace

// --- CommandBarControl ---------------------------------------------------------------------

ControlObject::ControlObject(std::shared_ptr<HostState> state, ControlsObject* owner, long type,
                             bool temporary)
    : IdeDispatch(std::move(state), L"CommandBarControl", IID_CommandBarControl, L"Office"),
      owner_(owner), type_(type), temporary_(temporary) {
    state_->controls.push_back(this);
    if (state_->IsVba()) {
        clickPoint_ =
            Adopt(new ConnectionPoint(state_, static_cast<IConnectionPointContainer*>(this),
                                      ide::kDiidCommandBarButtonEvents));
    }
}

ControlObject::ControlObject(std::shared_ptr<HostState> state, ControlsObject* owner, long id,
                             std::wstring caption, CommandBarObject* bar)
    : IdeDispatch(std::move(state), L"CommandBarPopup", IID_CommandBarPopup, L"Office"),
      owner_(owner), type_(kControlPopup), id_(id), popup_(bar), caption_(std::move(caption)) {
    state_->controls.push_back(this);
}

ControlObject::~ControlObject() {
    if (clickPoint_) {
        clickPoint_->DetachSource();
    }
    std::erase(state_->controls, this);
}

HRESULT ControlObject::QueryInterface(REFIID riid, void** object) noexcept {
    if (object != nullptr && riid == IID_IConnectionPointContainer && !clickPoint_) {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    return IdeDispatch::QueryInterface(riid, object);
}

void* ControlObject::OtherInterface(REFIID riid) noexcept {
    if (riid == IID_IHostControl || riid == IID_CommandBarControl) {
        return static_cast<::CommandBarControl*>(this); // a popup is a control too
    }
    return IdeDispatch::OtherInterface(riid);
}

HRESULT ControlObject::EnumConnectionPoints(IEnumConnectionPoints** points) noexcept {
    RETURN_HR_IF(E_NOTIMPL, !clickPoint_);
    return EnumerateOnePoint(state_, clickPoint_.Get(), points);
}

HRESULT ControlObject::FindConnectionPoint(REFIID riid, IConnectionPoint** point) noexcept {
    return FindOnePoint(clickPoint_.Get(), riid, point);
}

HRESULT ControlObject::CheckAlive(const wchar_t* operation) {
    if (operation != nullptr) {
        RETURN_IF_FAILED(Check(operation));
    }
    if (Deleted()) {
        return Fail(E_FAIL, L"The control has been deleted.");
    }
    return S_OK;
}

HRESULT ControlObject::get_Id(int* id) noexcept {
    RETURN_HR_IF_NULL(E_POINTER, id);
    *id = static_cast<int>(id_);
    return CheckAlive();
}

HRESULT ControlObject::get_CommandBar(::CommandBar** bar) noexcept {
    RETURN_IF_FAILED(Start(bar));
    RETURN_HR_IF(DISP_E_MEMBERNOTFOUND, !popup_);
    return popup_->Hand(bar);
}

HRESULT ControlObject::get_Controls(::CommandBarControls** controls) noexcept {
    RETURN_IF_FAILED(Start(controls));
    RETURN_HR_IF(DISP_E_MEMBERNOTFOUND, !popup_);
    return popup_->get_Controls(controls);
}

HRESULT ControlObject::GetText(const wchar_t* operation, const std::wstring& text, BSTR* out) {
    RETURN_IF_FAILED(Start(out));
    RETURN_IF_FAILED(CheckAlive(operation));
    return CopyText(text, out);
}

HRESULT ControlObject::PutText(const wchar_t* operation, std::wstring& text, BSTR value) noexcept
    try {
    RETURN_IF_FAILED(CheckAlive(operation));
    text = TextOf(value);
    if (&text == &caption_) { // the caption shows in the host's menus
        state_->MenuChanged();
    }
    state_->CustomizationsChanged();
    return S_OK;
}
CATCH_RETURN()

HRESULT ControlObject::get_Tag(BSTR* tag) noexcept {
    return GetText(L"Tag", tag_, tag);
}

HRESULT ControlObject::put_Tag(BSTR tag) noexcept {
    return PutText(L"Tag", tag_, tag);
}

HRESULT ControlObject::get_Caption(BSTR* caption) noexcept {
    return GetText(L"Caption", caption_, caption);
}

HRESULT ControlObject::put_Caption(BSTR caption) noexcept {
    return PutText(L"Caption", caption_, caption);
}

HRESULT ControlObject::Delete(VARIANT) noexcept try {
    RETURN_IF_FAILED(CheckAlive(L"Delete"));
    ComPtr<ControlObject> keep(this);
    owner_->Remove(this);
    return S_OK;
}
CATCH_RETURN()

HRESULT ControlObject::get_Index(int* index) noexcept {
    RETURN_IF_FAILED(Start(index));
    RETURN_IF_FAILED(CheckAlive());
    *index = static_cast<int>(owner_->IndexOf(this));
    return S_OK;
}

HRESULT ControlObject::get_Parent(::CommandBar** parent) noexcept {
    RETURN_IF_FAILED(Start(parent));
    RETURN_IF_FAILED(CheckAlive());
    if (owner_->Bar() == nullptr) {
        return Fail(E_FAIL, L"The command bar no longer exists.");
    }
    return owner_->Bar()->Hand(parent);
}

HRESULT ControlObject::get_Type(int* type) noexcept {
    RETURN_HR_IF_NULL(E_POINTER, type);
    *type = static_cast<int>(type_);
    return S_OK;
}

void ControlObject::RemoveSource(EventSource* source) {
    std::erase(sources_, source);
}

int ControlObject::RaiseButtonClick() {
    // Office routes a button's Click by Tag: the sinks of every control with the same Tag hear
    // it (a deleted one can no longer be reached); without a Tag only the control's own do.
    std::vector<ComPtr<ControlObject>> targets{this};
    if (!tag_.empty()) {
        for (ControlObject* other : state_->controls) {
            if (other != this && !other->Deleted() && other->clickPoint_ && other->tag_ == tag_) {
                targets.emplace_back(other);
            }
        }
    }
    // One CancelDefault for the whole click, passed by reference: each sink sees what the
    // sinks before it set.
    VARIANT_BOOL cancelDefault = VARIANT_FALSE;
    int called = 0;
    for (const auto& target : targets) {
        for (const auto& sink : target->clickPoint_->Sinks()) {
            VARIANT args[2];
            args[1].vt = VT_DISPATCH;
            args[1].pdispVal = static_cast<::CommandBarControl*>(this);
            args[0].vt = VT_BOOL | VT_BYREF;
            args[0].pboolVal = &cancelDefault;
            InvokeClick(sink.Get(), args, 2);
            ++called;
        }
    }
    return called;
}

int ControlObject::RaiseClick() {
    ComPtr<ControlObject> keep(this);
    int called = clickPoint_ ? RaiseButtonClick() : 0;
    const std::vector<ComPtr<EventSource>> sources(sources_.begin(), sources_.end());
    for (const auto& source : sources) {
        called += source->RaiseClick();
    }
    return called;
}

// --- CommandBarControls --------------------------------------------------------------------

ControlsObject::ControlsObject(std::shared_ptr<HostState> state, CommandBarObject* bar)
    : IdeDispatch(std::move(state), L"CommandBarControls", IID_CommandBarControls, L"Office"),
      bar_(bar) {}

ControlsObject::~ControlsObject() {
    for (auto& item : items_) {
        item->Detach();
    }
}

HRESULT ControlsObject::Add(VARIANT type, VARIANT, VARIANT, VARIANT before, VARIANT temporary,
                            ::CommandBarControl** control) noexcept try {
    RETURN_IF_FAILED(Start(control, L"Add"));
    const auto kind = As(type, VT_I4);
    const auto flag = As(temporary, VT_BOOL);
    const auto number = As(before, VT_I4);
    if ((!kind && !IsMissing(type)) || (!flag && !IsMissing(temporary)) ||
        (!number && !IsMissing(before)) ||
        (number && (number->Ref().lVal < 1 ||
                    static_cast<std::size_t>(number->Ref().lVal) > items_.size() + 1))) {
        return Fail(kInvalidCall, kInvalidCallText);
    }
    if (kind && kind->Ref().lVal != kControlButton) {
        return Fail(kInvalidCall, L"Only plain command items (type 1) can be added here.");
    }
    const std::size_t position =
        number ? static_cast<std::size_t>(number->Ref().lVal - 1) : items_.size();
    auto item = Adopt(new ControlObject(state_, this, kControlButton,
                                        flag && flag->Ref().boolVal != VARIANT_FALSE));
    items_.insert(items_.begin() + static_cast<std::ptrdiff_t>(position), item);
    state_->MenuChanged();
    state_->CustomizationsChanged();
    return item->Hand(control);
}
CATCH_RETURN()

HRESULT ControlsObject::get_Count(int* count) noexcept {
    RETURN_IF_FAILED(Start(count, L"Count"));
    *count = static_cast<int>(items_.size());
    return S_OK;
}

HRESULT ControlsObject::get_Item(VARIANT index, ::CommandBarControl** control) noexcept try {
    RETURN_IF_FAILED(Start(control));
    ControlObject* found =
        FindItem(items_, index, [](const ControlObject& c) { return c.Caption(); });
    if (found == nullptr) {
        return Fail(kInvalidCall, kInvalidCallText);
    }
    return found->Hand(control);
}
CATCH_RETURN()

HRESULT ControlsObject::get_Parent(::CommandBar** parent) noexcept {
    RETURN_IF_FAILED(Start(parent));
    if (bar_ == nullptr) {
        return Fail(E_FAIL, L"The command bar no longer exists.");
    }
    return bar_->Hand(parent);
}

void ControlsObject::Remove(ControlObject* control) {
    auto it = std::find_if(items_.begin(), items_.end(),
                           [&](const ComPtr<ControlObject>& c) { return c.Get() == control; });
    if (it == items_.end()) {
        return;
    }
    ComPtr<ControlObject> removed = *it;
    items_.erase(it);
    removed->Detach();
    state_->MenuChanged();
    state_->CustomizationsChanged();
}

void ControlsObject::Append(ComPtr<ControlObject> control) {
    items_.push_back(std::move(control));
}

long ControlsObject::IndexOf(const ControlObject* control) const {
    auto it = std::find_if(items_.begin(), items_.end(),
                           [&](const ComPtr<ControlObject>& c) { return c.Get() == control; });
    return it == items_.end() ? 0 : static_cast<long>(it - items_.begin() + 1);
}

// --- CommandBar ----------------------------------------------------------------------------

CommandBarObject::CommandBarObject(std::shared_ptr<HostState> state, std::wstring name)
    : IdeDispatch(std::move(state), L"CommandBar", IID_CommandBar, L"Office"),
      name_(std::move(name)), controls_(Adopt(new ControlsObject(state_, this))) {}

CommandBarObject::~CommandBarObject() {
    controls_->DetachBar();
}

HRESULT CommandBarObject::get_Controls(::CommandBarControls** controls) noexcept {
    RETURN_IF_FAILED(Start(controls, L"Controls"));
    return controls_->Hand(controls);
}

HRESULT CommandBarObject::Delete() noexcept {
    return Fail(E_ACCESSDENIED, L"A built-in command bar cannot be deleted.");
}

HRESULT CommandBarObject::get_Name(BSTR* name) noexcept {
    return CopyText(name_, name);
}

namespace {

// Whether `value` is missing or equals `wanted` as a whole number or as a text.
bool Matches(const VARIANT& value, long wanted) {
    const auto number = As(value, VT_I4);
    return IsMissing(value) || (number && number->Ref().lVal == wanted);
}

bool Matches(const VARIANT& value, const std::wstring& wanted) {
    const auto text = As(value, VT_BSTR);
    return IsMissing(value) || (text && wanted == TextOf(text->Ref().bstrVal));
}

bool IsTrue(const VARIANT& value) {
    const auto flag = As(value, VT_BOOL);
    return flag && flag->Ref().boolVal != VARIANT_FALSE;
}

} // namespace

ControlObject* CommandBarObject::Find(const VARIANT& type, const VARIANT& id, const VARIANT& tag,
                                      bool recursive) const {
    for (const auto& control : controls_->Items()) {
        if (Matches(type, control->Type()) && Matches(id, control->Id()) &&
            Matches(tag, control->Tag())) {
            return control.Get();
        }
        if (recursive && control->Popup() != nullptr) {
            if (ControlObject* inner = control->Popup()->Find(type, id, tag, true)) {
                return inner;
            }
        }
    }
    return nullptr;
}

HRESULT CommandBarObject::FindControl(VARIANT type, VARIANT id, VARIANT tag, VARIANT,
                                      VARIANT recursive, ::CommandBarControl** control) noexcept
    try {
    RETURN_IF_FAILED(Start(control, L"FindControl"));
    // None found is Nothing, not a failure.
    ControlObject* found = Find(type, id, tag, IsTrue(recursive));
    return found != nullptr ? found->Hand(control) : S_OK;
}
CATCH_RETURN()

// --- CommandBars ---------------------------------------------------------------------------

namespace {

// The built-in menus of the IDEs' menu bar with their built-in Ids, and the names the bars
// have in each language the stand-in plays. A popup's bar is named as its caption reads
// without the access key.
struct Localized {
    const wchar_t* en;
    const wchar_t* de;
    const wchar_t* es;
    const wchar_t* fr;
};
struct BuiltInMenu {
    long id;
    Localized caption;
};

constexpr const wchar_t* kLocales[] = {L"en", L"de", L"es", L"fr"};
constexpr Localized kMenuBarName = {L"Menu Bar", L"Men\u00FCleiste", L"Barra de men\u00FAs",
                                    L"Barre de menus"};
constexpr Localized kToolbarName = {L"Standard", L"Standard", L"Est\u00E1ndar", L"Standard"};
constexpr BuiltInMenu kBuiltInMenus[] = {
    {30002, {L"&File", L"&Datei", L"&Archivo", L"&Fichier"}},
    {30003, {L"&Edit", L"&Bearbeiten", L"&Edici\u00F3n", L"&Edition"}},
    {30004, {L"&View", L"&Ansicht", L"&Ver", L"&Affichage"}},
    {30007, {L"&Tools", L"E&xtras", L"&Herramientas", L"&Outils"}},
    {names::kAddInsMenuId, {L"&Add-Ins", L"&Add-Ins", L"&Complementos", L"&Compl\u00E9ments"}},
    {30009, {L"&Window", L"&Fenster", L"Ve&ntana", L"Fe&n\u00EAtre"}},
    {30010, {L"&Help", L"&?", L"Ay&uda", L"&?"}},
};

const wchar_t* In(const Localized& text, std::size_t locale) {
    const wchar_t* const all[] = {text.en, text.de, text.es, text.fr};
    return all[locale];
}

std::wstring WithoutAccessKey(std::wstring caption) {
    std::erase(caption, L'&');
    return caption;
}

} // namespace

CommandBarsObject::CommandBarsObject(std::shared_ptr<HostState> state)
    : IdeDispatch(std::move(state), L"CommandBars", IID_CommandBars, L"Office") {}

void CommandBarsObject::AddBuiltInBars() {
    CommandBarObject* menuBar = AddBar(kMenuBarName.en);
    AddBar(kToolbarName.en);
    for (const auto& menu : kBuiltInMenus) {
        CommandBarObject* bar = AddBar(WithoutAccessKey(menu.caption.en));
        menuBar->Controls()->Append(
            Adopt(new ControlObject(state_, menuBar->Controls(), menu.id, menu.caption.en, bar)));
    }
    // The code window's context menu, which add-ins reach by this name.
    AddBar(names::kCodeWindowBarW);
}

void CommandBarsObject::SetCodeWindowMenu(bool present) {
    if (!present) {
        std::erase_if(bars_, [](const ComPtr<CommandBarObject>& b) {
            return b->Name() == names::kCodeWindowBarW;
        });
    } else if (Find(names::kCodeWindowBarW) == nullptr) {
        AddBar(names::kCodeWindowBarW);
    }
}

void CommandBarsObject::SetAddInsMenu(bool present) {
    CommandBarObject* menuBar = MenuBar();
    ControlObject* popup = AddInsMenu();
    if (!present && popup != nullptr) {
        ComPtr<CommandBarObject> bar(popup->Popup());
        menuBar->Controls()->Remove(popup);
        std::erase_if(bars_,
                      [&](const ComPtr<CommandBarObject>& b) { return b.Get() == bar.Get(); });
    } else if (present && popup == nullptr) {
        const auto& menu =
            *std::find_if(std::begin(kBuiltInMenus), std::end(kBuiltInMenus),
                          [](const BuiltInMenu& m) { return m.id == names::kAddInsMenuId; });
        const wchar_t* caption = In(menu.caption, state_->locale);
        CommandBarObject* bar = AddBar(WithoutAccessKey(caption));
        menuBar->Controls()->Append(
            Adopt(new ControlObject(state_, menuBar->Controls(), menu.id, caption, bar)));
    }
}

bool CommandBarsObject::Localize(const std::wstring& locale) {
    auto it = std::find(std::begin(kLocales), std::end(kLocales), locale);
    if (it == std::end(kLocales)) {
        return false;
    }
    const auto index = static_cast<std::size_t>(it - std::begin(kLocales));
    state_->locale = index;
    MenuBar()->Rename(In(kMenuBarName, index));
    if (CommandBarObject* toolbar = bars_.size() > 1 ? bars_[1].Get() : nullptr) {
        toolbar->Rename(In(kToolbarName, index));
    }
    for (const auto& control : MenuBar()->Controls()->Items()) {
        for (const auto& menu : kBuiltInMenus) {
            if (menu.id == control->Id() && control->Popup() != nullptr) {
                control->SetCaption(In(menu.caption, index));
                control->Popup()->Rename(WithoutAccessKey(In(menu.caption, index)));
            }
        }
    }
    return true;
}

CommandBarObject* CommandBarsObject::AddBar(const std::wstring& name) {
    bars_.push_back(Adopt(new CommandBarObject(state_, name)));
    return bars_.back().Get();
}

CommandBarObject* CommandBarsObject::MenuBar() const {
    return bars_.front().Get(); // the first bar made, as in the IDEs
}

ControlObject* CommandBarsObject::AddInsMenu() const {
    const auto missing = win32util::Variant::Missing();
    const win32util::Variant id(static_cast<long>(names::kAddInsMenuId));
    return MenuBar()->Find(missing.Ref(), id.Ref(), missing.Ref(), false);
}

CommandBarObject* CommandBarsObject::AddInsBar() const {
    ControlObject* popup = AddInsMenu();
    return popup != nullptr ? popup->Popup() : nullptr;
}

HRESULT CommandBarsObject::get_ActiveMenuBar(::CommandBar** bar) noexcept {
    RETURN_IF_FAILED(Start(bar, L"ActiveMenuBar"));
    return MenuBar()->Hand(bar);
}

HRESULT CommandBarsObject::FindControl(VARIANT type, VARIANT id, VARIANT tag, VARIANT,
                                       ::CommandBarControl** control) noexcept try {
    RETURN_IF_FAILED(Start(control, L"FindControl"));
    for (const auto& bar : bars_) {
        if (ControlObject* found = bar->Find(type, id, tag, false)) {
            return found->Hand(control);
        }
    }
    return S_OK;
}
CATCH_RETURN()

HRESULT CommandBarsObject::get_Count(int* count) noexcept {
    RETURN_HR_IF_NULL(E_POINTER, count);
    *count = static_cast<int>(bars_.size());
    return S_OK;
}

HRESULT CommandBarsObject::get_Item(VARIANT index, ::CommandBar** bar) noexcept try {
    RETURN_IF_FAILED(Start(bar, L"Item"));
    CommandBarObject* found =
        FindItem(bars_, index, [](const CommandBarObject& b) { return b.Name(); });
    if (found == nullptr) {
        return Fail(kInvalidCall, kInvalidCallText);
    }
    return found->Hand(bar);
}
CATCH_RETURN()

CommandBarObject* CommandBarsObject::Find(const std::wstring& name) const {
    for (const auto& bar : bars_) {
        if (bar->Name() == name) {
            return bar.Get();
        }
    }
    return nullptr;
}

} // namespace qvn::standin
