#include "press.h"

#include <algorithm>

namespace tsdcal {

double spreadOf(const std::vector<PointF>& points) {
    if (points.empty()) return 0.0;
    auto [minX, maxX] = std::minmax_element(points.begin(), points.end(),
                                            [](const PointF& a, const PointF& b) { return a.x < b.x; });
    auto [minY, maxY] = std::minmax_element(points.begin(), points.end(),
                                            [](const PointF& a, const PointF& b) { return a.y < b.y; });
    return std::max(maxX->x - minX->x, maxY->y - minY->y);
}

PointF medianOf(std::vector<PointF> points) {
    if (points.empty()) return {};
    auto middle = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        const std::size_t n = v.size();
        return n % 2 == 1 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2.0;
    };
    std::vector<double> xs;
    std::vector<double> ys;
    for (const PointF& p : points) {
        xs.push_back(p.x);
        ys.push_back(p.y);
    }
    return {middle(xs), middle(ys)};
}

void PressTracker::reset() {
    pressing_ = false;
    run_.clear();
    press_ = {};
}

std::optional<Press> PressTracker::feed(const TouchSample& sample) {
    if (!pressing_) {
        if (!sample.down) return std::nullopt;
        reset();
        pressing_ = true;
        id_ = sample.id;
        press_.downMs = sample.ms;
    }
    // A second finger on the glass does not move the first one's press.
    if (sample.id != id_) return std::nullopt;
    if (!sample.down) {
        pressing_ = false;
        press_.upMs = sample.ms;
        return press_;
    }
    run_.push_back({sample.x, sample.y});
    // The run restarts at the newest sample that leaves the spread.
    while (run_.size() > 1 && spreadOf(run_) > rules_.maxSpread) run_.erase(run_.begin());
    settle();
    return std::nullopt;
}

void PressTracker::settle() {
    if (run_.size() < rules_.minSamples) return;
    press_.stable = true;
    press_.median = medianOf(run_);
    press_.samples = run_.size();
    press_.spread = spreadOf(run_);
}

}  // namespace tsdcal
