#include "live_picture.h"

#include <algorithm>
#include <cmath>

#include "font.h"

namespace tsdview {
namespace {

using tsdcal::Canvas;
using tsdcal::Color;
using tsdcal::PointF;

// Screen units to the view's pixels: the panel covers the view edge to edge.
class Mapping {
public:
    Mapping(const touchsdk::CalibrationRange& r, const tsdcal::Size& size) : r_(r), size_(size) {}

    PointF toView(const PointF& p) const {
        return {(p.x - r_.xBegin) / (r_.xEnd - r_.xBegin) * size_.width,
                (p.y - r_.yBegin) / (r_.yEnd - r_.yBegin) * size_.height};
    }
    // A contact's extent, in pixels along each axis.
    PointF extent(double width, double height) const {
        return {width / std::abs(r_.xEnd - r_.xBegin) * size_.width,
                height / std::abs(r_.yEnd - r_.yBegin) * size_.height};
    }

private:
    touchsdk::CalibrationRange r_;
    tsdcal::Size size_;
};

int pixel(double v) { return static_cast<int>(std::floor(v)); }

// Text scale and the sizes derived from it grow with the view, so that a
// large panel is read from where the installer stands.
int scaleOf(const tsdcal::Size& size) {
    return std::max(1, std::min(size.width, size.height) / 300);
}

Color blend(Color from, Color to, double share) {
    const auto channel = [&](int shift) {
        const double a = (from >> shift) & 0xFF;
        const double b = (to >> shift) & 0xFF;
        return static_cast<Color>(std::lround(a + (b - a) * share)) << shift;
    };
    return channel(16) | channel(8) | channel(0);
}

void drawGrid(Canvas& canvas) {
    const int w = canvas.width();
    const int h = canvas.height();
    for (int i = 1; i < 10; ++i) {
        canvas.fillRect(w * i / 10, 0, 1, h, colors::kGrid);
        canvas.fillRect(0, h * i / 10, w, 1, colors::kGrid);
    }
}

// An L in each corner, with the screen's units there: whether a touch at
// the very edge lands at the edge shows at a glance.
void drawCorners(Canvas& canvas, const touchsdk::CalibrationRange& r, int scale) {
    const int w = canvas.width();
    const int h = canvas.height();
    const int arm = std::min(w, h) / 12;
    const int thick = 2 * scale;
    const int textHeight = tsdcal::kGlyphHeight * scale;
    for (const bool right : {false, true}) {
        for (const bool bottom : {false, true}) {
            const int x = right ? w - arm : 0;
            const int y = bottom ? h - arm : 0;
            canvas.fillRect(x, bottom ? h - thick : 0, arm, thick, colors::kCorner);
            canvas.fillRect(right ? w - thick : 0, y, thick, arm, colors::kCorner);
            const std::string units = std::to_string(std::lround(right ? r.xEnd : r.xBegin)) + "," +
                                      std::to_string(std::lround(bottom ? r.yEnd : r.yBegin));
            const int tx =
                right ? w - thick - 2 * scale - Canvas::textWidth(units, scale) : thick + 2 * scale;
            const int ty = bottom ? h - arm - textHeight - 2 * scale : arm + 2 * scale;
            canvas.text(tx, ty, units, scale, tsdcal::colors::kDim);
        }
    }
}

// The calibrated path of the last second, older parts closer to the
// background; as wide as the grid is apart from it at a glance.
void drawTrail(Canvas& canvas, const Contact& contact, const Mapping& mapping, int64_t nowMs,
               int scale) {
    const TrailPoint* previous = nullptr;
    for (const TrailPoint& point : contact.trail) {
        const double age = std::clamp(static_cast<double>(nowMs - point.ms) / kTrailMs, 0.0, 1.0);
        const Color c = blend(colors::kTrail, tsdcal::colors::kBackground, age);
        const PointF to = mapping.toView(point.at);
        const PointF from = previous != nullptr && point.joined ? mapping.toView(previous->at) : to;
        for (int o = -scale / 2; o <= scale / 2 + scale % 2; ++o) {
            canvas.line(pixel(from.x) + o, pixel(from.y), pixel(to.x) + o, pixel(to.y), c);
            canvas.line(pixel(from.x), pixel(from.y) + o, pixel(to.x), pixel(to.y) + o, c);
        }
        previous = &point;
    }
}

// An ellipse's outline `thickness` pixels wide, inside the radii.
void ellipseRing(Canvas& canvas, const PointF& centre, double rx, double ry, double thickness,
                 Color c) {
    const int cx = pixel(centre.x);
    const int cy = pixel(centre.y);
    const double ix = std::max(rx - thickness, 0.0);
    const double iy = std::max(ry - thickness, 0.0);
    for (int dy = -pixel(ry); dy <= pixel(ry); ++dy) {
        for (int dx = -pixel(rx); dx <= pixel(rx); ++dx) {
            const double outer = (dx * dx) / (rx * rx) + (dy * dy) / (ry * ry);
            const double inner =
                ix > 0 && iy > 0 ? (dx * dx) / (ix * ix) + (dy * dy) / (iy * iy) : 0.0;
            if (outer <= 1.0 && inner > 1.0) canvas.set(cx + dx, cy + dy, c);
        }
    }
}

// The measured position: a thin cross, so that it stays readable inside
// the ring when the calibration moves the touch only a little.
void drawRawMark(Canvas& canvas, const PointF& at, int arm) {
    const int x = pixel(at.x);
    const int y = pixel(at.y);
    canvas.fillRect(x - arm, y, 2 * arm + 1, 1, colors::kRawMark);
    canvas.fillRect(x, y - arm, 1, 2 * arm + 1, colors::kRawMark);
}

void drawContact(Canvas& canvas, uint8_t id, const Contact& contact, const Mapping& mapping,
                 int scale) {
    const double minimum = 12.0 * scale;
    if (contact.rawDown && contact.raw)
        drawRawMark(canvas, mapping.toView(*contact.raw), 6 * scale);
    if (!contact.down || !contact.touch) return;
    const PointF at = mapping.toView(*contact.touch);
    const PointF size = mapping.extent(contact.width, contact.height);
    const double rx = std::max(size.x / 2, minimum);
    const double ry = std::max(size.y / 2, minimum);
    ellipseRing(canvas, at, rx, ry, 2.0 * scale, colors::kRing);
    canvas.text(pixel(at.x + rx) + 2 * scale, pixel(at.y - ry), std::to_string(id), 2 * scale,
                tsdcal::colors::kText);
}

// Boxes along the bottom edge, one per key seen, filled while held.
void drawKeys(Canvas& canvas, const std::map<uint8_t, bool>& keys, int scale) {
    const int boxHeight = (tsdcal::kGlyphHeight + 8) * scale;
    const int y = canvas.height() - boxHeight - 4 * scale;
    int x = canvas.width() / 10 + 4 * scale;
    if (keys.empty()) {
        canvas.text(x, y + 4 * scale, "virtual keys show here once pressed", scale,
                    tsdcal::colors::kDim);
        return;
    }
    for (const auto& [key, held] : keys) {
        const std::string label = "key " + std::to_string(key);
        const int boxWidth = Canvas::textWidth(label, scale) + 12 * scale;
        if (held) canvas.fillRect(x, y, boxWidth, boxHeight, colors::kKeyLit);
        canvas.frameRect(x, y, boxWidth, boxHeight, scale,
                         held ? colors::kKeyLit : tsdcal::colors::kDim);
        canvas.text(x + 6 * scale, y + 4 * scale, label, scale,
                    held ? tsdcal::colors::kBackground : tsdcal::colors::kText);
        x += boxWidth + 4 * scale;
    }
}

void drawStatus(Canvas& canvas, const LiveState& state, const ScreenFacts& facts, int scale) {
    const std::string line = "screen " + (facts.serial.empty() ? "(no serial)" : facts.serial) +
                             "   " + std::to_string(state.reportsPerSecond()) + " reports/s   " +
                             std::to_string(state.contactsDown()) + " down   escape ends";
    const int height = (tsdcal::kGlyphHeight + 4) * scale;
    const int x = canvas.width() / 10 + 4 * scale;
    canvas.fillRect(x - 2 * scale, 2 * scale, Canvas::textWidth(line, scale) + 4 * scale, height,
                    colors::kStatusBar);
    canvas.text(x, 4 * scale, line, scale, tsdcal::colors::kText);
}

}  // namespace

void drawLive(Canvas& canvas, const LiveState& state, const ScreenFacts& facts, int64_t nowMs) {
    const tsdcal::Size size{canvas.width(), canvas.height()};
    canvas.fillRect(0, 0, size.width, size.height, tsdcal::colors::kBackground);
    const int scale = scaleOf(size);
    const Mapping mapping(facts.range, size);
    drawGrid(canvas);
    drawCorners(canvas, facts.range, scale);
    for (const auto& [id, contact] : state.contacts())
        drawTrail(canvas, contact, mapping, nowMs, scale);
    for (const auto& [id, contact] : state.contacts()) {
        drawContact(canvas, id, contact, mapping, scale);
    }
    drawKeys(canvas, state.keys(), scale);
    drawStatus(canvas, state, facts, scale);
}

}  // namespace tsdview
