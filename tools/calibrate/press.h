#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "geometry.h"

namespace tsdcal {

// One touch point as the screen reported it: raw (as measured) or through
// the calibration in force.
struct TouchSample {
    bool raw = true;
    bool down = true;
    uint8_t id = 0;
    double x = 0.0;
    double y = 0.0;
    double width = 0.0;  // the contact's size in screen units; 0: not reported
    double height = 0.0;
    uint16_t scanTime = 0;  // shared by the contacts of one report
    int64_t ms = 0;         // arrival, steady clock
};

struct PressRules {
    std::size_t minSamples = 5;
    // Largest extent, per axis, of the samples of a stable press.
    double maxSpread = 20.0;
};

// The outcome of one press, known when the finger lifts.
struct Press {
    bool stable = false;
    PointF median;  // of the stable samples
    std::size_t samples = 0;
    double spread = 0.0;  // per-axis extent of the stable samples
    int64_t downMs = 0;
    int64_t upMs = 0;
};

// Follows the first contact of a press from touch-down to lift. A press is
// stable once `minSamples` consecutive samples stay within `maxSpread`; the
// last such run is kept, so a finger that slides in and settles counts
// where it settled.
class PressTracker {
public:
    explicit PressTracker(const PressRules& rules) : rules_(rules) {}

    // Feeds one sample of the wanted kind; returns the press when it ends.
    std::optional<Press> feed(const TouchSample& sample);
    bool pressing() const { return pressing_; }
    void reset();

private:
    void settle();

    PressRules rules_;
    bool pressing_ = false;
    uint8_t id_ = 0;
    std::vector<PointF> run_;
    Press press_;
};

// Per-axis extent of points and the per-axis median.
double spreadOf(const std::vector<PointF>& points);
PointF medianOf(const std::vector<PointF>& points);

}  // namespace tsdcal
