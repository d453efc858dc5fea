#include "misclick.h"

#include <cmath>

namespace tsdcal {

std::vector<MisclickGuard::Pair> MisclickGuard::pairsOf(bool screenX) const {
    std::vector<Pair> pairs;
    for (const auto& [target, touch] : accepted_) {
        pairs.push_back({screenX ? target.x : target.y, screenX ? touch.x : touch.y});
    }
    return pairs;
}

double MisclickGuard::axisError(const std::vector<Pair>& pairs, double along, double screen,
                                double g, double o) const {
    if (pairs.empty()) return std::abs(screen - (g * along + o));
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
    if (saa > 1e-9) return std::abs(screen - (meanS + sas / saa * (along - meanA)));
    // All targets so far in one row or column: the direction is not known yet.
    return std::min(std::abs(screen - (meanS + g * (along - meanA))),
                    std::abs(screen - (meanS - g * (along - meanA))));
}

bool MisclickGuard::plausible(const PointF& target, const PointF& touch) const {
    if (accepted_.empty()) return true;
    const double ex = axisError(pairsOf(true), target.x, touch.x, nominal_.gx, nominal_.ox);
    const double ey = axisError(pairsOf(false), target.y, touch.y, nominal_.gy, nominal_.oy);
    return std::hypot(ex, ey) <= tolerance_;
}

void MisclickGuard::accept(const PointF& target, const PointF& touch) {
    accepted_.emplace_back(target, touch);
}

}  // namespace tsdcal
