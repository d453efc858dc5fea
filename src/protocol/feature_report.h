#pragma once

#include <cstdint>

#include "protocol/command_frame.h"
#include "touchsdk.h"

namespace touchsdk {

// What one feature-report ioctl came to. Gone covers every error after
// which no later call on the node can succeed (the screen was unplugged or
// the descriptor is no longer a hidraw node); waiting and sending again
// would only make the caller wait for the same answer.
enum class FeatureIo : uint8_t { Done, Interrupted, Failed, Gone };

// HIDIOCSFEATURE / HIDIOCGFEATURE on the handle's node; Gone at once for a
// null handle. For a get the caller puts the report ID in byte 0 first.
[[nodiscard]] FeatureIo setFeatureReport(TouchScreenHandle handle, const FeatureReport& report);
[[nodiscard]] FeatureIo getFeatureReport(TouchScreenHandle handle, FeatureReport& report);

// The errno of a failed call, classified.
FeatureIo featureIoOfError(int error);

}  // namespace touchsdk
