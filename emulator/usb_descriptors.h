#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "screen_identity.h"

// The screen as a full-speed USB device: one configuration, one HID
// interface with one interrupt IN endpoint.
namespace tsdemu::usb {

namespace descriptor_type {
constexpr uint8_t kDevice = 0x01;
constexpr uint8_t kConfiguration = 0x02;
constexpr uint8_t kString = 0x03;
constexpr uint8_t kInterface = 0x04;
constexpr uint8_t kEndpoint = 0x05;
constexpr uint8_t kHid = 0x21;
constexpr uint8_t kReport = 0x22;
}  // namespace descriptor_type

constexpr std::size_t kDeviceDescriptorSize = 18;
constexpr std::size_t kConfigurationDescriptorSize = 9;
constexpr std::size_t kInterfaceDescriptorSize = 9;
constexpr std::size_t kHidDescriptorSize = 9;
constexpr std::size_t kEndpointDescriptorSize = 7;
constexpr std::size_t kConfigurationTotalSize = kConfigurationDescriptorSize +
                                                kInterfaceDescriptorSize + kHidDescriptorSize +
                                                kEndpointDescriptorSize;
static_assert(kConfigurationTotalSize == 34, "configuration, interface, HID and endpoint");

constexpr uint8_t kInterruptInEndpoint = 0x81;
constexpr uint8_t kConfigurationValue = 1;
constexpr uint8_t kInterfaceNumber = 0;

// String indexes; the serial's is 0 (none) for a screen that has no serial.
constexpr uint8_t kManufacturerString = 1;
constexpr uint8_t kProductString = 2;
constexpr uint8_t kSerialString = 3;

std::vector<uint8_t> deviceDescriptor(const ScreenIdentity& identity);
std::vector<uint8_t> configurationDescriptor(std::size_t reportDescriptorLength);
// The HID class descriptor alone, as GET_DESCRIPTOR 0x21 asks for it.
std::vector<uint8_t> hidDescriptor(std::size_t reportDescriptorLength);
// Index 0 lists the languages; nothing for an index the device lacks.
std::optional<std::vector<uint8_t>> stringDescriptor(const ScreenIdentity& identity, uint8_t index);

}  // namespace tsdemu::usb
