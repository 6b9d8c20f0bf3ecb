// The registry parts whole-registry images leave out, from the one list of Wine's differences
// (wine_differences.txt beside this file, each entry with its reason).
#pragma once

#include <string_view>

namespace qvn::testing {

struct IgnoredRegistryPart {
    std::wstring_view prefix; // a key path (and optionally "|value") that the entry starts with
    std::string_view reason;
};

inline constexpr IgnoredRegistryPart kWineRegistryNoise[] = {
#include "wine_registry_noise.inc"
};

} // namespace qvn::testing
