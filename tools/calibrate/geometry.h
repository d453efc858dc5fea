#pragma once

#include <optional>
#include <string>
#include <vector>

#include "canvas.h"

namespace tsdcal {

struct Size {
    int width = 0;
    int height = 0;
};

// A rectangle of the display, in the display's pixels.
struct Rect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

struct PointF {
    double x = 0.0;
    double y = 0.0;
};

double distance(const PointF& a, const PointF& b);

bool insideDisplay(const Rect& area, const Size& display);

// How the picture the person sees is turned on the output: 0, 90, 180 or
// 270 degrees clockwise.
enum class Rotation { k0, k90, k180, k270 };
std::optional<Rotation> parseRotation(const std::string& text);

// The person's view of an output area: what they see is `logical` pixels,
// shown turned by `rotation` inside `area` of the display.
class View {
public:
    View(const Rect& area, Rotation rotation);

    Size logical() const { return logical_; }
    const Rect& area() const { return area_; }
    Rotation rotation() const { return rotation_; }
    // A point of the person's view (continuous pixel coordinates, pixel
    // (i, j) spans [i, i+1) x [j, j+1)) in the display's coordinates.
    PointF toDisplay(const PointF& p) const;
    // The picture as the output holds it: the area's size, turned.
    Canvas toOutput(const Canvas& picture) const;

private:
    Rect area_;
    Rotation rotation_;
    Size logical_;
};

// Targets of a calibration grid in the person's view, row by row, at pixel
// centres; 5 is the four corners and the centre. Empty for a count not
// offered.
std::vector<PointF> calibrationGrid(int count, const Size& view);
bool isOfferedGridSize(int count);
// Fresh targets for checking a calibration, away from the grid's.
std::vector<PointF> verificationTargets(const Size& view);

}  // namespace tsdcal
