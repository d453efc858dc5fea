#pragma once

#include <cstddef>
#include <vector>

#include "calibration/calibration_record.h"

namespace tsdemu {

// A target as an application shows it (in its own range) and where that
// lies on the screen (in the screen's units).
struct CalibrationTarget {
    float callerX;
    float callerY;
    double screenX;
    double screenY;
};

// An application's range over a 0..4095 screen in which whole targets fall
// on whole screen units (3 units each), with y running the other way.
constexpr touchsdk::CalibrationRange kFlippedCallerRange{0.0f, 1365.0f, 1365.0f, 0.0f};

// perSide x perSide targets in whole caller units, inset by a twentieth of
// the range from its edges, row by row.
std::vector<CalibrationTarget> targetGrid(int perSide, const touchsdk::CalibrationRange& caller,
                                          const touchsdk::CalibrationRange& screen);

// Distances between where touches landed and their targets, per axis.
class Residuals {
public:
    void add(double dx, double dy);
    double max() const { return max_; }
    double rms() const;
    std::size_t count() const { return count_; }

private:
    double max_ = 0.0;
    double sumOfSquares_ = 0.0;
    std::size_t count_ = 0;
};

}  // namespace tsdemu
