#pragma once

#include <vector>

#include "geometry.h"

namespace tsdcal {

// Where a target's touch should land, in screen units, judged from the
// touches already accepted for earlier targets. The panel covers the output
// area, and each screen axis runs along one display axis: the same one, or
// the other one on a panel mounted turned (which is what calibration is there
// to mend), so a touch is plausible if either way explains it. With two or
// more distinct target positions along a display axis, a screen axis's scale
// and offset come from a line through them. With fewer, the nominal scale is
// kept in either direction (many panels count one axis the other way) and
// only the offset is learnt. The first target has nothing to go by and is
// never a misclick.
class MisclickGuard {
public:
    // Screen units per display pixel as if the panel were perfect, for each
    // screen axis along each display axis; `tolerance` is the largest
    // distance, in screen units, accepted from the prediction.
    struct Nominal {
        double xPerX, yPerY, xPerY, yPerX;
    };
    MisclickGuard(const Nominal& nominal, double tolerance)
        : nominal_(nominal), tolerance_(tolerance) {}

    // `target` in display pixels, `touch` in screen units.
    bool plausible(const PointF& target, const PointF& touch) const;
    void accept(const PointF& target, const PointF& touch);
    void clear() { accepted_.clear(); }

private:
    struct Pair {
        double along;   // target coordinate along the display axis
        double screen;  // touch coordinate on the screen axis
    };
    // The distance of `screen` from the nearest prediction along one axis.
    static double axisError(const std::vector<Pair>& pairs, double along, double screen, double g);
    // The accepted touches' `screenX` (or y) coordinates against their
    // targets' x (`alongX`) or y coordinates.
    std::vector<Pair> pairsOf(bool screenX, bool alongX) const;
    double error(const PointF& target, const PointF& touch, bool turned) const;

    Nominal nominal_;
    double tolerance_;
    std::vector<std::pair<PointF, PointF>> accepted_;  // target, touch
};

}  // namespace tsdcal
