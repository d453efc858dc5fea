#include "device/discovery.h"

#include <fcntl.h>
#include <linux/hidraw.h>
#include <sys/ioctl.h>

#include <array>
#include <cstdio>
#include <optional>

#include "common/unique_fd.h"
#include "device/report_descriptor.h"
#include "device/udev.h"
#include "device/wide_string.h"

namespace touchsdk {
namespace {

bool hasSupportedIds(int fd, const SupportedDevice* devices) {
    hidraw_devinfo info{};
    if (::ioctl(fd, HIDIOCGRAWINFO, &info) < 0) return false;
    // The kernel declares the IDs signed; they are 16-bit unsigned values.
    return isSupportedDevice(devices, static_cast<uint16_t>(info.vendor),
                             static_cast<uint16_t>(info.product));
}

bool declaresCommandReport(int fd, uint8_t reportId) {
    int size = 0;
    if (::ioctl(fd, HIDIOCGRDESCSIZE, &size) < 0 || size <= 0) return false;
    hidraw_report_descriptor descriptor{};
    descriptor.size = static_cast<uint32_t>(size) < HID_MAX_DESCRIPTOR_SIZE
                          ? static_cast<uint32_t>(size)
                          : static_cast<uint32_t>(HID_MAX_DESCRIPTOR_SIZE);
    if (::ioctl(fd, HIDIOCGRDESC, &descriptor) < 0) return false;
    return declaresReportId(descriptor.value, descriptor.size, reportId);
}

// udev states the IDs that HIDIOCGRAWINFO gives in the HID parent's
// HID_ID ("BBBB:VVVVVVVV:PPPPPPPP", hex), both taken from the same kernel
// device. Reading them there spares opening every other HID device of the
// system, which on USB also wakes each one from autosuspend.
std::optional<bool> udevSaysSupported(const UdevDevice& device, const SupportedDevice* devices) {
    const char* hidId = device.ancestor("hid").property("HID_ID");
    if (hidId == nullptr) return std::nullopt;
    unsigned bus = 0;
    unsigned vendor = 0;
    unsigned product = 0;
    char end = 0;
    if (std::sscanf(hidId, "%x:%x:%x%c", &bus, &vendor, &product, &end) != 3) return std::nullopt;
    if (vendor > 0xFFFF || product > 0xFFFF) return std::nullopt;
    return isSupportedDevice(devices, static_cast<uint16_t>(vendor),
                             static_cast<uint16_t>(product));
}

// Only a definite answer counts: a device udev says nothing clear about is
// opened and asked.
bool udevRulesOut(const UdevDevice& device, const SupportedDevice* devices) {
    return udevSaysSupported(device, devices) == false;
}

void reportIfQualifies(const UdevContext& context, const char* syspath,
                       EnumerationCallback callback, void* callbackContext,
                       const SupportedDevice* devices, uint8_t reportId) {
    const UdevDevice device = UdevDevice::fromSyspath(context, syspath);
    const char* node = device.devnode();
    if (node == nullptr || udevRulesOut(device, devices)) return;
    // The node has the last word on the IDs.
    const UniqueFd fd(::open(node, O_RDWR | O_CLOEXEC));
    if (!fd) return;
    if (!hasSupportedIds(fd.get(), devices)) return;
    if (!declaresCommandReport(fd.get(), reportId)) return;
    const UdevDevice usb = device.usbDevice();
    if (!usb.valid()) return;
    if (callback == nullptr) return;
    // The node stays open while the callback runs; it may open the device.
    const WideString serial = WideFromNarrow(usb.sysattr("serial"));
    callback(callbackContext, syspath, serial.get());
}

}  // namespace

void enumerateTouchScreens(EnumerationCallback callback, void* context,
                           const SupportedDevice* devices, uint8_t reportId) {
    const UdevContext udevContext;
    if (!udevContext.valid()) return;
    const UdevEnumeration enumeration(udevContext);
    for (UdevListEntry entry = enumeration.first(); entry.valid(); entry = entry.next()) {
        reportIfQualifies(udevContext, entry.name(), callback, context, devices, reportId);
    }
}

std::vector<std::string> supportedNodesByIds(const SupportedDevice* devices) {
    std::vector<std::string> syspaths;
    const UdevContext udevContext;
    if (!udevContext.valid()) return syspaths;
    const UdevEnumeration enumeration(udevContext);
    for (UdevListEntry entry = enumeration.first(); entry.valid(); entry = entry.next()) {
        const UdevDevice device = UdevDevice::fromSyspath(udevContext, entry.name());
        if (device.devnode() != nullptr && udevSaysSupported(device, devices) == true) {
            syspaths.emplace_back(entry.name());
        }
    }
    return syspaths;
}

}  // namespace touchsdk
