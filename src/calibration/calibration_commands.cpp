#include "calibration/calibration_commands.h"

#include "protocol/command_frame.h"
#include "protocol/exchange.h"

namespace touchsdk {

namespace {

bool readSlot(TouchScreenHandle handle, const RecordSlot& slot, uint8_t* out) {
    return readBlocks(handle, kControllerModule, slot.firstBlock, slot.blockCount, out,
                      slot.length);
}

bool writeSlot(TouchScreenHandle handle, const RecordSlot& slot, const uint8_t* record) {
    return writeBlocks(handle, kControllerModule, slot.firstBlock, slot.blockCount, record,
                       slot.length);
}

}  // namespace

bool readControllerParameters(TouchScreenHandle handle, ControllerParameters& out) {
    return readSlot(handle, kControllerParametersSlot, out.bytes().data());
}

bool readPreviewCalibration(TouchScreenHandle handle, CalibrationRecord& out) {
    return readSlot(handle, kPreviewCalibrationSlot, out.data());
}

bool writePreviewCalibration(TouchScreenHandle handle, const CalibrationRecord& record) {
    return writeSlot(handle, kPreviewCalibrationSlot, record.data());
}

bool writeActiveCalibration(TouchScreenHandle handle, const CalibrationRecord& record) {
    return writeSlot(handle, kActiveCalibrationSlot, record.data());
}

bool setCalibrationPreview(TouchScreenHandle handle, bool on) {
    const uint8_t data = on ? 1 : 0;
    return exchangeCommand(
        handle, {CommandType::Control, kControllerModule, kCalibrationPreviewCommand, {&data, 1}});
}

}  // namespace touchsdk
