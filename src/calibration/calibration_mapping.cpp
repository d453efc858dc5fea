#include "calibration/calibration_mapping.h"

#include <cmath>

namespace touchsdk {

namespace {

bool allFinite(std::initializer_list<float> values) {
    for (const float v : values) {
        if (!std::isfinite(v)) return false;
    }
    return true;
}

bool isFiniteRange(const CalibrationRange& r) {
    return allFinite({r.xBegin, r.xEnd, r.yBegin, r.yEnd});
}

bool isFiniteSample(const WorkingSample& s) {
    return std::isfinite(s.x) && std::isfinite(s.y) && std::isfinite(s.u) && std::isfinite(s.v);
}

}  // namespace

bool isUsableCallerRange(const CalibrationRange& range) {
    return isFiniteRange(range) && range.xBegin != range.xEnd && range.yBegin != range.yEnd;
}

bool isFinitePoint(const CalibrationPoint& point) {
    return allFinite({point.touchX, point.touchY, point.targetX, point.targetY});
}

std::optional<TargetMapping> makeTargetMapping(const CalibrationRange& screen,
                                               const CalibrationRange& caller) {
    if (!isFiniteRange(screen) || !isUsableCallerRange(caller)) return std::nullopt;
    TargetMapping m;
    m.gx = (screen.xEnd - screen.xBegin) / (caller.xEnd - caller.xBegin);
    m.ox = screen.xBegin - m.gx * caller.xBegin;
    m.gy = (screen.yEnd - screen.yBegin) / (caller.yEnd - caller.yBegin);
    m.oy = screen.yBegin - m.gy * caller.yBegin;
    if (!allFinite({m.gx, m.ox, m.gy, m.oy})) return std::nullopt;
    return m;
}

WorkingSample mapSample(const TargetMapping& mapping, const CalibrationPoint& point) {
    const float u = mapping.gx * point.targetX + mapping.ox;
    const float v = mapping.gy * point.targetY + mapping.oy;
    return {point.touchX, point.touchY, u, v};
}

std::optional<std::vector<WorkingSample>> mapSamples(const TargetMapping& mapping,
                                                     const CalibrationPoint* points,
                                                     std::size_t count) {
    std::vector<WorkingSample> samples;
    samples.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        samples.push_back(mapSample(mapping, points[i]));
        if (!isFiniteSample(samples.back())) return std::nullopt;
    }
    return samples;
}

}  // namespace touchsdk
