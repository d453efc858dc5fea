#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tsdcal {

// An 8-bit RGB picture (rows top to bottom, 3 bytes per pixel) as a PNG
// file, compressed: a frame is mostly flat colour, so a full-size frame
// shrinks from over a megabyte to a few kilobytes. Empty if zlib fails.
std::vector<uint8_t> encodePng(int width, int height, const std::vector<uint8_t>& rgb);
// The same as a binary PPM (P6).
std::vector<uint8_t> encodePpm(int width, int height, const std::vector<uint8_t>& rgb);

}  // namespace tsdcal
