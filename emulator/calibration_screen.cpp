// The calibration side of the emulated screen: its stated coordinate range,
// its sensor, and the touch reports it makes through the stored calibration.
#include "calibration_in_force.h"
#include "screen_model.h"

namespace tsdemu {

namespace {

std::vector<uint8_t> slotImage(const BlockStorage& blocks, uint16_t first, uint16_t count) {
    std::vector<uint8_t> image;
    for (uint16_t k = 0; k < count; ++k) {
        const Block block = blocks.read(static_cast<uint16_t>(first + k));
        image.insert(image.end(), block.begin(), block.end());
    }
    return image;
}

}  // namespace

void ScreenModel::setCoordinateRange(const touchsdk::CalibrationRange& range) {
    const auto image = controllerParametersImage(range);
    std::lock_guard<std::mutex> lock(mutex_);
    BlockStorage& blocks = moduleLocked(kControllerModule).blocks;
    for (uint16_t k = 0; k < calibration_blocks::kControllerParametersCount; ++k) {
        blocks.write(static_cast<uint16_t>(calibration_blocks::kControllerParameters + k), 0,
                     &image[k * kBlockBytes], kBlockBytes);
    }
    sensor_.setRange(range);
}

void ScreenModel::setSensorWarp(const SensorWarp& warp) {
    std::lock_guard<std::mutex> lock(mutex_);
    sensor_.setWarp(warp);
}

SensorReports ScreenModel::touchReportAt(double trueX, double trueY, const Contact& contact) {
    namespace slots = calibration_blocks;
    std::lock_guard<std::mutex> lock(mutex_);
    const BlockStorage& blocks = moduleLocked(kControllerModule).blocks;
    const auto active = slotImage(blocks, slots::kActive, slots::kSlotCount);
    const auto preview = slotImage(blocks, slots::kPreview, slots::kSlotCount);
    const StoredCalibration stored{active.data(), preview.data(), state_.previewSwitch == 1};
    return sensor_.reportsAt(trueX, trueY, contact, stored, scanTime_++);
}

}  // namespace tsdemu
