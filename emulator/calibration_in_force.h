#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "calibration/calibration_record.h"
#include "calibration/calibration_record_reading.h"
#include "sensor.h"

namespace tsdemu {

// The screen's side of calibration: which stored record it applies and how.
// Slot images are the raw bytes of a slot's blocks: marker byte, record,
// filler.
constexpr std::size_t kCalibrationSlotImageSize = std::size_t{6} * 32;
static_assert(kCalibrationSlotImageSize > touchsdk::kCalibrationRecordSize);
constexpr std::size_t kControllerParametersImageSize = std::size_t{5} * 32;
static_assert(kControllerParametersImageSize > touchsdk::kControllerParametersSize);

// The record held by a slot image; nullopt when it carries no marker.
std::optional<touchsdk::CalibrationRecord> recordOfImage(const uint8_t* image);

// The calibration a screen applies: the preview record while the switch is
// on; otherwise the active record if it is valid. nullopt: none applies.
std::optional<touchsdk::DecodedCalibration> calibrationInForce(const uint8_t* activeImage,
                                                               const uint8_t* previewImage,
                                                               bool previewOn);

// Evaluates the record's polynomials at a measured position, in record term
// order; a record without a model leaves the position as it is.
SensorPosition applyCalibration(const touchsdk::DecodedCalibration& calibration,
                                const SensorPosition& measured);

// The image of the controller parameters as the screen is made with them:
// marker, zeros, and the coordinate range at record bytes 16-31.
std::array<uint8_t, kControllerParametersImageSize> controllerParametersImage(
    const touchsdk::CalibrationRange& range);

}  // namespace tsdemu
