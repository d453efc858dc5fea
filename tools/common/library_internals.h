#pragma once

// The tools' only door into the library's internals, for what the public
// functions do not reach: discovery's ID rules (to name a screen this user
// may not open), the screen's stored range, module list and calibration
// records, and the calibration model's arithmetic. These pieces are linked
// statically from the library's own sources; everything the public
// functions offer comes from the shared library, so the tools exercise the
// very library they ship with.
//
// A public TouchScreenHandle must never reach these functions: the static
// copy keeps its own state. A PrivateChannel opens the node a second time
// for them (feature reports are ioctls, so two descriptors on one node do
// not steal each other's answers).
#include <optional>
#include <string>

#include "calibration/calibration_commands.h"
#include "calibration/calibration_mapping.h"
#include "calibration/calibration_model.h"
#include "calibration/calibration_record.h"
#include "calibration/calibration_record_reading.h"
#include "common/result.h"
#include "device/device_handle.h"
#include "device/discovery.h"
#include "device/supported_devices.h"
#include "device/udev.h"
#include "protocol/block_transfer.h"
#include "protocol/command_frame.h"
#include "protocol/mode_commands.h"
#include "touchsdk.h"

namespace tsdtool {

class PrivateChannel {
public:
    // Fails (valid() false) when the node cannot be opened read-write.
    explicit PrivateChannel(const std::string& devnode);
    ~PrivateChannel();
    PrivateChannel(const PrivateChannel&) = delete;
    PrivateChannel& operator=(const PrivateChannel&) = delete;

    bool valid() const { return record_.fd >= 0; }
    // For the internal command functions only.
    TouchScreenHandle handle() { return touchsdk::handleOf(&record_); }

private:
    touchsdk::DeviceHandleRecord record_;
};

// The screen's own coordinate range, asked over a private channel.
std::optional<touchsdk::CalibrationRange> storedRange(const std::string& devnode);

}  // namespace tsdtool
