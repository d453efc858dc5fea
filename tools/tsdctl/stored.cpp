#include "stored.h"

#include <array>


namespace tsdctl {

std::optional<std::vector<uint8_t>> moduleList(TouchScreenHandle handle) {
    std::array<uint8_t, 255> list{};
    auto count = static_cast<uint8_t>(list.size());
    if (!touchsdk::getModuleList(handle, touchsdk::kControllerModule, list.data(), &count)) {
        return std::nullopt;
    }
    return std::vector<uint8_t>(list.begin(), list.begin() + count);
}

std::optional<touchsdk::CalibrationRange> screenRange(TouchScreenHandle handle) {
    touchsdk::ControllerParameters parameters;
    if (!touchsdk::readControllerParameters(handle, parameters)) return std::nullopt;
    return parameters.range();
}

namespace {

// A slot read fails alike for silence and for a slot without its marker;
// its first block tells the two apart.
Slot readSlot(TouchScreenHandle handle, const touchsdk::RecordSlot& slot) {
    using touchsdk::kControllerModule;
    Slot result;
    touchsdk::CalibrationRecord record{};
    if (touchsdk::readBlocks(handle, kControllerModule, slot.firstBlock, slot.blockCount,
                             record.data(), slot.length)) {
        result.state = Slot::State::Stored;
        result.record = touchsdk::decodeCalibrationRecord(record);
        return result;
    }
    std::array<uint8_t, touchsdk::kBlockSize> first{};
    if (touchsdk::beginBlockTransfer(handle, kControllerModule, 0, 0) &&
        touchsdk::readBlock(handle, kControllerModule, touchsdk::blockAddress(slot.firstBlock),
                            first.data(), touchsdk::kBlockSize) &&
        first[0] != touchsdk::kRecordMarker) {
        result.state = Slot::State::Empty;
    }
    return result;
}

}  // namespace

Slot activeCalibration(TouchScreenHandle handle) {
    return readSlot(handle, touchsdk::kActiveCalibrationSlot);
}

Slot previewCalibration(TouchScreenHandle handle) {
    return readSlot(handle, touchsdk::kPreviewCalibrationSlot);
}

int degreeOf(const touchsdk::DecodedCalibration& calibration) {
    if (!calibration.hasModel()) return 0;
    if ((calibration.flags & touchsdk::kModelKindMask) == touchsdk::kLinearKind) return 1;
    for (std::size_t term = 6; term < touchsdk::kTermsPerAxis; ++term) {
        if (calibration.x[term] != 0.0 || calibration.y[term] != 0.0) return 3;
    }
    return 2;
}

Position applyRecord(const touchsdk::DecodedCalibration& calibration, Position measured) {
    if (!calibration.hasModel()) return measured;
    const double x = measured.x;
    const double y = measured.y;
    // Record term order: 1, y, x, x*y, y^2, x^2, y^3, x*y^2, x^2*y, x^3.
    const std::array<double, touchsdk::kTermsPerAxis> terms = {
        1.0, y, x, x * y, y * y, x * x, y * y * y, x * y * y, x * x * y, x * x * x};
    Position out;
    for (std::size_t k = 0; k < terms.size(); ++k) {
        out.x += calibration.x[k] * terms[k];
        out.y += calibration.y[k] * terms[k];
    }
    return out;
}

}  // namespace tsdctl
