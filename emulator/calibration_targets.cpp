#include "calibration_targets.h"

#include <algorithm>
#include <cmath>

namespace tsdemu {

namespace {

// Position k of perSide along one axis, whole caller units.
float gridStep(int k, int perSide, float begin, float end) {
    const double span = static_cast<double>(end) - begin;
    const double inset = std::round(span / 20.0);
    const double usable = span - 2.0 * inset;
    return static_cast<float>(std::round(begin + inset + usable * k / (perSide - 1)));
}

// The end-for-end map from the caller's range onto the screen's.
double toScreen(float value, float callerBegin, float callerEnd, float screenBegin,
                float screenEnd) {
    const double gain = (static_cast<double>(screenEnd) - screenBegin) / (callerEnd - callerBegin);
    return screenBegin + gain * (static_cast<double>(value) - callerBegin);
}

}  // namespace

std::vector<CalibrationTarget> targetGrid(int perSide, const touchsdk::CalibrationRange& caller,
                                          const touchsdk::CalibrationRange& screen) {
    std::vector<CalibrationTarget> targets;
    if (perSide < 2) return targets;
    for (int row = 0; row < perSide; ++row) {
        for (int column = 0; column < perSide; ++column) {
            const float x = gridStep(column, perSide, caller.xBegin, caller.xEnd);
            const float y = gridStep(row, perSide, caller.yBegin, caller.yEnd);
            targets.push_back(
                {x, y, toScreen(x, caller.xBegin, caller.xEnd, screen.xBegin, screen.xEnd),
                 toScreen(y, caller.yBegin, caller.yEnd, screen.yBegin, screen.yEnd)});
        }
    }
    return targets;
}

void Residuals::add(double dx, double dy) {
    max_ = std::max({max_, std::abs(dx), std::abs(dy)});
    sumOfSquares_ += dx * dx + dy * dy;
    count_ += 2;
}

double Residuals::rms() const {
    return count_ == 0 ? 0.0 : std::sqrt(sumOfSquares_ / static_cast<double>(count_));
}

}  // namespace tsdemu
