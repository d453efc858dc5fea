#pragma once

#include <cstdint>
#include <cwchar>
#include <string>
#include <vector>

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

// The sysfs paths of the hidraw nodes whose IDs, as udev states them, are in
// `devices`, in libudev's order, without opening any node. Discovery leaves
// out a screen whose node this user may not open; the tools use this to tell
// the person that access, not the screen, is missing.
std::vector<std::string> supportedNodesByIds(const SupportedDevice* devices);

}  // namespace touchsdk
