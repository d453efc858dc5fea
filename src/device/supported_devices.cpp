#include "device/supported_devices.h"

namespace touchsdk {

const std::array<SupportedDevice, kSupportedDeviceCount + 1> SupportedDeviceList = {{
#define TSD_SUPPORTED_DEVICE(vendor, product) {vendor, product},
#include "device/supported_devices.def"
#undef TSD_SUPPORTED_DEVICE
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
