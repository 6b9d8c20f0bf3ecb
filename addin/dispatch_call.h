// Late-bound calls into the IDE's objects: members are found by name at run time and called
// with the flags the language itself uses, so the add-in works with any IDE version (and
// with the stand-in IDE) that offers the names. Every failure becomes a DispatchError.
#pragma once

#include "builder/ide_operations.h"
#include "win32util/text.h"
#include "win32util/variant.h"

#include <oaidl.h>
#include <wrl/client.h>

#include <initializer_list>
#include <string>

namespace qvn::addin {

using Microsoft::WRL::ComPtr;

// A failing call, a missing object or a missing member, with the callee's own description
// when it gave one. The builder's paste catches it as IdeError.
class DispatchError : public IdeError {
public:
    DispatchError(HRESULT hr, std::wstring description);
    [[nodiscard]] HRESULT Code() const noexcept { return hr_; }
    [[nodiscard]] const std::wstring& Description() const noexcept { return description_; }

private:
    HRESULT hr_;
    std::wstring description_;
};

using win32util::ObjectOf;
using win32util::TakeErrorInfoDescription;
using win32util::Utf8;
using win32util::Variant;
using win32util::Wide;

// Flags of a property read that may take arguments, as the language passes them.
inline constexpr WORD kGetFlags = DISPATCH_METHOD | DISPATCH_PROPERTYGET;

// Calls member `name` of `object`. `args` are in the order the caller writes them; they are
// borrowed, not freed. Throws DispatchError.
void Call(IDispatch* object, const wchar_t* name, WORD flags, std::initializer_list<VARIANT*> args,
          VARIANT* result);

// A property read (with optional arguments) that must yield an object; none is a failure.
ComPtr<IDispatch> GetObject(IDispatch* object, const wchar_t* name,
                            std::initializer_list<VARIANT*> args = {});
void CallMethod(IDispatch* object, const wchar_t* name, std::initializer_list<VARIANT*> args = {});
void PutProperty(IDispatch* object, const wchar_t* name, VARIANT* value);

// The system's text for an HRESULT without the trailing line break, or a text naming the
// code when the system has none.
std::wstring DescribeFailure(HRESULT hr);
} // namespace qvn::addin
