#pragma once

#include <cstdint>

#include "calibration/calibration_record.h"
#include "protocol/block_transfer.h"
#include "touchsdk.h"

namespace touchsdk {

// Where the controller module keeps its records, in blocks.
struct RecordSlot {
    uint16_t firstBlock;
    uint16_t blockCount;
    int32_t length;
};
constexpr RecordSlot kControllerParametersSlot{1, 5, kControllerParametersSize};
constexpr RecordSlot kActiveCalibrationSlot{6, 6, kCalibrationRecordSize};
constexpr RecordSlot kPreviewCalibrationSlot{22, 6, kCalibrationRecordSize};

// A slot image holds a marker byte before the record, so the record must be
// shorter than the slot's blocks.
constexpr bool fitsSlot(const RecordSlot& slot) {
    return slot.length < slot.blockCount * kBlockSize;
}
static_assert(fitsSlot(kControllerParametersSlot) && fitsSlot(kActiveCalibrationSlot) &&
              fitsSlot(kPreviewCalibrationSlot));
static_assert(kActiveCalibrationSlot.firstBlock + kActiveCalibrationSlot.blockCount <=
              kPreviewCalibrationSlot.firstBlock);

// Switches the screen between its active (off) and preview (on) record.
constexpr uint8_t kCalibrationPreviewCommand = 0xE5;

// Each answers true on success.
[[nodiscard]] bool readControllerParameters(TouchScreenHandle handle, ControllerParameters& out);
[[nodiscard]] bool readPreviewCalibration(TouchScreenHandle handle, CalibrationRecord& out);
[[nodiscard]] bool writePreviewCalibration(TouchScreenHandle handle,
                                           const CalibrationRecord& record);
[[nodiscard]] bool writeActiveCalibration(TouchScreenHandle handle,
                                          const CalibrationRecord& record);
[[nodiscard]] bool setCalibrationPreview(TouchScreenHandle handle, bool on);

}  // namespace touchsdk
