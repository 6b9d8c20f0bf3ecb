// Base of the stand-in IDE's COM objects. Each is one of win32util's COM objects, not counted
// among the module's live objects (the tests count only the add-in's), and is listed in the
// host's registry of live objects with its reference count. The dispatch objects serve their
// members from the description the flavour's library gives their interface, through the
// vtable they implement, and answer QueryInterface for that library's interface id only.
#pragma once

#include "win32util/com_object.h"
#include "win32util/result_macros.h"
#include "win32util/type_info_dispatch.h"

#include "standin/host_state.h"

#include <oaidl.h>
#include <ocidl.h>

#include <memory>
#include <string>

namespace qvn::standin {

// The type description of one of the IDE's interfaces, from the registered library or the
// library files beside the program (VB5EXT.OLB and MSO97.DLL for the VB5 IDE, VB6EXT.OLB for
// the VB6 IDE, VBE6EXT.OLB and MSO.DLL for the VBA editor); nullptr when neither is found.
ITypeInfo* IdeTypeInfo(REFIID iid, HostFlavour flavour = HostFlavour::Vb5);
// Loads the flavour's libraries now, as an IDE has its own loaded while it runs: what the
// stand-in serves no longer depends on the files staying where they are.
void LoadIdeLibraries(HostFlavour flavour);
// An extra folder to look for the library files in (tests point it at the build tree).
void SetIdeTypeLibraryFolder(const std::wstring& folder);

// The host's record of one live object.
class IdeObject {
public:
    IdeObject(const IdeObject&) = delete;
    IdeObject& operator=(const IdeObject&) = delete;
    [[nodiscard]] virtual ULONG Refs() const = 0;
    [[nodiscard]] const wchar_t* TypeName() const { return typeName_; }

protected:
    IdeObject(std::shared_ptr<HostState> state, const wchar_t* typeName);
    virtual ~IdeObject();

    std::shared_ptr<HostState> state_;

private:
    const wchar_t* typeName_;
};

// An object that answers only the interfaces it lists (event sources, connection points).
template <class... Interfaces>
class IdeUnknown : public win32util::ComObject<Interfaces...>, public IdeObject {
public:
    [[nodiscard]] ULONG Refs() const override { return this->ReferenceCount(); }

protected:
    IdeUnknown(std::shared_ptr<HostState> state, const wchar_t* typeName)
        : win32util::ComObject<Interfaces...>(win32util::NotCountedInModule{}),
          IdeObject(std::move(state), typeName) {}
};

// The description a dispatch object serves: its interface's in the flavour's library, or for
// calls one of the stand-in's own of the same vtable (`calls`). Its failures arrive with their
// description already recorded as the thread's error info, which is left in place for callers
// that read it instead of the EXCEPINFO.
struct IdeDescription {
    const IID* iid = nullptr;
    HostFlavour flavour = HostFlavour::Vb5;
    const IID* calls = nullptr;

    HRESULT CallInfo(ITypeInfo** info) const;
    HRESULT PublicInfo(ITypeInfo** info) const;
    static void CompleteException(EXCEPINFO* exception) noexcept;
};

// Error text of the IDE for a bad argument or a missing item.
inline constexpr HRESULT kInvalidCall = static_cast<HRESULT>(0x800A0005);
inline constexpr const wchar_t* kInvalidCallText = L"Invalid procedure call or argument";

template <class I, class... More>
class IdeDispatch : public win32util::ComObject<win32util::TypeInfoDispatch<I, IdeDescription>,
                                                ISupportErrorInfo, More...>,
                    public IdeObject {
    using Base = win32util::ComObject<win32util::TypeInfoDispatch<I, IdeDescription>,
                                      ISupportErrorInfo, More...>;

public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) noexcept override {
        if (object != nullptr && riid == __uuidof(I) && riid != ServedIid()) {
            *object = nullptr; // the other flavour's id for the same vtable
            return E_NOINTERFACE;
        }
        return Base::QueryInterface(riid, object);
    }
    HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID riid) noexcept override {
        return riid == ServedIid() || riid == IID_IDispatch ? S_OK : S_FALSE;
    }
    [[nodiscard]] ULONG Refs() const override { return this->ReferenceCount(); }

    // The interface pointer to hand a caller of type `Out`, with its reference.
    template <class Out> HRESULT Hand(Out** out) noexcept {
        RETURN_HR_IF_NULL(E_POINTER, out);
        *out = static_cast<Out*>(static_cast<I*>(this));
        this->AddRef();
        return S_OK;
    }

protected:
    // `served` is the interface id of the flavour's library for this vtable; `source` names
    // the library in the objects' error info.
    IdeDispatch(std::shared_ptr<HostState> state, const wchar_t* typeName,
                const IID& served = __uuidof(I), const wchar_t* source = L"VBIDE")
        : Base(win32util::NotCountedInModule{}), IdeObject(std::move(state), typeName),
          source_(source) {
        this->description_ = IdeDescription{&served, state_->flavour};
    }

    [[nodiscard]] const IID& ServedIid() const { return *this->description_.iid; }
    void CallThrough(const IID& calls) { this->description_.calls = &calls; }
    void* OtherInterface(REFIID riid) noexcept override {
        return riid == ServedIid() ? static_cast<I*>(this) : nullptr;
    }
    // Fails with a description, as the IDE's objects do.
    HRESULT Fail(HRESULT hr, const std::wstring& description) const {
        return ReportError(hr, description, source_, ServedIid());
    }
    // The failure injected for `operation`, if any.
    HRESULT Check(const wchar_t* operation) const { return state_->Check(operation, source_); }
    // How a member with a result begins: the result cleared, then the failure injected for
    // `operation` (when one is named).
    template <class T> HRESULT Start(T* out, const wchar_t* operation = nullptr) const {
        RETURN_HR_IF_NULL(E_POINTER, out);
        *out = T{};
        return operation != nullptr ? Check(operation) : S_OK;
    }

private:
    const wchar_t* source_;
};

// Sets `*out` to a new BSTR of `text`.
HRESULT CopyText(const std::wstring& text, BSTR* out) noexcept;
// The text of a BSTR argument (a null BSTR is empty).
std::wstring TextOf(BSTR text);

} // namespace qvn::standin
