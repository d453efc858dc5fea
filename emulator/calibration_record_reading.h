#pragma once

#include <array>
#include <cstdint>

#include "calibration/calibration_record.h"

namespace tsdemu {

// A stored record as the screen reads it back, with a linear record widened
// to the full term list (its missing terms 0) so that both kinds evaluate
// alike. The library only ever writes records; reading them is the screen's
// business.
struct DecodedCalibration {
    uint8_t flags = 0;
    touchsdk::CalibrationRange range;
    std::array<double, touchsdk::kTermsPerAxis> x{};
    std::array<double, touchsdk::kTermsPerAxis> y{};
    double scale = 0.0;
    uint8_t valid = 0;

    // Only the two kinds the host writes carry coefficients.
    bool hasModel() const {
        const uint8_t kind = flags & touchsdk::kModelKindMask;
        return (flags & touchsdk::kModelPresentFlag) != 0 &&
               (kind == touchsdk::kLinearKind || kind == touchsdk::kPolynomialKind);
    }
};

DecodedCalibration decodeCalibrationRecord(const touchsdk::CalibrationRecord& record);

// Controller parameters that are all zero but for the coordinate range.
touchsdk::ControllerParameters controllerParametersWithRange(
    const touchsdk::CalibrationRange& range);

}  // namespace tsdemu
