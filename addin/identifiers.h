// Names and identifiers of the component that more than one file uses. The GUIDs of the class,
// its interface and its library come from the compiled type library's C file (qvn_i.c).
#pragma once

#include <oaidl.h>
#include <windows.h>

namespace qvn::addin {

inline constexpr const wchar_t* kProgId = L"Quorvane.Connect";
inline constexpr const wchar_t* kLibraryVersion = L"1.0";
inline constexpr WORD kLibraryMajor = 1;
inline constexpr WORD kLibraryMinor = 0;
inline constexpr LCID kLibraryLocale = 0x0409;

// The component's title: messages shown without a title of their own carry it.
inline constexpr const wchar_t* kTitle = L"QVN";
inline constexpr const wchar_t* kMenuCaption = L"Quorvane";
inline constexpr const wchar_t* kAddInsBar = L"Add-Ins";

// The outgoing interface of a command-bar event source: the first IID is the one of the
// Visual Basic 5.0 library, the second the one of the later VBA library.
inline constexpr GUID kDiidCommandBarEventsVb5 = {
    0x0002E198, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr GUID kDiidCommandBarEventsVba = {
    0x0002E131, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

inline constexpr DISPID kDispIdFormDisplayed = 0x40030000;
inline constexpr DISPID kDispIdVBInstance = 0x40030001;
inline constexpr DISPID kDispIdMenuHandler = 0x40030004;
inline constexpr DISPID kDispIdHide = 0x60030000;
inline constexpr DISPID kDispIdShow = 0x60030001;
inline constexpr DISPID kDispIdAddToAddInCommandBar = 0x60030007;

inline constexpr DISPID kDispIdOnConnection = 1;
inline constexpr DISPID kDispIdOnDisconnection = 2;
inline constexpr DISPID kDispIdOnAddInsUpdate = 3;
inline constexpr DISPID kDispIdOnStartupComplete = 4;

inline constexpr DISPID kDispIdClick = 1;

} // namespace qvn::addin
