#include "sensor.h"

#include <algorithm>
#include <cmath>

namespace tsdemu {

namespace {

struct Axis {
    double centre;
    double halfSpan;
};

Axis axisOf(float begin, float end) {
    const double b = begin;
    const double e = end;
    return {(b + e) / 2.0, (e - b) / 2.0};
}

double normalised(double value, const Axis& axis) {
    return axis.halfSpan == 0.0 ? 0.0 : (value - axis.centre) / axis.halfSpan;
}

}  // namespace

SensorWarp typicalDistortion() {
    SensorWarp w;
    w.xx = 1.03;
    w.xy = 0.02;
    w.yx = -0.015;
    w.yy = 1.04;
    w.dx = 0.01;
    w.dy = -0.02;
    w.qx = 0.004;
    w.qy = -0.003;
    return w;
}

SensorWarp turnedDistortion() {
    const SensorWarp typical = typicalDistortion();
    SensorWarp w = typical;
    w.xx = typical.xy;
    w.xy = typical.xx;
    w.yx = -typical.yy;
    w.yy = -typical.yx;
    return w;
}

double clampToRange(double value, float begin, float end) {
    const double low = std::min(begin, end);
    const double high = std::max(begin, end);
    return std::clamp(std::round(value), std::ceil(low), std::floor(high));
}

SensorPosition Sensor::measure(double trueX, double trueY) const {
    const Axis ax = axisOf(range_.xBegin, range_.xEnd);
    const Axis ay = axisOf(range_.yBegin, range_.yEnd);
    const double nx = normalised(trueX, ax);
    const double ny = normalised(trueY, ay);
    const double mx = warp_.dx + warp_.xx * nx + warp_.xy * ny + warp_.qx * ny * ny;
    const double my = warp_.dy + warp_.yx * nx + warp_.yy * ny + warp_.qy * nx * nx;
    return {clampToRange(ax.centre + mx * ax.halfSpan, range_.xBegin, range_.xEnd),
            clampToRange(ay.centre + my * ay.halfSpan, range_.yBegin, range_.yEnd)};
}

}  // namespace tsdemu
