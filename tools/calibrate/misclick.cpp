#include "misclick.h"

#include <algorithm>
#include <cmath>

namespace tsdcal {
namespace {

// How far a panel's scale may stray from the nominal one: a screen whose
// sensor covers only part of its range, or reaches past the display's edge.
constexpr double kLeastScale = 0.5;

}  // namespace

std::vector<MisclickGuard::Pair> MisclickGuard::pairsOf(bool screenX, bool alongX) const {
    std::vector<Pair> pairs;
    for (const auto& [target, touch] : accepted_) {
        pairs.push_back({alongX ? target.x : target.y, screenX ? touch.x : touch.y});
    }
    return pairs;
}

double MisclickGuard::axisError(const std::vector<Pair>& pairs, double along, double screen,
                                double g) {
    double meanA = 0.0;
    double meanS = 0.0;
    for (const Pair& p : pairs) {
        meanA += p.along;
        meanS += p.screen;
    }
    meanA /= static_cast<double>(pairs.size());
    meanS /= static_cast<double>(pairs.size());
    double saa = 0.0;
    double sas = 0.0;
    for (const Pair& p : pairs) {
        saa += (p.along - meanA) * (p.along - meanA);
        sas += (p.along - meanA) * (p.screen - meanS);
    }
    if (saa > 1e-9) {
        // A screen axis that barely moves, or races, along this display axis
        // is not the one that runs along it: the other way round explains
        // these touches.
        const double slope = sas / saa;
        if (std::abs(slope) < kLeastScale * g || std::abs(slope) > g / kLeastScale) return INFINITY;
        return std::abs(screen - (meanS + slope * (along - meanA)));
    }
    // All targets so far in one row or column: the direction is not known yet.
    return std::min(std::abs(screen - (meanS + g * (along - meanA))),
                    std::abs(screen - (meanS - g * (along - meanA))));
}

double MisclickGuard::error(const PointF& target, const PointF& touch, bool turned) const {
    const double ex = turned ? axisError(pairsOf(true, false), target.y, touch.x, nominal_.xPerY)
                             : axisError(pairsOf(true, true), target.x, touch.x, nominal_.xPerX);
    const double ey = turned ? axisError(pairsOf(false, true), target.x, touch.y, nominal_.yPerX)
                             : axisError(pairsOf(false, false), target.y, touch.y, nominal_.yPerY);
    return std::hypot(ex, ey);
}

bool MisclickGuard::plausible(const PointF& target, const PointF& touch) const {
    if (accepted_.empty()) return true;
    return std::min(error(target, touch, false), error(target, touch, true)) <= tolerance_;
}

void MisclickGuard::accept(const PointF& target, const PointF& touch) {
    accepted_.emplace_back(target, touch);
}

}  // namespace tsdcal
