#include "screen_sysfs.h"

#include <algorithm>
#include <cstdio>

namespace tsdemu {
namespace {

constexpr unsigned kHidrawMajor = 242;
constexpr unsigned kUsbMiscMajor = 180;
constexpr unsigned kHiddevMinorBase = 96;
// The host controller the screens hang off, as usb_make_path() names it.
constexpr const char* kController = "0000:00:14.0";
// Sizes of the HID core's name, phys and uniq buffers, NUL included.
constexpr std::size_t kNameSize = 128;
constexpr std::size_t kPhysSize = 64;
constexpr std::size_t kUniqSize = 64;

std::string format(const char* pattern, unsigned a, unsigned b = 0, unsigned c = 0) {
    char buffer[256];
    std::snprintf(buffer, sizeof buffer, pattern, a, b, c);
    return buffer;
}

std::string cut(const std::string& text, std::size_t bufferSize) {
    return text.substr(0, std::min(text.size(), bufferSize - 1));
}

std::string hexBytes(const std::vector<uint8_t>& bytes) {
    std::string text;
    char pair[4];
    for (uint8_t byte : bytes) {
        std::snprintf(pair, sizeof pair, "%02x", byte);
        text += pair;
    }
    return text;
}

std::string usbRecord(const ScreenIdentity& id, const ScreenPlacement& at,
                      const ScreenPaths& paths) {
    std::string text = "P: " + paths.usb.substr(4) + "\nE: SUBSYSTEM=usb\nE: DEVTYPE=usb_device\n";
    text += format("A: idVendor=%04x\nA: idProduct=%04x\n", id.vendorId, id.productId);
    text += format("A: busnum=1\nA: devnum=%u\nA: devpath=%u\n", at.devnum, at.port);
    text += "A: manufacturer=" + id.manufacturer + "\nA: product=" + id.product + "\n";
    if (id.serial && isPlainAscii(*id.serial)) text += "A: serial=" + *id.serial + "\n";
    text += "\nP: " + paths.parent.substr(4) +
            "\nE: SUBSYSTEM=usb\nE: DEVTYPE=usb_interface\nE: INTERFACE=3/0/0\n"
            "A: bInterfaceClass=03\n\n";
    // hiddev: the HID core's other node, a sibling of the hid device.
    text += "P: " + paths.hiddev.substr(4) + "\nE: SUBSYSTEM=usbmisc\n";
    const unsigned minor = kHiddevMinorBase + at.hiddevMinor;
    text += format("E: DEVNAME=/dev/usb/hiddev%u\nE: MAJOR=%u\nE: MINOR=%u\n", at.hiddevMinor,
                   kUsbMiscMajor, minor);
    text += format("A: dev=%u:%u\n\n", kUsbMiscMajor, minor);
    return text;
}

}  // namespace

bool isPlainAscii(const std::string& text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= 0x20 && c < 0x7F; });
}

ScreenPaths screenPaths(const ScreenIdentity& id, const ScreenPlacement& at) {
    ScreenPaths paths;
    if (id.usbAncestor) {
        paths.usb =
            std::string("/sys/devices/pci0000:00/") + kController + format("/usb1/1-%u", at.port);
        paths.parent = paths.usb + format("/1-%u:1.0", at.port);
        paths.hiddev = paths.parent + format("/usbmisc/hiddev%u", at.hiddevMinor);
    } else {
        paths.parent =
            format("/sys/devices/platform/i2c_designware.0/i2c-1/i2c-TSC%04u:00", at.port);
    }
    paths.hid = paths.parent +
                format("/%04X:%04X:%04X", id.usbAncestor ? 3U : 0x18U, id.vendorId, id.productId) +
                format(".%04X", at.hidInstance);
    paths.hidraw = paths.hid + format("/hidraw/hidraw%u", at.hidrawMinor);
    paths.devnode = format("/dev/hidraw%u", at.hidrawMinor);
    return paths;
}

std::string hidName(const ScreenIdentity& id) {
    return cut(id.manufacturer + " " + id.product, kNameSize);
}

std::string hidPhys(const ScreenIdentity& id, const ScreenPlacement& at) {
    if (!id.usbAncestor) return cut(format("i2c-TSC%04u:00", at.port), kPhysSize);
    return cut(std::string("usb-") + kController + format("-%u/input0", at.port), kPhysSize);
}

std::string hidUniq(const ScreenIdentity& id) {
    return id.usbAncestor && id.serial ? cut(*id.serial, kUniqSize) : std::string();
}

std::string sysfsRecord(const ScreenIdentity& id, const std::vector<uint8_t>& descriptor,
                        const ScreenPlacement& at, const ScreenPaths& paths) {
    std::string text = id.usbAncestor ? usbRecord(id, at, paths)
                                      : "P: " + paths.parent.substr(4) + "\nE: SUBSYSTEM=i2c\n\n";
    text += "P: " + paths.hid.substr(4) + "\nE: SUBSYSTEM=hid\n";
    text += format("E: HID_ID=%04X:%08X:%08X\n", id.usbAncestor ? 3U : 0x18U, id.vendorId,
                   id.productId);
    text += "E: HID_NAME=" + hidName(id) + "\nE: HID_PHYS=" + hidPhys(id, at) + "\n";
    const std::string uniq = hidUniq(id);
    if (!uniq.empty() && isPlainAscii(uniq)) text += "E: HID_UNIQ=" + uniq + "\n";
    text += "H: report_descriptor=" + hexBytes(descriptor) + "\n\n";
    // DEVNAME gives udev_device_get_devnode(), MAJOR/MINOR get_devnum().
    text += "P: " + paths.hidraw.substr(4) + "\nE: SUBSYSTEM=hidraw\nE: DEVNAME=" + paths.devnode;
    text += format("\nE: MAJOR=%u\nE: MINOR=%u\n", kHidrawMajor, at.hidrawMinor);
    text += format("A: dev=%u:%u\n", kHidrawMajor, at.hidrawMinor);
    return text;
}

}  // namespace tsdemu
