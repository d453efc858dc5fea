#pragma once

#include <array>
#include <cstdint>

// A screen's report descriptor must declare the command report ID.
#include "protocol/command_frame.h"

namespace touchsdk {

struct SupportedDevice {
    uint16_t vendorId;
    uint16_t productId;
};

// The screens of the product family, ended by an all-zero entry. An entry
// with only one zero value is an ordinary entry.
constexpr std::size_t kSupportedDeviceCount = 0
#define TSD_SUPPORTED_DEVICE(vendor, product) +1
#include "device/supported_devices.def"
#undef TSD_SUPPORTED_DEVICE
    ;
extern const std::array<SupportedDevice, kSupportedDeviceCount + 1> SupportedDeviceList;

bool isSupportedDevice(const SupportedDevice* list, uint16_t vendorId, uint16_t productId);

}  // namespace touchsdk
