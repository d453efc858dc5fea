#pragma once

#include <cstddef>
#include <cstdint>

#include "calibration/calibration_fit.h"
#include "calibration/calibration_record.h"

namespace touchsdk {

// Fits at the highest degree the sample count allows (10 or more: cubic,
// 6-9: quadratic, 3-5: linear) and rounds the result into a model. Returns
// Ok, TooFewSamples (fewer than 3) or Singular; a singular fit is not
// retried at a lower degree.
[[nodiscard]] FitStatus buildCalibrationModel(const WorkingSample* samples, std::size_t count,
                                            CalibrationModel& model);

// A record with an infinite or NaN coefficient or scale would leave the
// screen unusable; such a model is never stored.
bool isFiniteModel(const CalibrationModel& model);

}  // namespace touchsdk
