#include "canvas.h"

#include <algorithm>
#include <cstdlib>

#include "font.h"

namespace tsdcal {

Canvas::Canvas(int width, int height, Color fill)
    : width_(std::max(width, 1)),
      height_(std::max(height, 1)),
      pixels_(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_), fill) {}

void Canvas::set(int x, int y, Color c) {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
    pixels_[index(x, y)] = c;
}

void Canvas::fillRect(int x, int y, int w, int h, Color c) {
    const int x0 = std::max(x, 0);
    const int y0 = std::max(y, 0);
    const int x1 = std::min(x + w, width_);
    const int y1 = std::min(y + h, height_);
    for (int row = y0; row < y1; ++row) {
        for (int column = x0; column < x1; ++column) pixels_[index(column, row)] = c;
    }
}

void Canvas::frameRect(int x, int y, int w, int h, int thickness, Color c) {
    fillRect(x, y, w, thickness, c);
    fillRect(x, y + h - thickness, w, thickness, c);
    fillRect(x, y, thickness, h, c);
    fillRect(x + w - thickness, y, thickness, h, c);
}

void Canvas::ring(int cx, int cy, int radius, int thickness, Color c) {
    const int outer = radius * radius;
    const int inner = (radius - thickness) * (radius - thickness);
    for (int dy = -radius; dy <= radius; ++dy) {
        for (int dx = -radius; dx <= radius; ++dx) {
            const int d = dx * dx + dy * dy;
            if (d <= outer && d > inner) set(cx + dx, cy + dy, c);
        }
    }
}

void Canvas::disc(int cx, int cy, int radius, Color c) { ring(cx, cy, radius, radius + 1, c); }

// Bresenham: exact integer steps, no gaps.
void Canvas::line(int x0, int y0, int x1, int y1, Color c) {
    const int dx = std::abs(x1 - x0);
    const int dy = -std::abs(y1 - y0);
    const int sx = x0 < x1 ? 1 : -1;
    const int sy = y0 < y1 ? 1 : -1;
    int error = dx + dy;
    for (;;) {
        set(x0, y0, c);
        if (x0 == x1 && y0 == y1) return;
        const int twice = 2 * error;
        if (twice >= dy) {
            error += dy;
            x0 += sx;
        }
        if (twice <= dx) {
            error += dx;
            y0 += sy;
        }
    }
}

void Canvas::text(int x, int y, const std::string& s, int scale, Color c) {
    for (char ch : s) {
        const Glyph glyph = glyphOf(ch);
        for (int row = 0; row < kGlyphHeight; ++row) {
            for (int column = 0; column < kGlyphWidth; ++column) {
                if ((glyph[static_cast<std::size_t>(row)] >> (kGlyphWidth - 1 - column) & 1) == 0) {
                    continue;
                }
                fillRect(x + column * scale, y + row * scale, scale, scale, c);
            }
        }
        x += kGlyphAdvance * scale;
    }
}

void Canvas::textCentred(int cx, int y, const std::string& s, int scale, Color c) {
    text(cx - textWidth(s, scale) / 2, y, s, scale, c);
}

int Canvas::textWidth(const std::string& s, int scale) {
    if (s.empty()) return 0;
    return (static_cast<int>(s.size()) * kGlyphAdvance - 1) * scale;
}

std::vector<uint8_t> Canvas::rgb() const {
    std::vector<uint8_t> out;
    out.reserve(pixels_.size() * 3);
    for (Color c : pixels_) {
        out.push_back(redOf(c));
        out.push_back(greenOf(c));
        out.push_back(blueOf(c));
    }
    return out;
}

}  // namespace tsdcal
