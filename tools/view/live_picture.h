#pragma once

#include <cstdint>
#include <string>

#include "calibration/calibration_record.h"
#include "canvas.h"
#include "live_state.h"

namespace tsdview {

// The marks that a frame is read back by have colours used nowhere else.
namespace colors {
constexpr tsdcal::Color kGrid = 0x283038;
constexpr tsdcal::Color kCorner = 0x40C0FF;
constexpr tsdcal::Color kRing = 0xFFC000;
constexpr tsdcal::Color kRawMark = 0xFF40FF;
constexpr tsdcal::Color kTrail = 0x40E070;
constexpr tsdcal::Color kKeyLit = 0x2090FF;
constexpr tsdcal::Color kStatusBar = 0x000000;
}  // namespace colors

// What the status line says about the screen.
struct ScreenFacts {
    std::string serial;
    touchsdk::CalibrationRange range;  // the screen's units across the view
};

// Draws the picture of `state` at `nowMs` over all of `canvas`, the
// person's view.
void drawLive(tsdcal::Canvas& canvas, const LiveState& state, const ScreenFacts& facts,
              int64_t nowMs);

}  // namespace tsdview
