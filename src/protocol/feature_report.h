#pragma once

#include <cstddef>
#include <cstdint>

#include "touchsdk.h"

namespace touchsdk {

// HIDIOCSFEATURE / HIDIOCGFEATURE on the handle's node. True when the ioctl
// succeeded; false at once for a null handle. For a get the caller puts the
// report ID in byte 0 first.
bool setFeatureReport(TouchScreenHandle handle, const uint8_t* report, std::size_t length);
bool getFeatureReport(TouchScreenHandle handle, uint8_t* report, std::size_t length);

// Sleeps `ms` milliseconds; 0 only yields the processor.
void sleepMilliseconds(uint8_t ms);

}  // namespace touchsdk
