#include "geometry.h"

#include <cmath>
#include <cstdio>

namespace tsdcal {
namespace {

// Targets sit this far in from the edges (as a share of the view), close
// enough to the edge for the fit to reach it, far enough for a finger.
constexpr double kGridInset = 0.08;

PointF pixelCentre(double fx, double fy, const Size& view) {
    return {std::floor(fx * view.width) + 0.5, std::floor(fy * view.height) + 0.5};
}

}  // namespace

double distance(const PointF& a, const PointF& b) { return std::hypot(a.x - b.x, a.y - b.y); }

bool insideDisplay(const Rect& area, const Size& display) {
    return area.x >= 0 && area.y >= 0 && area.width > 0 && area.height > 0 &&
           area.x + area.width <= display.width && area.y + area.height <= display.height;
}

std::optional<Rotation> parseRotation(const std::string& text) {
    if (text == "0") return Rotation::k0;
    if (text == "90") return Rotation::k90;
    if (text == "180") return Rotation::k180;
    if (text == "270") return Rotation::k270;
    return {};
}

View::View(const Rect& area, Rotation rotation) : area_(area), rotation_(rotation) {
    const bool turned = rotation == Rotation::k90 || rotation == Rotation::k270;
    logical_ = turned ? Size{area.height, area.width} : Size{area.width, area.height};
}

PointF View::toDisplay(const PointF& p) const {
    const double w = logical_.width;
    const double h = logical_.height;
    PointF out;
    switch (rotation_) {
        case Rotation::k0:
            out = p;
            break;
        case Rotation::k90:
            out = {h - p.y, p.x};
            break;
        case Rotation::k180:
            out = {w - p.x, h - p.y};
            break;
        case Rotation::k270:
            out = {p.y, w - p.x};
            break;
    }
    return {out.x + area_.x, out.y + area_.y};
}

Canvas View::toOutput(const Canvas& picture) const {
    if (rotation_ == Rotation::k0) return picture;
    Canvas out(area_.width, area_.height);
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            // The centre of pixel (x, y) lands in the centre of one output pixel.
            const PointF d = toDisplay({x + 0.5, y + 0.5});
            out.set(static_cast<int>(std::floor(d.x)) - area_.x,
                    static_cast<int>(std::floor(d.y)) - area_.y, picture.at(x, y));
        }
    }
    return out;
}

bool isOfferedGridSize(int count) {
    return count == 4 || count == 5 || count == 9 || count == 16 || count == 25;
}

std::vector<PointF> calibrationGrid(int count, const Size& view) {
    std::vector<PointF> targets;
    if (!isOfferedGridSize(count)) return targets;
    const int perSide = count == 5 ? 2 : static_cast<int>(std::lround(std::sqrt(count)));
    const double step = (1.0 - 2.0 * kGridInset) / (perSide - 1);
    for (int row = 0; row < perSide; ++row) {
        for (int column = 0; column < perSide; ++column) {
            targets.push_back(
                pixelCentre(kGridInset + column * step, kGridInset + row * step, view));
        }
    }
    if (count == 5) targets.insert(targets.begin() + 2, pixelCentre(0.5, 0.5, view));
    return targets;
}

std::vector<PointF> verificationTargets(const Size& view) {
    return {pixelCentre(0.27, 0.25, view), pixelCentre(0.73, 0.25, view),
            pixelCentre(0.27, 0.75, view), pixelCentre(0.73, 0.75, view)};
}

}  // namespace tsdcal
