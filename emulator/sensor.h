#pragma once

#include <cstdint>

#include "calibration/calibration_record.h"

namespace tsdemu {

struct SensorPosition {
    double x = 0.0;
    double y = 0.0;
};

// How the sensor misplaces a touch, as a smooth warp of the true position.
// Positions are taken relative to the centre of the coordinate range and
// scaled by its half spans (n = (p - centre) / halfSpan), warped there and
// scaled back:
//   mx = dx + xx * nx + xy * ny + qx * ny^2
//   my = dy + yx * nx + yy * ny + qy * nx^2
// The default is a perfect sensor.
struct SensorWarp {
    double xx = 1.0;
    double xy = 0.0;
    double yx = 0.0;
    double yy = 1.0;
    double dx = 0.0;
    double dy = 0.0;
    double qx = 0.0;  // bows measured x along y
    double qy = 0.0;  // bows measured y along x
};

// A few percent of scale, shear and offset and a slight bow: what a badly
// mounted panel shows. A fit undoes it to within the half unit that whole
// reported positions allow.
SensorWarp typicalDistortion();

// The same panel mounted a quarter turn round: its x runs along the true y,
// its y against the true x. Calibration is what puts such a panel right.
SensorWarp turnedDistortion();

// The sensor of an emulated screen: where a touch at a true position is
// measured, in whole units clamped to the coordinate range.
class Sensor {
public:
    Sensor(const touchsdk::CalibrationRange& range, const SensorWarp& warp)
        : range_(range), warp_(warp) {}

    SensorPosition measure(double trueX, double trueY) const;
    const touchsdk::CalibrationRange& range() const { return range_; }

private:
    touchsdk::CalibrationRange range_;
    SensorWarp warp_;
};

// Rounds to a whole unit and keeps the value between the two range ends.
double clampToRange(double value, float begin, float end);

}  // namespace tsdemu
