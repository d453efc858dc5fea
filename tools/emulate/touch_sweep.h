#pragma once

#include <atomic>

#include "screen_set.h"

namespace tsdemu {

// The finger of --touch: one contact stroking back and forth across the
// diagonals of `range` (the screen's own units), `rateHz` positions a
// second. Each position is a touch command like a control line's, so the
// sensor's warp and the calibration in force apply and raw reports go
// with the touches. Runs until the screen set is stopped; an unplugged
// screen is skipped until it is back.
void sweepTouches(ScreenSet& screens, unsigned number, const touchsdk::CalibrationRange& range,
                  double rateHz);

}  // namespace tsdemu
