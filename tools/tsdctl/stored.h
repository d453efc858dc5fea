#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "library_internals.h"

// What the screen stores that the public functions do not show: its module
// list, its own coordinate range and its calibration records.
// Each takes the handle of a tsdtool::PrivateChannel, never a public one.
namespace tsdctl {

std::optional<std::vector<uint8_t>> moduleList(TouchScreenHandle handle);
std::optional<touchsdk::CalibrationRange> screenRange(TouchScreenHandle handle);

// A calibration slot: a stored record, no record at all (the slot was never
// written), or no answer from the screen.
struct Slot {
    enum class State : uint8_t { Stored, Empty, NoAnswer } state = State::NoAnswer;
    touchsdk::DecodedCalibration record;
};

Slot activeCalibration(TouchScreenHandle handle);
Slot previewCalibration(TouchScreenHandle handle);

// 0 for a record without a model, else the polynomial's degree (1 to 3).
int degreeOf(const touchsdk::DecodedCalibration& calibration);

struct Position {
    double x = 0.0;
    double y = 0.0;
};

// Where the record puts a position the screen measured.
Position applyRecord(const touchsdk::DecodedCalibration& calibration, Position measured);

}  // namespace tsdctl
