#pragma once

#include <array>
#include <cstdint>

#include "calibration/calibration_record.h"

namespace touchsdk {

// A stored record as the screen reads it back, with a linear record widened
// to the full term list (its missing terms 0) so that both kinds evaluate
// alike. The library only ever writes records; reading them is the screen's
// business, and that of the tools that show what a screen holds.
struct DecodedCalibration {
    uint8_t flags = 0;
    CalibrationRange range;
    std::array<double, kTermsPerAxis> x{};
    std::array<double, kTermsPerAxis> y{};
    double scale = 0.0;
    uint8_t valid = 0;

    // Only the two kinds the host writes carry coefficients.
    bool hasModel() const {
        const uint8_t kind = flags & kModelKindMask;
        return (flags & kModelPresentFlag) != 0 &&
               (kind == kLinearKind || kind == kPolynomialKind);
    }
};

DecodedCalibration decodeCalibrationRecord(const CalibrationRecord& record);

}  // namespace touchsdk
