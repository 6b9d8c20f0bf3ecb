// Where Wine differs from Windows in ways the tests must allow for, each with its reason.
// The lists of the window and journey tests live beside their CMake files; the registry's
// are here because more than one test program compares whole registry images.
#pragma once

#include <string_view>

namespace qvn::testing {

struct IgnoredRegistryPart {
    std::wstring_view prefix; // a key path (and optionally "|value") that the entry starts with
    std::string_view reason;
};

// Parts of the registry that a whole-registry image leaves out. The image covers the Software
// keys of the machine and of the user, where every registration and install lands; the System
// keys hold only Wine's devices, which it enumerates afresh (DriverDateData and the like) at
// every start, registration or not.
inline constexpr IgnoredRegistryPart kWineRegistryNoise[] = {
    {L"HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion\\NetworkCards",
     "the network adapters Wine finds on the host, listed afresh at each start"},
    {L"HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Perflib",
     "the counter names below it are made on request by the performance providers, which "
     "under Wine takes minutes; they are no stored data"},
    {L"HKLM\\Software\\Wow6432Node\\Microsoft\\Windows NT\\CurrentVersion\\NetworkCards",
     "the 32-bit view of the same adapter list"},
    {L"HKLM\\Software\\Wow6432Node\\Microsoft\\Windows NT\\CurrentVersion\\Perflib",
     "the 32-bit view of the same counter names"},
    {L"HKCU\\Software\\Wine\\Temporary System Parameters",
     "Wine keeps here, for the session, the system parameters that a program sets without "
     "saving them (the mouse settings of a test that moves the pointer, for one)"},
};

} // namespace qvn::testing
