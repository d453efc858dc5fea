#include "scenes.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace tsdcal {
namespace {

constexpr int kTargetRadius = 16;
constexpr int kCrossArm = 26;

int pixel(double v) { return static_cast<int>(std::floor(v)); }

// Centred text, made smaller until it fits a narrow (or turned) view.
void line(Canvas& c, int y, const std::string& s, int scale, Color color) {
    while (scale > 1 && Canvas::textWidth(s, scale) > c.width() * 19 / 20) --scale;
    c.textCentred(c.width() / 2, y, s, scale, color);
}

// Big enough to read at arm's length, small enough for a 320-pixel view.
int textScale(const Size& view) {
    return std::clamp(std::min(view.width, view.height) / 240, 1, 3);
}

std::string formatPixels(double value) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.1f PX", value);
    return buffer;
}

void drawTarget(Canvas& c, const PointF& p) {
    const int x = pixel(p.x);
    const int y = pixel(p.y);
    c.fillRect(x - kCrossArm, y, kCrossArm - 3, 1, colors::kTargetRing);
    c.fillRect(x + 4, y, kCrossArm - 3, 1, colors::kTargetRing);
    c.fillRect(x, y - kCrossArm, 1, kCrossArm - 3, colors::kTargetRing);
    c.fillRect(x, y + 4, 1, kCrossArm - 3, colors::kTargetRing);
    c.ring(x, y, kTargetRadius, 2, colors::kTargetRing);
    c.fillRect(x - 1, y - 1, 3, 3, colors::kTargetCentre);
}

void drawLanding(Canvas& c, const Landing& l, int scale) {
    const int tx = pixel(l.target.x);
    const int ty = pixel(l.target.y);
    c.ring(tx, ty, 8, 1, colors::kDim);
    c.line(tx, ty, pixel(l.landed.x), pixel(l.landed.y), colors::kBad);
    c.disc(pixel(l.landed.x), pixel(l.landed.y), 2, colors::kDone);
    c.text(tx + 12, ty + 10, formatPixels(l.distance), scale, colors::kText);
}

// Dots for the targets: done, current, still to come.
void drawProgress(Canvas& c, const Size& view, int index, int count, int scale) {
    const int gap = 6 * scale;
    const int y = pixel(view.height * 0.83);
    int x = view.width / 2 - (count - 1) * gap / 2;
    for (int i = 0; i < count; ++i, x += gap) {
        if (i < index) c.disc(x, y, scale + 1, colors::kDone);
        if (i == index) c.ring(x, y, scale + 2, 1, colors::kText);
        if (i > index) c.disc(x, y, 1, colors::kDim);
    }
    char label[32];
    std::snprintf(label, sizeof label, "%d OF %d", index + 1, count);
    c.textCentred(view.width / 2, y + 4 * scale, label, scale, colors::kDim);
}

}  // namespace

std::vector<Button> choiceButtons(const Size& view, bool passed) {
    const int width = std::max(view.width / 5, 90);
    const int height = std::max(view.height / 9, 44);
    const int y = pixel(view.height * 0.5);
    const int gap = width / 3;
    const Rect left{view.width / 2 - gap / 2 - width, y, width, height};
    const Rect right{view.width / 2 + gap / 2, y, width, height};
    if (passed) return {{"keep", "KEEP", left}, {"cancel", "CANCEL", right}};
    return {{"retry", "RETRY", left}, {"cancel", "CANCEL", right}};
}

Canvas drawTargetScene(const Size& view, const TargetScene& scene) {
    Canvas c(view.width, view.height);
    const int scale = textScale(view);
    const int y = pixel(view.height * 0.15);
    line(c, y, scene.instruction, scale, colors::kText);
    line(c, y + 10 * scale, "ESC, OR A CORNER HELD FOR 3 S, CANCELS", scale, colors::kDim);
    if (!scene.message.empty()) line(c, y + 20 * scale, scene.message, scale, colors::kBad);
    for (const Landing& l : scene.landings) drawLanding(c, l, scale);
    drawProgress(c, view, scene.index, scene.count, scale);
    drawTarget(c, scene.target);
    return c;
}

Canvas drawChoiceScene(const Size& view, const std::vector<Landing>& landings, double threshold,
                       bool passed, const std::vector<Button>& buttons) {
    Canvas c(view.width, view.height);
    const int scale = textScale(view);
    double worst = 0.0;
    for (const Landing& l : landings) {
        drawLanding(c, l, scale);
        worst = std::max(worst, l.distance);
    }
    char summary[96];
    std::snprintf(summary, sizeof summary, "LARGEST ERROR %.1f PX, LIMIT %.1f PX", worst,
                  threshold);
    const int y = pixel(view.height * 0.33);
    line(c, y, summary, scale, passed ? colors::kDone : colors::kBad);
    line(c, y + 10 * scale,
         passed ? "TOUCH KEEP TO STORE THIS CALIBRATION" : "TOUCH RETRY TO CALIBRATE AGAIN", scale,
         colors::kText);
    for (const Button& b : buttons) {
        c.fillRect(b.rect.x, b.rect.y, b.rect.width, b.rect.height, colors::kButton);
        c.frameRect(b.rect.x, b.rect.y, b.rect.width, b.rect.height, 2, colors::kText);
        c.textCentred(b.rect.x + b.rect.width / 2, b.rect.y + (b.rect.height - 7 * (scale + 1)) / 2,
                      b.label, scale + 1, colors::kText);
    }
    return c;
}

Canvas drawClosingScene(const Size& view, const std::string& text) {
    Canvas c(view.width, view.height);
    line(c, view.height / 2, text, textScale(view), colors::kText);
    return c;
}

}  // namespace tsdcal
