#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tsdemu {

// How the emulated screen's HID report descriptor declares (or fails to
// declare) the command report 0x55.
enum class DescriptorKind : uint8_t {
    CommandReport,         // a full descriptor with the item 85 55 inside
    NoCommandReport,       // another interface of a screen: no report 0x55
    CommandReportAtEnd,    // the only 85 55 is the descriptor's last two bytes
    LoneReportIdTagAtEnd,  // no 85 55; the last byte is a lone 0x85
};

// What the host sees of a screen before it speaks to it: USB identity, sysfs
// placement and report descriptor.
struct ScreenIdentity {
    uint16_t vendorId = 0xE2C4;
    uint16_t productId = 0x0001;
    std::optional<std::string> serial = std::string("EMU000001");
    std::string manufacturer = "Emulated";
    std::string product = "Emulated Touch Screen";
    DescriptorKind descriptor = DescriptorKind::CommandReport;
    bool usbAncestor = true;  // false: the hid device hangs off an i2c bus
    bool openable = true;     // false: the /dev node cannot be opened
    // A descriptor taken from a real screen (a recording); when present it
    // replaces the one `descriptor` would build.
    std::vector<uint8_t> recordedDescriptor;
};

std::vector<uint8_t> reportDescriptor(DescriptorKind kind);

}  // namespace tsdemu
