#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tsdcal {

uint32_t crc32(const uint8_t* data, std::size_t size, uint32_t crc = 0);
uint32_t adler32(const uint8_t* data, std::size_t size, uint32_t adler = 1);

// An 8-bit RGB picture (rows top to bottom, 3 bytes per pixel) as a PNG
// file. The deflate stream uses stored blocks only: frames are for tests
// and documentation, and this keeps the program free of a compression
// library.
std::vector<uint8_t> encodePng(int width, int height, const std::vector<uint8_t>& rgb);
// The same as a binary PPM (P6).
std::vector<uint8_t> encodePpm(int width, int height, const std::vector<uint8_t>& rgb);

}  // namespace tsdcal
