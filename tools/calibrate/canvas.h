#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tsdcal {

// 0x00RRGGBB.
using Color = uint32_t;
namespace colors {
constexpr Color kBackground = 0x101418;
constexpr Color kText = 0xE8E8E8;
constexpr Color kDim = 0x707880;
// The target's centre has a colour used nowhere else, so that a frame can
// be checked for where the target is by reading pixels.
constexpr Color kTargetCentre = 0xFF2020;
constexpr Color kTargetRing = 0xFFFFFF;
constexpr Color kDone = 0x40C060;
constexpr Color kBad = 0xE0A020;
constexpr Color kButton = 0x2060C0;
}  // namespace colors

constexpr uint8_t redOf(Color c) { return static_cast<uint8_t>(c >> 16); }
constexpr uint8_t greenOf(Color c) { return static_cast<uint8_t>(c >> 8); }
constexpr uint8_t blueOf(Color c) { return static_cast<uint8_t>(c); }

// A software picture in the orientation the person sees it; drawing
// outside it is clipped.
class Canvas {
public:
    Canvas(int width, int height, Color fill = colors::kBackground);

    int width() const { return width_; }
    int height() const { return height_; }
    Color at(int x, int y) const { return pixels_[index(x, y)]; }
    void set(int x, int y, Color c);

    void fillRect(int x, int y, int w, int h, Color c);
    void frameRect(int x, int y, int w, int h, int thickness, Color c);
    void ring(int cx, int cy, int radius, int thickness, Color c);
    void disc(int cx, int cy, int radius, Color c);
    void line(int x0, int y0, int x1, int y1, Color c);
    // Text from the bitmap font, each font pixel a scale x scale block.
    void text(int x, int y, const std::string& s, int scale, Color c);
    void textCentred(int cx, int y, const std::string& s, int scale, Color c);
    static int textWidth(const std::string& s, int scale);

    // Packed 8-bit R, G, B per pixel, rows top to bottom.
    std::vector<uint8_t> rgb() const;

private:
    std::size_t index(int x, int y) const {
        return static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) +
               static_cast<std::size_t>(x);
    }

    int width_;
    int height_;
    std::vector<Color> pixels_;
};

}  // namespace tsdcal
