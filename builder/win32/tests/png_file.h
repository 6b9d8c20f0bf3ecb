// Writes an RGB picture as a PNG file (uncompressed deflate blocks: larger than need be, but
// readable by every viewer and free of any library).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qvn::win32::testing {

// `rgb` holds width * height pixels, top row first, three bytes each.
bool WritePng(const std::wstring& path, int width, int height,
              const std::vector<std::uint8_t>& rgb);

} // namespace qvn::win32::testing
