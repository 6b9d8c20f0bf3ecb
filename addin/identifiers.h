// Names and identifiers of the component that more than one of its files uses. The GUIDs of
// the class, its interface and its library come from the compiled type library's C file
// (qvn_i.c); the names it shares with the other parts come from ide/names.h.
#pragma once

#include "ide/names.h"

#include <oaidl.h>
#include <windows.h>

namespace qvn::addin {

inline constexpr const wchar_t* kProgId = names::kProgIdW;
inline constexpr const wchar_t* kLibraryVersion = L"1.0";
inline constexpr WORD kLibraryMajor = 1;
inline constexpr WORD kLibraryMinor = 0;
inline constexpr LCID kLibraryLocale = 0x0409;

// The component's title: messages shown without a title of their own carry it.
inline constexpr const wchar_t* kTitle = names::kShortNameW;
inline constexpr const wchar_t* kMenuCaption = names::kProductNameW;
inline constexpr const wchar_t* kAddInsBar = names::kAddInsBarW;

// The Click member of the command-bar events' outgoing interface.
inline constexpr DISPID kDispIdClick = 1;

} // namespace qvn::addin
