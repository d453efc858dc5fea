#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>

// A screen's report descriptor must declare the command report ID.
#include "protocol/command_frame.h"

namespace touchsdk {

struct SupportedDevice {
    uint16_t vendorId;
    uint16_t productId;
};

// The screens of the product family, ended by an all-zero entry. An entry
// with only one zero value is an ordinary entry.
constexpr std::size_t kSupportedDeviceCount =
    std::initializer_list<int>{
#define TSD_SUPPORTED_DEVICE(vendor, product) 0,
#include "device/supported_devices.def"
#undef TSD_SUPPORTED_DEVICE
    }
        .size();
extern const std::array<SupportedDevice, kSupportedDeviceCount + 1> SupportedDeviceList;

bool isSupportedDevice(const SupportedDevice* list, uint16_t vendorId, uint16_t productId);

}  // namespace touchsdk
