#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "screen_identity.h"

namespace tsdemu {

// Where the kernel puts a plugged screen: its USB port and device number,
// the HID instance (one more for every HID device the kernel has made) and
// the minor numbers of its hidraw and hiddev nodes.
struct ScreenPlacement {
    unsigned port = 1;
    unsigned devnum = 2;
    unsigned hidInstance = 1;
    unsigned hidrawMinor = 0;
    unsigned hiddevMinor = 0;
};

// "/sys/devices/..." of each device; usb and hiddev are empty for a screen
// without a USB ancestor, whose `parent` is then its i2c device.
struct ScreenPaths {
    std::string usb, parent, hiddev, hid, hidraw;
    std::string devnode;  // "/dev/hidrawN"
};

ScreenPaths screenPaths(const ScreenIdentity& id, const ScreenPlacement& at);

// The strings the kernel's HID core keeps and the name ioctls answer:
// "Manufacturer Product", the physical path, the serial; each cut to the
// kernel's buffer.
std::string hidName(const ScreenIdentity& identity);
std::string hidPhys(const ScreenIdentity& id, const ScreenPlacement& at);
std::string hidUniq(const ScreenIdentity& identity);

// umockdev's text format for the whole device tree, parents first.
std::string sysfsRecord(const ScreenIdentity& id, const std::vector<uint8_t>& descriptor,
                        const ScreenPlacement& at, const ScreenPaths& paths);

bool isPlainAscii(const std::string& text);

}  // namespace tsdemu
