// Identifiers the hosts define that their libraries as compiled here do not carry.
#pragma once

#include <guiddef.h>

namespace qvn::ide {

// The outgoing interface of a command-bar event source in the VBA library. The Visual Basic
// 5.0 library's own, {0002E198-...}, is DIID__dispCommandBarControlEvents from vbide.h.
inline constexpr GUID kDiidVbaCommandBarControlEvents = {
    0x0002E131, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

// The VBA editor's root object (VBA Extensibility 5.3); the VB IDEs' VBE is IID_VBE {0002E100-...}.
inline constexpr GUID kIidVbaVbe = {
    0x0002E166, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

// The outgoing interface of an Office 2000-or-later command-bar button: Click(Ctrl,
// CancelDefault), DISPID 1.
inline constexpr GUID kDiidCommandBarButtonEvents = {
    0x000C0351, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

} // namespace qvn::ide
