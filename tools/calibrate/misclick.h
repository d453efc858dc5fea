#pragma once

#include <vector>

#include "geometry.h"

namespace tsdcal {

// Where a target's touch should land, in screen units, judged from the
// touches already accepted for earlier targets. The panel covers the output
// area, so each screen axis runs along the same display axis; with two or more
// distinct target positions along an axis its scale and offset come from a
// line through them. With fewer, the nominal scale is kept in either
// direction (many panels count one axis the other way) and only the offset
// is learnt. The first target has nothing to go by and is never a misclick.
class MisclickGuard {
public:
    // `nominal` maps display pixels to screen units as if the panel were
    // perfect; `tolerance` is the largest distance, in screen units,
    // accepted from the prediction.
    struct Nominal {
        double gx, ox, gy, oy;
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
    double axisError(const std::vector<Pair>& pairs, double along, double screen, double g,
                     double o) const;
    std::vector<Pair> pairsOf(bool screenX) const;

    Nominal nominal_;
    double tolerance_;
    std::vector<std::pair<PointF, PointF>> accepted_;  // target, touch
};

}  // namespace tsdcal
