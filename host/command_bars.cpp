#include "host/command_bars.h"

#include "win32util/com_object.h"

#include "ide/host_ids.h"
#include "ide/names.h"

#include "host/connection_point.h"
#include "host/event_source.h"

#include <olectl.h>
#include <optional>

#include <algorithm>

namespace qvn::host {

using Microsoft::WRL::ComPtr;

// {6F3E0B52-2C4A-4F7E-9A61-3B0D2E7C5A10}
const IID IID_HostControl = {
    0x6F3E0B52, 0x2C4A, 0x4F7E, {0x9A, 0x61, 0x3B, 0x0D, 0x2E, 0x7C, 0x5A, 0x10}};

namespace {

constexpr DISPID kControlCaption = 0x60040003;
constexpr DISPID kControlDelete = 0x60040007;
constexpr DISPID kControlId = 0x60040013;
constexpr DISPID kControlIndex = 0x60040014;
constexpr DISPID kControlParent = 0x6004001c;
constexpr DISPID kControlType = 0x60040028;
constexpr DISPID kControlTag = 0x60040023;
constexpr DISPID kPopupCommandBar = 0x60050000;
constexpr DISPID kPopupControls = 0x60050001;
constexpr DISPID kControlsAdd = 0x60030000;
constexpr DISPID kControlsCount = 0x60030001;
constexpr DISPID kItem = 0;
constexpr DISPID kControlsParent = 0x60030004;
constexpr DISPID kBarControls = 0x60040003;
constexpr DISPID kBarDelete = 0x60040004;
constexpr DISPID kBarFindControl = 0x60040007;
constexpr DISPID kBarName = 0x6004000e;
constexpr DISPID kBarsActiveMenuBar = 0x60030001;
constexpr DISPID kBarsCount = 0x60030003;
constexpr DISPID kBarsFindControl = 0x60030008;

const DispMember kControlMembers[] = {{L"Caption", kControlCaption}, {L"Delete", kControlDelete},
                                      {L"Id", kControlId},           {L"Index", kControlIndex},
                                      {L"Parent", kControlParent},   {L"Tag", kControlTag},
                                      {L"Type", kControlType}};
// A popup adds the bar it opens and that bar's controls.
const DispMember kPopupMembers[] = {
    {L"Caption", kControlCaption}, {L"Delete", kControlDelete},
    {L"Id", kControlId},           {L"Index", kControlIndex},
    {L"Parent", kControlParent},   {L"Tag", kControlTag},
    {L"Type", kControlType},       {L"CommandBar", kPopupCommandBar},
    {L"Controls", kPopupControls}};
const DispMember kControlsMembers[] = {{L"Add", kControlsAdd},
                                       {L"Count", kControlsCount},
                                       {L"Item", kItem},
                                       {L"Parent", kControlsParent}};
const DispMember kBarMembers[] = {{L"Controls", kBarControls},
                                  {L"Delete", kBarDelete},
                                  {L"FindControl", kBarFindControl},
                                  {L"Name", kBarName}};
const DispMember kBarsMembers[] = {{L"ActiveMenuBar", kBarsActiveMenuBar},
                                   {L"Count", kBarsCount},
                                   {L"FindControl", kBarsFindControl},
                                   {L"Item", kItem}};

VARIANT Missing() {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_ERROR;
    v.scode = DISP_E_PARAMNOTFOUND;
    return v;
}

// An argument of the caller as a VARIANT by value (a missing one stays missing).
VARIANT ArgOrMissing(const Args& args, UINT index) {
    VARIANT* v = args.At(index);
    return v != nullptr ? *v : Missing();
}

bool IsMissing(const VARIANT& v) {
    return v.vt == VT_ERROR && v.scode == DISP_E_PARAMNOTFOUND;
}

// Resolves an Item index: a 1-based number or a name compared without regard to case.
template <class Item, class NameOf>
Item* FindItem(const std::vector<ComPtr<Item>>& items, const VARIANT& index, NameOf nameOf) {
    VARIANT plain;
    VariantInit(&plain);
    if (FAILED(VariantCopyInd(&plain, const_cast<VARIANT*>(&index)))) {
        return nullptr;
    }
    Item* found = nullptr;
    if (plain.vt == VT_BSTR) {
        for (const auto& item : items) {
            if (plain.bstrVal != nullptr &&
                lstrcmpiW(nameOf(*item.Get()).c_str(), plain.bstrVal) == 0) {
                found = item.Get();
                break;
            }
        }
    } else {
        VARIANT number;
        VariantInit(&number);
        if (SUCCEEDED(VariantChangeType(&number, &plain, 0, VT_I4)) && number.lVal >= 1 &&
            static_cast<std::size_t>(number.lVal) <= items.size()) {
            found = items[number.lVal - 1].Get();
        }
    }
    VariantClear(&plain);
    return found;
}

template <class Iface, class Obj> HRESULT Hand(Obj* object, Iface** out) {
    *out = object;
    object->AddRef();
    return S_OK;
}

} // namespace

// --- CommandBarControl ---------------------------------------------------------------------

ControlObject::ControlObject(std::shared_ptr<HostState> state, ControlsObject* owner, long type,
                             bool temporary)
    : DispatchObject(std::move(state), L"CommandBarControl"), owner_(owner), type_(type),
      temporary_(temporary) {
    ServeAs(IID_CommandBarControl);
    state_->controls.push_back(this);
    if (state_->IsVba()) {
        auto* point = new ConnectionPoint(state_, static_cast<IConnectionPointContainer*>(this),
                                          ide::kDiidCommandBarButtonEvents);
        clickPointImpl_ = point;
        clickPoint_ = win32util::Adopt<IConnectionPoint>(point);
    }
}

ControlObject::ControlObject(std::shared_ptr<HostState> state, ControlsObject* owner, long id,
                             std::wstring caption, CommandBarObject* bar)
    : DispatchObject(std::move(state), L"CommandBarPopup"), owner_(owner), type_(kControlPopup),
      id_(id), popup_(bar), caption_(std::move(caption)) {
    state_->controls.push_back(this);
}

ControlObject::~ControlObject() {
    if (clickPointImpl_ != nullptr) {
        clickPointImpl_->DetachSource();
    }
    auto& controls = state_->controls;
    controls.erase(std::remove(controls.begin(), controls.end(), this), controls.end());
}

void* ControlObject::OtherInterface(REFIID riid) {
    if (riid == IID_HostControl) {
        return static_cast<::CommandBarControl*>(this);
    }
    if (riid == IID_CommandBarControl) {
        return static_cast<::CommandBarControl*>(this); // a popup is a control too
    }
    if (riid == IID_IConnectionPointContainer && clickPoint_) {
        return static_cast<IConnectionPointContainer*>(this);
    }
    return nullptr;
}

HRESULT ControlObject::EnumConnectionPoints(IEnumConnectionPoints** points) {
    if (!clickPoint_) {
        return E_NOTIMPL;
    }
    return EnumerateOnePoint(state_, clickPoint_.Get(), points);
}

HRESULT ControlObject::FindConnectionPoint(REFIID riid, IConnectionPoint** point) {
    if (point == nullptr) {
        return E_POINTER;
    }
    *point = nullptr;
    if (!clickPoint_ || riid != clickPointImpl_->Iid()) {
        return CONNECT_E_NOCONNECTION;
    }
    *point = clickPoint_.Get();
    (*point)->AddRef();
    return S_OK;
}

HRESULT ControlObject::get_Id(int* id) {
    if (id == nullptr) {
        return E_POINTER;
    }
    *id = static_cast<int>(id_);
    return CheckAlive();
}

HRESULT ControlObject::get_CommandBar(::CommandBar** bar) {
    if (bar == nullptr) {
        return E_POINTER;
    }
    *bar = nullptr;
    if (!popup_) {
        return DISP_E_MEMBERNOTFOUND;
    }
    return Hand<::CommandBar>(popup_.Get(), bar);
}

HRESULT ControlObject::get_Controls(::CommandBarControls** controls) {
    if (controls == nullptr) {
        return E_POINTER;
    }
    *controls = nullptr;
    if (!popup_) {
        return DISP_E_MEMBERNOTFOUND;
    }
    return popup_->get_Controls(controls);
}

HRESULT ControlObject::get_Tag(BSTR* tag) {
    if (tag == nullptr) {
        return E_POINTER;
    }
    *tag = nullptr;
    HRESULT hr = state_->Check(L"Tag", Source());
    if (SUCCEEDED(hr)) {
        hr = CheckAlive();
    }
    if (FAILED(hr)) {
        return hr;
    }
    *tag = SysAllocString(tag_.c_str());
    return *tag != nullptr ? S_OK : E_OUTOFMEMORY;
}

HRESULT ControlObject::put_Tag(BSTR tag) {
    HRESULT hr = state_->Check(L"Tag", Source());
    if (SUCCEEDED(hr)) {
        hr = CheckAlive();
    }
    if (FAILED(hr)) {
        return hr;
    }
    tag_ = tag != nullptr ? std::wstring(tag, SysStringLen(tag)) : std::wstring();
    state_->CustomizationsChanged();
    return S_OK;
}

HRESULT ControlObject::CheckAlive() {
    if (Deleted()) {
        return Fail(E_FAIL, L"The control has been deleted.");
    }
    return S_OK;
}

HRESULT ControlObject::get_Caption(BSTR* caption) {
    if (caption == nullptr) {
        return E_POINTER;
    }
    *caption = nullptr;
    HRESULT hr = state_->Check(L"Caption", Source());
    if (SUCCEEDED(hr)) {
        hr = CheckAlive();
    }
    if (FAILED(hr)) {
        return hr;
    }
    *caption = SysAllocString(caption_.c_str());
    return *caption != nullptr ? S_OK : E_OUTOFMEMORY;
}

HRESULT ControlObject::put_Caption(BSTR caption) {
    HRESULT hr = state_->Check(L"Caption", Source());
    if (SUCCEEDED(hr)) {
        hr = CheckAlive();
    }
    if (FAILED(hr)) {
        return hr;
    }
    caption_ = caption != nullptr ? std::wstring(caption, SysStringLen(caption)) : std::wstring();
    if (state_->menuChanged) {
        state_->menuChanged();
    }
    state_->CustomizationsChanged();
    return S_OK;
}

HRESULT ControlObject::Delete(VARIANT) {
    HRESULT hr = state_->Check(L"Delete", Source());
    if (SUCCEEDED(hr)) {
        hr = CheckAlive();
    }
    if (FAILED(hr)) {
        return hr;
    }
    ComPtr<ControlObject> keep(this);
    owner_->Remove(this);
    return S_OK;
}

HRESULT ControlObject::get_Index(int* index) {
    if (index == nullptr) {
        return E_POINTER;
    }
    *index = 0;
    HRESULT hr = CheckAlive();
    if (FAILED(hr)) {
        return hr;
    }
    *index = static_cast<int>(owner_->IndexOf(this));
    return S_OK;
}

HRESULT ControlObject::get_Parent(::CommandBar** parent) {
    if (parent == nullptr) {
        return E_POINTER;
    }
    *parent = nullptr;
    HRESULT hr = CheckAlive();
    if (FAILED(hr)) {
        return hr;
    }
    if (owner_->Bar() == nullptr) {
        return Fail(E_FAIL, L"The command bar no longer exists.");
    }
    return Hand<::CommandBar>(owner_->Bar(), parent);
}

HRESULT ControlObject::get_Type(int* type) {
    if (type == nullptr) {
        return E_POINTER;
    }
    *type = static_cast<int>(type_);
    return S_OK;
}

void ControlObject::RemoveSource(EventSource* source) {
    sources_.erase(std::remove(sources_.begin(), sources_.end(), source), sources_.end());
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
        for (const auto& sink : target->clickPointImpl_->Sinks()) {
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
    std::vector<ComPtr<EventSource>> sources;
    for (auto* source : sources_) {
        sources.emplace_back(source);
    }
    for (const auto& source : sources) {
        called += source->RaiseClick();
    }
    return called;
}

std::span<const DispMember> ControlObject::Members() const {
    if (popup_) {
        return kPopupMembers;
    }
    return kControlMembers;
}

namespace {

// A text property read or written late-bound; nothing when the flags ask for neither.
template <class Put, class Get>
std::optional<HRESULT> TextProperty(WORD flags, const Args& args, VARIANT* result, Put put,
                                    Get get) {
    if (IsPut(flags)) {
        VARIANT* value = args.PutValue();
        VARIANT text;
        VariantInit(&text);
        if (value == nullptr || FAILED(VariantChangeType(&text, value, 0, VT_BSTR))) {
            return DISP_E_TYPEMISMATCH;
        }
        HRESULT hr = put(text.bstrVal);
        VariantClear(&text);
        return hr;
    }
    if (IsGet(flags)) {
        BSTR text = nullptr;
        HRESULT hr = get(&text);
        if (SUCCEEDED(hr)) {
            SetResult(result, text);
        }
        return hr;
    }
    return std::nullopt;
}

} // namespace

HRESULT ControlObject::Dispatch(DISPID id, WORD flags, const Args& args, VARIANT* result,
                                UINT* argErr) {
    switch (id) {
    case kControlCaption:
        if (auto hr = TextProperty(
                flags, args, result, [this](BSTR text) { return put_Caption(text); },
                [this](BSTR* text) { return get_Caption(text); })) {
            return *hr;
        }
        break;
    case kControlDelete:
        if (flags & DISPATCH_METHOD) {
            return Delete(ArgOrMissing(args, 0));
        }
        break;
    case kControlId:
    case kControlIndex:
    case kControlType:
        if (IsGet(flags)) {
            int value = 0;
            HRESULT hr = id == kControlId      ? get_Id(&value)
                         : id == kControlIndex ? get_Index(&value)
                                               : get_Type(&value);
            if (SUCCEEDED(hr)) {
                SetResult(result, static_cast<long>(value));
            }
            return hr;
        }
        break;
    case kControlParent:
        if (IsGet(flags)) {
            ::CommandBar* bar = nullptr;
            HRESULT hr = get_Parent(&bar);
            if (SUCCEEDED(hr)) {
                SetResult(result, static_cast<IDispatch*>(bar));
            }
            return hr;
        }
        break;
    case kPopupCommandBar:
    case kPopupControls:
        if (popup_ && IsGet(flags)) {
            IDispatch* object = nullptr;
            HRESULT hr = id == kPopupCommandBar
                             ? get_CommandBar(reinterpret_cast<::CommandBar**>(&object))
                             : get_Controls(reinterpret_cast<::CommandBarControls**>(&object));
            if (SUCCEEDED(hr)) {
                SetResult(result, object);
            }
            return hr;
        }
        break;
    case kControlTag:
        if (auto hr = TextProperty(
                flags, args, result, [this](BSTR text) { return put_Tag(text); },
                [this](BSTR* text) { return get_Tag(text); })) {
            return *hr;
        }
        break;
    default:
        break;
    }
    (void)argErr;
    return DISP_E_MEMBERNOTFOUND;
}

// --- CommandBarControls --------------------------------------------------------------------

ControlsObject::ControlsObject(std::shared_ptr<HostState> state, CommandBarObject* bar)
    : DispatchObject(std::move(state), L"CommandBarControls"), bar_(bar) {}

ControlsObject::~ControlsObject() {
    for (auto& item : items_) {
        item->Detach();
    }
}

HRESULT ControlsObject::Add(VARIANT type, VARIANT, VARIANT, VARIANT before, VARIANT temporary,
                            ::CommandBarControl** control) {
    if (control == nullptr) {
        return E_POINTER;
    }
    *control = nullptr;
    HRESULT hr = state_->Check(L"Add", Source());
    if (FAILED(hr)) {
        return hr;
    }
    long kind = kControlButton;
    if (!IsMissing(type)) {
        VARIANT number;
        VariantInit(&number);
        if (FAILED(VariantChangeType(&number, &type, 0, VT_I4))) {
            return Fail(kInvalidCall, kInvalidCallText);
        }
        kind = number.lVal;
    }
    if (kind != kControlButton) {
        return Fail(kInvalidCall, L"Only plain command items (type 1) can be added here.");
    }
    bool isTemporary = false;
    if (!IsMissing(temporary)) {
        VARIANT flag;
        VariantInit(&flag);
        if (FAILED(VariantChangeType(&flag, &temporary, 0, VT_BOOL))) {
            return Fail(kInvalidCall, kInvalidCallText);
        }
        isTemporary = flag.boolVal != VARIANT_FALSE;
    }
    std::size_t position = items_.size();
    if (!IsMissing(before)) {
        VARIANT number;
        VariantInit(&number);
        if (FAILED(VariantChangeType(&number, &before, 0, VT_I4)) || number.lVal < 1 ||
            static_cast<std::size_t>(number.lVal) > items_.size() + 1) {
            return Fail(kInvalidCall, kInvalidCallText);
        }
        position = static_cast<std::size_t>(number.lVal - 1);
    }
    ComPtr<ControlObject> item;
    item = win32util::Adopt(new ControlObject(state_, this, kind, isTemporary));
    items_.insert(items_.begin() + static_cast<std::ptrdiff_t>(position), item);
    if (state_->menuChanged) {
        state_->menuChanged();
    }
    state_->CustomizationsChanged();
    *control = item.Detach();
    return S_OK;
}

HRESULT ControlsObject::get_Count(int* count) {
    if (count == nullptr) {
        return E_POINTER;
    }
    *count = 0;
    HRESULT hr = state_->Check(L"Count", Source());
    if (FAILED(hr)) {
        return hr;
    }
    *count = static_cast<int>(items_.size());
    return S_OK;
}

HRESULT ControlsObject::get_Item(VARIANT index, ::CommandBarControl** control) {
    if (control == nullptr) {
        return E_POINTER;
    }
    *control = nullptr;
    ControlObject* found =
        FindItem(items_, index, [](const ControlObject& c) { return c.Caption(); });
    if (found == nullptr) {
        return Fail(kInvalidCall, kInvalidCallText);
    }
    return Hand<::CommandBarControl>(found, control);
}

HRESULT ControlsObject::get_Parent(::CommandBar** parent) {
    if (parent == nullptr) {
        return E_POINTER;
    }
    *parent = nullptr;
    if (bar_ == nullptr) {
        return Fail(E_FAIL, L"The command bar no longer exists.");
    }
    return Hand<::CommandBar>(bar_, parent);
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
    if (state_->menuChanged) {
        state_->menuChanged();
    }
    state_->CustomizationsChanged();
}

void ControlsObject::Append(ComPtr<ControlObject> control) {
    items_.push_back(std::move(control));
}

long ControlsObject::IndexOf(const ControlObject* control) const {
    for (std::size_t i = 0; i < items_.size(); ++i) {
        if (items_[i].Get() == control) {
            return static_cast<long>(i + 1);
        }
    }
    return 0;
}

std::span<const DispMember> ControlsObject::Members() const {
    return kControlsMembers;
}

HRESULT ControlsObject::Dispatch(DISPID id, WORD flags, const Args& args, VARIANT* result,
                                 UINT* argErr) {
    HRESULT hr = DISP_E_MEMBERNOTFOUND;
    switch (id) {
    case kControlsAdd:
        if (flags & DISPATCH_METHOD) {
            ::CommandBarControl* control = nullptr;
            hr = Add(ArgOrMissing(args, 0), ArgOrMissing(args, 1), ArgOrMissing(args, 2),
                     ArgOrMissing(args, 3), ArgOrMissing(args, 4), &control);
            if (SUCCEEDED(hr)) {
                SetResult(result, static_cast<IDispatch*>(control));
            }
        }
        break;
    case kControlsCount:
        if (IsGet(flags)) {
            int count = 0;
            hr = get_Count(&count);
            SetResult(result, static_cast<long>(count));
        }
        break;
    case kItem:
        if (IsGet(flags)) {
            if (!args.Has(0)) {
                *argErr = 0;
                return DISP_E_PARAMNOTOPTIONAL;
            }
            ::CommandBarControl* control = nullptr;
            hr = get_Item(*args.At(0), &control);
            if (SUCCEEDED(hr)) {
                SetResult(result, static_cast<IDispatch*>(control));
            }
        }
        break;
    case kControlsParent:
        if (IsGet(flags)) {
            ::CommandBar* bar = nullptr;
            hr = get_Parent(&bar);
            if (SUCCEEDED(hr)) {
                SetResult(result, static_cast<IDispatch*>(bar));
            }
        }
        break;
    default:
        break;
    }
    return hr;
}

// --- CommandBar ----------------------------------------------------------------------------

CommandBarObject::CommandBarObject(std::shared_ptr<HostState> state, std::wstring name)
    : DispatchObject(std::move(state), L"CommandBar"), name_(std::move(name)) {
    controls_ = win32util::Adopt(new ControlsObject(state_, this));
}

CommandBarObject::~CommandBarObject() {
    controls_->DetachBar();
}

HRESULT CommandBarObject::get_Controls(::CommandBarControls** controls) {
    if (controls == nullptr) {
        return E_POINTER;
    }
    *controls = nullptr;
    HRESULT hr = state_->Check(L"Controls", Source());
    if (FAILED(hr)) {
        return hr;
    }
    return Hand<::CommandBarControls>(controls_.Get(), controls);
}

HRESULT CommandBarObject::Delete() {
    return Fail(E_ACCESSDENIED, L"A built-in command bar cannot be deleted.");
}

HRESULT CommandBarObject::get_Name(BSTR* name) {
    if (name == nullptr) {
        return E_POINTER;
    }
    *name = SysAllocString(name_.c_str());
    return *name != nullptr ? S_OK : E_OUTOFMEMORY;
}

namespace {

// Whether `value` is missing or equals `wanted` as a whole number or as a text.
bool Matches(const VARIANT& value, long wanted) {
    if (IsMissing(value)) {
        return true;
    }
    VARIANT number;
    VariantInit(&number);
    return SUCCEEDED(VariantChangeType(&number, const_cast<VARIANT*>(&value), 0, VT_I4)) &&
           number.lVal == wanted;
}

bool Matches(const VARIANT& value, const std::wstring& wanted) {
    if (IsMissing(value)) {
        return true;
    }
    VARIANT text;
    VariantInit(&text);
    if (FAILED(VariantChangeType(&text, const_cast<VARIANT*>(&value), 0, VT_BSTR))) {
        return false;
    }
    bool same = wanted == std::wstring(text.bstrVal, SysStringLen(text.bstrVal));
    VariantClear(&text);
    return same;
}

bool IsTrue(const VARIANT& value) {
    VARIANT flag;
    VariantInit(&flag);
    return !IsMissing(value) &&
           SUCCEEDED(VariantChangeType(&flag, const_cast<VARIANT*>(&value), 0, VT_BOOL)) &&
           flag.boolVal != VARIANT_FALSE;
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
                                      VARIANT recursive, ::CommandBarControl** control) {
    if (control == nullptr) {
        return E_POINTER;
    }
    *control = nullptr;
    HRESULT hr = state_->Check(L"FindControl", Source());
    if (FAILED(hr)) {
        return hr;
    }
    // None found is Nothing, not a failure.
    if (ControlObject* found = Find(type, id, tag, IsTrue(recursive))) {
        return Hand<::CommandBarControl>(found, control);
    }
    return S_OK;
}

std::span<const DispMember> CommandBarObject::Members() const {
    return kBarMembers;
}

HRESULT CommandBarObject::Dispatch(DISPID id, WORD flags, const Args& args, VARIANT* result,
                                   UINT*) {
    HRESULT hr = DISP_E_MEMBERNOTFOUND;
    if (id == kBarFindControl && (flags & DISPATCH_METHOD)) {
        ::CommandBarControl* control = nullptr;
        hr = FindControl(ArgOrMissing(args, 0), ArgOrMissing(args, 1), ArgOrMissing(args, 2),
                         ArgOrMissing(args, 3), ArgOrMissing(args, 4), &control);
        if (SUCCEEDED(hr)) {
            SetResult(result, static_cast<IDispatch*>(control));
        }
    } else if (id == kBarControls && IsGet(flags)) {
        ::CommandBarControls* controls = nullptr;
        hr = get_Controls(&controls);
        if (SUCCEEDED(hr)) {
            SetResult(result, static_cast<IDispatch*>(controls));
        }
    } else if (id == kBarName && IsGet(flags)) {
        BSTR name = nullptr;
        hr = get_Name(&name);
        if (SUCCEEDED(hr)) {
            SetResult(result, name);
        }
    } else if (id == kBarDelete && (flags & DISPATCH_METHOD)) {
        hr = Delete();
    }
    return hr;
}

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
    : DispatchObject(std::move(state), L"CommandBars") {}

void CommandBarsObject::AddBuiltInBars() {
    CommandBarObject* menuBar = AddBar(kMenuBarName.en);
    AddBar(kToolbarName.en);
    for (const auto& menu : kBuiltInMenus) {
        CommandBarObject* bar = AddBar(WithoutAccessKey(menu.caption.en));
        menuBar->Controls()->Append(win32util::Adopt(
            new ControlObject(state_, menuBar->Controls(), menu.id, menu.caption.en, bar)));
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
    VARIANT missing = Missing();
    VARIANT id;
    id.vt = VT_I4;
    id.lVal = names::kAddInsMenuId;
    ControlObject* popup = menuBar->Find(missing, id, missing, false);
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
        menuBar->Controls()->Append(win32util::Adopt(
            new ControlObject(state_, menuBar->Controls(), menu.id, caption, bar)));
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
    bars_.push_back(win32util::Adopt(new CommandBarObject(state_, name)));
    return bars_.back().Get();
}

CommandBarObject* CommandBarsObject::MenuBar() const {
    return bars_.front().Get(); // the first bar made, as in the IDEs
}

CommandBarObject* CommandBarsObject::AddInsBar() const {
    VARIANT missing = Missing();
    VARIANT id;
    id.vt = VT_I4;
    id.lVal = names::kAddInsMenuId;
    ControlObject* popup = MenuBar()->Find(missing, id, missing, false);
    return popup != nullptr ? popup->Popup() : nullptr;
}

HRESULT CommandBarsObject::get_ActiveMenuBar(::CommandBar** bar) {
    if (bar == nullptr) {
        return E_POINTER;
    }
    *bar = nullptr;
    HRESULT hr = state_->Check(L"ActiveMenuBar", Source());
    if (FAILED(hr)) {
        return hr;
    }
    return Hand<::CommandBar>(MenuBar(), bar);
}

HRESULT CommandBarsObject::FindControl(VARIANT type, VARIANT id, VARIANT tag, VARIANT,
                                       ::CommandBarControl** control) {
    if (control == nullptr) {
        return E_POINTER;
    }
    *control = nullptr;
    HRESULT hr = state_->Check(L"FindControl", Source());
    if (FAILED(hr)) {
        return hr;
    }
    for (const auto& bar : bars_) {
        if (ControlObject* found = bar->Find(type, id, tag, false)) {
            return Hand<::CommandBarControl>(found, control);
        }
    }
    return S_OK;
}

HRESULT CommandBarsObject::get_Count(int* count) {
    if (count == nullptr) {
        return E_POINTER;
    }
    *count = static_cast<int>(bars_.size());
    return S_OK;
}

HRESULT CommandBarsObject::get_Item(VARIANT index, ::CommandBar** bar) {
    if (bar == nullptr) {
        return E_POINTER;
    }
    *bar = nullptr;
    HRESULT hr = state_->Check(L"Item", Source());
    if (FAILED(hr)) {
        return hr;
    }
    CommandBarObject* found =
        FindItem(bars_, index, [](const CommandBarObject& b) { return b.Name(); });
    if (found == nullptr) {
        return Fail(kInvalidCall, kInvalidCallText);
    }
    return Hand<::CommandBar>(found, bar);
}

CommandBarObject* CommandBarsObject::Find(const std::wstring& name) const {
    for (const auto& bar : bars_) {
        if (bar->Name() == name) {
            return bar.Get();
        }
    }
    return nullptr;
}

std::span<const DispMember> CommandBarsObject::Members() const {
    return kBarsMembers;
}

HRESULT CommandBarsObject::Dispatch(DISPID id, WORD flags, const Args& args, VARIANT* result,
                                    UINT* argErr) {
    HRESULT hr = DISP_E_MEMBERNOTFOUND;
    if (id == kBarsCount && IsGet(flags)) {
        int count = 0;
        hr = get_Count(&count);
        SetResult(result, static_cast<long>(count));
    } else if (id == kBarsActiveMenuBar && IsGet(flags)) {
        ::CommandBar* bar = nullptr;
        hr = get_ActiveMenuBar(&bar);
        if (SUCCEEDED(hr)) {
            SetResult(result, static_cast<IDispatch*>(bar));
        }
    } else if (id == kBarsFindControl && (flags & DISPATCH_METHOD)) {
        ::CommandBarControl* control = nullptr;
        hr = FindControl(ArgOrMissing(args, 0), ArgOrMissing(args, 1), ArgOrMissing(args, 2),
                         ArgOrMissing(args, 3), &control);
        if (SUCCEEDED(hr)) {
            SetResult(result, static_cast<IDispatch*>(control));
        }
    } else if (id == kItem && IsGet(flags)) {
        if (!args.Has(0)) {
            *argErr = 0;
            return DISP_E_PARAMNOTOPTIONAL;
        }
        ::CommandBar* bar = nullptr;
        hr = get_Item(*args.At(0), &bar);
        if (SUCCEEDED(hr)) {
            SetResult(result, static_cast<IDispatch*>(bar));
        }
    }
    return hr;
}

} // namespace qvn::host
