// Names that more than one part of the product uses, each written once: what the hosts
// define (their add-in list and its section, the command bar add-ins sit on, the language's
// message-box styles and error numbers) and what the component is known by (its ProgID, its
// short name, its product name and version). No platform header, so the command-line
// composer and the builder's behaviour include it as the Windows parts do. Each text comes
// as `kName` (char) and `kNameW` (wchar_t).
#pragma once

#include "qvn_version.h"

#include <cstdint>

#define QVN_NAME(name, text)                                                                       \
    inline constexpr char name[] = text;                                                           \
    inline constexpr wchar_t name##W[] = L"" text;

namespace qvn::names {

// The component's registered class, as the IDE's add-in list names it.
QVN_NAME(kProgId, "Quorvane.Connect")
// The component's short name: the title of the messages it shows without one of their own,
// and the application name its settings are stored under.
QVN_NAME(kShortName, "QVN")
QVN_NAME(kProductName, QVN_PRODUCT_NAME)

// The IDE's list of add-ins (kept in the Windows folder) and the section the 32-bit IDEs read.
QVN_NAME(kAddInListFile, "vbaddin.ini")
QVN_NAME(kAddInListSection, "Add-Ins32")
// The VBA editor's list of add-ins below HKEY_CURRENT_USER, one subkey per ProgID; the 32-bit
// and the 64-bit editor each read their own. The values of an entry.
QVN_NAME(kVbaAddInsKey, "Software\\Microsoft\\VBA\\VBE\\6.0\\Addins")
QVN_NAME(kVbaAddIns64Key, "Software\\Microsoft\\VBA\\VBE\\6.0\\Addins64")
QVN_NAME(kVbaAddInFriendlyName, "FriendlyName")
QVN_NAME(kVbaAddInDescription, "Description")
QVN_NAME(kVbaAddInLoadBehavior, "LoadBehavior")
// The command bar whose controls make up the IDE's Add-Ins menu.
QVN_NAME(kAddInsBar, "Add-Ins")
// The code window's context menu, as add-ins name it, and the edit command on it: its caption
// and its Tag, which must differ from the Add-Ins item's (Office hands a button's Click to
// every control with the same Tag).
QVN_NAME(kCodeWindowBar, "Code Window")
QVN_NAME(kEditCaption, "Edit Message Box")
QVN_NAME(kEditTag, "Quorvane.Connect.Edit")
// The built-in control Id of the Add-Ins menu on an IDE's menu bar, the same in every language.
inline constexpr long kAddInsMenuId = 30038;

// The variable a new message box assigns its answer to.
QVN_NAME(kDefaultVariableName, "response")

// Message-box styles of the language (vbOKOnly, vbCritical, vbInformation).
inline constexpr std::int32_t kStyleOkOnly = 0;
inline constexpr std::int32_t kStyleCritical = 16;
inline constexpr std::int32_t kStyleInformation = 64;

// The language's run-time error 91, "Object variable or With block variable not set", as an
// HRESULT.
inline constexpr std::int32_t kErrorObjectRequired = static_cast<std::int32_t>(0x800A005Bu);

inline constexpr int kVersionMajor = QVN_VERSION_MAJOR;
inline constexpr int kVersionMinor = QVN_VERSION_MINOR;

} // namespace qvn::names

#undef QVN_NAME
