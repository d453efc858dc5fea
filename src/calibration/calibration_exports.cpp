#include <optional>
#include <vector>

#include "calibration/calibration_commands.h"
#include "calibration/calibration_mapping.h"
#include "calibration/calibration_model.h"
#include "common/result.h"
#include "device/device_handle.h"

namespace touchsdk {

namespace {

// Caller input that could never give a usable record is refused before the
// screen is spoken to.
bool isUsableInput(const CalibrationRange& range, const CalibrationPoint* points, uint32_t count) {
    if (count != 0 && points == nullptr) return false;
    if (!isUsableCallerRange(range)) return false;
    for (uint32_t i = 0; i < count; ++i) {
        if (!isFinitePoint(points[i])) return false;
    }
    return true;
}

std::optional<CalibrationRecord> computeRecord(const CalibrationRange& screen,
                                               const CalibrationRange& caller,
                                               const CalibrationPoint* points, uint32_t count) {
    const std::optional<TargetMapping> mapping = makeTargetMapping(screen, caller);
    if (!mapping) return std::nullopt;
    const auto samples = mapSamples(*mapping, points, count);
    if (!samples) return std::nullopt;
    CalibrationModel model;
    if (buildCalibrationModel(samples->data(), samples->size(), model) != FitStatus::Ok) {
        return std::nullopt;
    }
    if (!isFiniteModel(model)) return std::nullopt;
    return encodeCalibrationRecord(model, 1);
}

bool previewCalibration(TouchScreenHandle handle, const CalibrationRange& caller,
                        const CalibrationPoint* points, uint32_t count) {
    ControllerParameters parameters;
    if (!readControllerParameters(handle, parameters)) return false;
    const auto record = computeRecord(parameters.range(), caller, points, count);
    if (!record) return false;
    if (!writePreviewCalibration(handle, *record)) return false;
    return setCalibrationPreview(handle, true);
}

bool applyPreview(TouchScreenHandle handle) {
    CalibrationRecord record{};
    if (!readPreviewCalibration(handle, record)) return false;
    if (!writeActiveCalibration(handle, record)) return false;
    return setCalibrationPreview(handle, false);
}

bool resetCalibration(TouchScreenHandle handle) {
    if (!writeActiveCalibration(handle, resetCalibrationRecord())) return false;
    return setCalibrationPreview(handle, false);
}

// One export as a unit on its screen, with no exception crossing the C
// boundary.
template <typename Body>
TsdResult lockedCalibration(TouchScreenHandle handle, Body&& body) {
    return guardedExport([&]() -> TsdResult { return toResult(withCommandLock(handle, body)); });
}

}  // namespace

}  // namespace touchsdk

using namespace touchsdk;

extern "C" TSD_API TsdResult TsdCalibrationFullScreenPreview(TouchScreenHandle handle, float xBegin,
                                                             float xEnd, float yBegin, float yEnd,
                                                             const CalibrationPoint* points,
                                                             uint32_t count) noexcept {
    const CalibrationRange caller{xBegin, xEnd, yBegin, yEnd};
    if (!isUsableInput(caller, points, count)) return TSD_FAILURE;
    return lockedCalibration(handle,
                             [&] { return previewCalibration(handle, caller, points, count); });
}

extern "C" TSD_API TsdResult TsdCalibrationCancelPreview(TouchScreenHandle handle) noexcept {
    return lockedCalibration(handle, [&] { return setCalibrationPreview(handle, false); });
}

extern "C" TSD_API TsdResult TsdCalibrationApplyPreview(TouchScreenHandle handle) noexcept {
    return lockedCalibration(handle, [&] { return applyPreview(handle); });
}

extern "C" TSD_API TsdResult TsdCalibrationReset(TouchScreenHandle handle) noexcept {
    return lockedCalibration(handle, [&] { return resetCalibration(handle); });
}
