// The one set of VARIANT helpers, for the code that calls late-bound objects. (Objects that
// serve late-bound callers do so from their type description: type_info_dispatch.h.)
#pragma once

#include <oaidl.h>
#include <wrl/client.h>

#include <string>

namespace qvn::win32util {

// An owning VARIANT.
class Variant {
public:
    Variant() noexcept { VariantInit(&value_); }
    explicit Variant(long number) noexcept;
    explicit Variant(const std::wstring& text);   // throws std::bad_alloc
    explicit Variant(IDispatch* object) noexcept; // AddRef'd; nullptr passes Nothing
    ~Variant() { VariantClear(&value_); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
    Variant(Variant&& other) noexcept : value_(other.value_) { VariantInit(&other.value_); }
    Variant& operator=(Variant&&) = delete;

    // A Boolean (VT_BOOL), as the language passes True and False.
    static Variant Bool(bool value) noexcept;
    // An optional argument left out, as a late-bound caller passes it.
    static Variant Missing() noexcept;

    VARIANT* Get() noexcept { return &value_; }
    [[nodiscard]] const VARIANT& Ref() const noexcept { return value_; }
    VARIANT* ReleaseAndGetAddressOf() noexcept;

private:
    VARIANT value_;
};

// The object a VARIANT holds (by value or by reference, IDispatch or IUnknown), or nullptr.
Microsoft::WRL::ComPtr<IDispatch> ObjectOf(const VARIANT& value);
// The same object as it is, never asked for IDispatch: for objects that may answer only
// IUnknown, whichever of the two types they were handed out as.
Microsoft::WRL::ComPtr<IUnknown> UnknownOf(const VARIANT& value);

// The calling thread's IErrorInfo description (cleared by reading it), or empty.
std::wstring TakeErrorInfoDescription();

} // namespace qvn::win32util
