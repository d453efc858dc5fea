#pragma once

#include <cstddef>
#include <optional>
#include <vector>

#include "calibration/calibration_fit.h"
#include "calibration/calibration_record.h"
#include "touchsdk.h"

namespace touchsdk {

// The affine map, in single precision, from the caller's target range onto
// the screen's own range, pairing the ranges end for end.
struct TargetMapping {
    float gx = 1.0f;
    float ox = 0.0f;
    float gy = 1.0f;
    float oy = 0.0f;
};

// Equal ends would divide by zero, and non-finite values would end up in
// the screen's record: such a range is refused.
bool isUsableCallerRange(const CalibrationRange& range);
bool isFinitePoint(const CalibrationPoint& point);

// nullopt when the screen's range is not finite or the map overflows.
std::optional<TargetMapping> makeTargetMapping(const CalibrationRange& screen,
                                               const CalibrationRange& caller);

WorkingSample mapSample(const TargetMapping& mapping, const CalibrationPoint& point);

// The working samples of all points; nullopt if any mapped value is not
// finite (a target far outside the caller's range may overflow).
std::optional<std::vector<WorkingSample>> mapSamples(const TargetMapping& mapping,
                                                     const CalibrationPoint* points,
                                                     std::size_t count);

}  // namespace touchsdk
