// The IUnknown every COM object of ours shares: a reference count that guards against a
// second destruction, QueryInterface over the interfaces the class lists, and the count of
// live objects that a DLL's DllCanUnloadNow reads. Also the adoption of a new object's first
// reference: mingw-w64's ComPtr::Attach adds a reference of its own (the Windows SDK's does
// not), so `ComPtr<T> p; p.Attach(new T)` would leak the object.
#pragma once

#include <oaidl.h>
#include <unknwn.h>
#include <wrl/client.h>

#include <atomic>
#include <tuple>
#include <type_traits>

namespace qvn::win32util {

template <class T> Microsoft::WRL::ComPtr<T> Adopt(T* created) noexcept {
    Microsoft::WRL::ComPtr<T> owner;
    *owner.ReleaseAndGetAddressOf() = created;
    return owner;
}

// Live objects and server locks of this module.
void AddObjectReference() noexcept;
void ReleaseObjectReference() noexcept;
[[nodiscard]] long ObjectReferences() noexcept;

// A base that serves an interface through an implementation class names the interface as
// `Interface`; a plain interface names itself.
template <class Base> struct InterfaceOf { using type = Base; };
template <class Base>
requires requires {
    typename Base::Interface;
}
struct InterfaceOf<Base> {
    using type = typename Base::Interface;
};

// Made with this, an object is not one of the module's live objects: a program's own objects
// beside a DLL's, which only the DLL's must keep it loaded.
struct NotCountedInModule {};

// `Bases` are the interfaces (or their implementations) in the order of the object's
// vtables; the first one also answers IUnknown, and IDispatch when it is a dispatch
// interface. A class answers further identifiers (outgoing interfaces it is advised as,
// say) by overriding OtherInterface.
template <class... Bases> class ComObject : public Bases... {
public:
    ComObject() noexcept { AddObjectReference(); }
    explicit ComObject(NotCountedInModule) noexcept : counted_(false) {}
    ComObject(const ComObject&) = delete;
    ComObject& operator=(const ComObject&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) noexcept override {
        if (object == nullptr) {
            return E_POINTER;
        }
        *object = Find(riid);
        if (*object == nullptr) {
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() noexcept override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() noexcept override {
        const ULONG left = --refs_;
        if (left == 0 && !destroying_) {
            // References taken and given back while the object is being destroyed (a window
            // releasing its owner, say) must not reach zero and delete it a second time.
            destroying_ = true;
            refs_ = 1;
            delete this;
        }
        return left;
    }

protected:
    virtual ~ComObject() {
        if (counted_) {
            ReleaseObjectReference();
        }
    }
    virtual void* OtherInterface(REFIID) noexcept { return nullptr; }
    [[nodiscard]] ULONG ReferenceCount() const noexcept { return refs_; }

private:
    using First = std::tuple_element_t<0, std::tuple<Bases...>>;

    void* Find(REFIID riid) noexcept {
        if (riid == IID_IUnknown) {
            return static_cast<First*>(this);
        }
        if constexpr (std::is_base_of_v<IDispatch, First>) {
            if (riid == IID_IDispatch) {
                return static_cast<First*>(this);
            }
        }
        void* found = nullptr;
        ((found == nullptr && riid == __uuidof(typename InterfaceOf<Bases>::type)
              ? (found = static_cast<Bases*>(this))
              : nullptr),
         ...);
        return found != nullptr ? found : OtherInterface(riid);
    }

    std::atomic<ULONG> refs_{1};
    bool destroying_ = false;
    bool counted_ = true;
};

} // namespace qvn::win32util
