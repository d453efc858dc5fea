#include "calibration/calibration_commands.h"

#include "common/result.h"
#include "protocol/block_transfer.h"
#include "protocol/command_frame.h"
#include "protocol/exchange.h"

namespace touchsdk {

namespace {

uint32_t readSlot(TouchScreenHandle handle, const RecordSlot& slot, uint8_t* out) {
    return readBlocks(handle, kControllerModule, slot.firstBlock, slot.blockCount, out,
                      slot.length);
}

uint32_t writeSlot(TouchScreenHandle handle, const RecordSlot& slot, const uint8_t* record) {
    return writeBlocks(handle, kControllerModule, slot.firstBlock, slot.blockCount, record,
                       slot.length);
}

}  // namespace

uint32_t readControllerParameters(TouchScreenHandle handle, ControllerParameters& out) {
    return readSlot(handle, kControllerParametersSlot, out.bytes().data());
}

uint32_t readPreviewCalibration(TouchScreenHandle handle, CalibrationRecord& out) {
    return readSlot(handle, kPreviewCalibrationSlot, out.data());
}

uint32_t writePreviewCalibration(TouchScreenHandle handle, const CalibrationRecord& record) {
    return writeSlot(handle, kPreviewCalibrationSlot, record.data());
}

uint32_t writeActiveCalibration(TouchScreenHandle handle, const CalibrationRecord& record) {
    return writeSlot(handle, kActiveCalibrationSlot, record.data());
}

uint32_t setCalibrationPreview(TouchScreenHandle handle, bool on) {
    const uint8_t data = on ? 1 : 0;
    const bool ok =
        exchangeCommand(handle, static_cast<uint8_t>(FrameType::Control), kControllerModule,
                        kCalibrationPreviewCommand, &data, 1, nullptr, nullptr);
    return commandResult(ok);
}

}  // namespace touchsdk
