// Late-bound calls into the IDE's objects: members are found by name at run time and called
// with the flags the language itself uses, so the add-in works with any IDE version (and
// with the stand-in IDE) that offers the names. Every failure is thrown as a
// win32util::ResultException with the callee's own description where it gave one.
#pragma once

#include "win32util/result_macros.h"
#include "win32util/text.h"
#include "win32util/variant.h"

#include <oaidl.h>
#include <wrl/client.h>

#include <initializer_list>
#include <string>

namespace qvn::addin {

using Microsoft::WRL::ComPtr;

using win32util::ObjectOf;
using win32util::ResultException;
using win32util::TakeErrorInfoDescription;
using win32util::Utf8;
using win32util::Variant;
using win32util::Wide;

// Flags of a property read that may take arguments, as the language passes them.
inline constexpr WORD kGetFlags = DISPATCH_METHOD | DISPATCH_PROPERTYGET;

// Calls member `name` of `object`. `args` are in the order the caller writes them; they are
// borrowed, not freed.
void Call(IDispatch* object, const wchar_t* name, WORD flags, std::initializer_list<VARIANT*> args,
          VARIANT* result);

// A property read (with optional arguments) that must yield an object; none is a failure.
ComPtr<IDispatch> GetObject(IDispatch* object, const wchar_t* name,
                            std::initializer_list<VARIANT*> args = {});
void CallMethod(IDispatch* object, const wchar_t* name, std::initializer_list<VARIANT*> args = {});
void PutProperty(IDispatch* object, const wchar_t* name, VARIANT* value);

// The text of a failure as a user reads it: the language's own for a missing object,
// otherwise the system's.
std::wstring DescribeFailure(HRESULT hr);
// A failure with that text.
[[noreturn]] void ThrowFailure(HRESULT hr);
} // namespace qvn::addin
