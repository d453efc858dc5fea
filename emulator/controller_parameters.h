#pragma once

#include "calibration/calibration_record.h"

namespace tsdemu {

// Controller parameters that are all zero but for the coordinate range.
touchsdk::ControllerParameters controllerParametersWithRange(
    const touchsdk::CalibrationRange& range);

}  // namespace tsdemu
