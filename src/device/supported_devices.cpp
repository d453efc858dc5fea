#include "device/supported_devices.h"

namespace touchsdk {

// Published in README.md; keep the two in step.
const std::array<SupportedDevice, kSupportedDeviceCount + 1> SupportedDeviceList = {{
    {0xE2C4, 0x0001},
    {0xE2C4, 0x0002},
    {0xE2C4, 0x0010},
    {0xE2C4, 0x0011},
    {0xE2C4, 0x0020},
    {0xE2C4, 0x8000},
    {0xE2C4, 0xA0F3},
    {0x9B07, 0x0100},
    {0x9B07, 0x0101},
    {0x9B07, 0xC3D2},
    {0x0000, 0x0000},
}};

bool isSupportedDevice(const SupportedDevice* list, uint16_t vendorId, uint16_t productId) {
    for (const SupportedDevice* entry = list; entry->vendorId != 0 || entry->productId != 0;
         ++entry) {
        if (entry->vendorId == vendorId && entry->productId == productId) return true;
    }
    return false;
}

}  // namespace touchsdk
