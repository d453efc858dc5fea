#pragma once

#include <array>
#include <cstdint>

namespace tsdcal {

// A 5x7 bitmap font of our own for instructions and figures: printable
// ASCII, lower case drawn as upper case. Each row is 5 bits, the leftmost
// pixel in bit 4.
constexpr int kGlyphWidth = 5;
constexpr int kGlyphHeight = 7;
constexpr int kGlyphAdvance = kGlyphWidth + 1;
using Glyph = std::array<uint8_t, kGlyphHeight>;

// The glyph of `c`; characters without one are drawn as a box.
Glyph glyphOf(char c);

}  // namespace tsdcal
