#pragma once

#include <cstdint>
#include <cwchar>

#include "device/supported_devices.h"

namespace touchsdk {

// Internal shape of the enumeration callback: narrow syspath, wide serial.
using EnumerationCallback = void (*)(void* context, const char* syspath,
                                     const wchar_t* serialNumber);

// Reports every hidraw node whose USB IDs are in `devices` and whose report
// descriptor declares `reportId` (the command report's, so that commands
// can reach it), in libudev's order, on the caller's thread.
void enumerateTouchScreens(EnumerationCallback callback, void* context,
                           const SupportedDevice* devices, uint8_t reportId);

}  // namespace touchsdk
