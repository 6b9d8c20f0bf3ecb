// The one set of VARIANT and IDispatch helpers, for the code that calls late-bound objects
// and for the objects that serve late-bound callers. Late-bound callers pass arguments by
// value or by reference, Variants wrapping either, and may read a property with
// DISPATCH_METHOD | DISPATCH_PROPERTYGET.
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

// The arguments of one Invoke call in the order the caller wrote them (DISPPARAMS holds them
// last first). A missing optional argument counts as absent. The readers report the index
// of a bad argument through `argErr` in DISPPARAMS order, as Invoke's puArgErr expects.
class DispArgs {
public:
    explicit DispArgs(DISPPARAMS* params) : params_(params) {}
    [[nodiscard]] UINT Count() const;
    [[nodiscard]] bool Has(UINT index) const;
    [[nodiscard]] VARIANT* At(UINT index) const; // nullptr when absent
    HRESULT Long(UINT index, long* value, UINT* argErr) const;
    HRESULT Bool(UINT index, VARIANT_BOOL* value, UINT* argErr) const;
    HRESULT String(UINT index, BSTR* value, UINT* argErr) const;         // caller frees
    HRESULT Dispatch(UINT index, IDispatch** value, UINT* argErr) const; // may yield nullptr
    // The value of a property write: the DISPID_PROPERTYPUT named argument, else the only one.
    [[nodiscard]] VARIANT* PutValue() const;
    // Writes a whole number into a by-reference argument of any integral or Variant kind.
    HRESULT SetLongOut(UINT index, long value, UINT* argErr) const;
    // The by-reference array at `index`, or nullptr.
    [[nodiscard]] SAFEARRAY** ArrayRef(UINT index) const;
    // Where argument `index` sits in DISPPARAMS, as Invoke reports a bad one.
    [[nodiscard]] UINT Position(UINT index) const { return params_->cArgs - 1 - index; }

private:
    // Argument `index` converted to `type` into `converted`, with the errors of a reader.
    HRESULT Converted(UINT index, VARTYPE type, VARIANT* converted, UINT* argErr) const;
    DISPPARAMS* params_;
};

bool IsGet(WORD flags);
bool IsPut(WORD flags);
void SetResult(VARIANT* result, long value);
void SetResult(VARIANT* result, VARIANT_BOOL value);
void SetResult(VARIANT* result, BSTR value);             // takes ownership
void SetResult(VARIANT* result, IDispatch* value);       // takes ownership; nullptr is Nothing
void SetUnknownResult(VARIANT* result, IUnknown* value); // VT_UNKNOWN; takes ownership

// The calling thread's IErrorInfo description (cleared by reading it), or empty.
std::wstring TakeErrorInfoDescription();

} // namespace qvn::win32util
