#include "usb_descriptors.h"

#include <algorithm>
#include <string>

namespace tsdemu::usb {
namespace {

constexpr uint16_t kUsb20 = 0x0200;  // 2.0 and not 2.1: the host asks for no BOS
constexpr uint16_t kHid111 = 0x0111;
constexpr uint16_t kDeviceRelease = 0x0100;
constexpr uint8_t kMaxPacketSize = 64;
constexpr uint8_t kHidClass = 0x03;
constexpr uint8_t kInterruptTransfer = 0x03;
constexpr uint8_t kBusPowered = 0x80;
constexpr uint8_t kHundredMilliamps = 50;  // in units of 2 mA
constexpr uint16_t kEnglishUs = 0x0409;
// A string descriptor's length is one byte: 126 UTF-16 units at most.
constexpr std::size_t kLongestString = 126;

void push16(std::vector<uint8_t>& bytes, std::size_t value) {
    bytes.push_back(static_cast<uint8_t>(value));
    bytes.push_back(static_cast<uint8_t>(value >> 8));
}

// UTF-8 where the text is valid UTF-8 of the basic plane; otherwise each
// byte stands for itself, as a screen's firmware storing Latin-1 means it.
std::u16string toUtf16(const std::string& text) {
    std::u16string units;
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<uint8_t>(text[i]);
        const std::size_t extra = lead < 0x80          ? 0
                                  : (lead >> 5) == 0x6 ? 1
                                  : (lead >> 4) == 0xE ? 2
                                                       : 3;
        bool valid = extra < 3 && i + extra < text.size();
        uint32_t unit = extra == 0 ? lead : extra == 1 ? (lead & 0x1FU) : (lead & 0x0FU);
        for (std::size_t k = 1; valid && k <= extra; ++k) {
            const auto next = static_cast<uint8_t>(text[i + k]);
            valid = (next & 0xC0) == 0x80;
            unit = unit << 6 | (next & 0x3FU);
        }
        if (!valid) {
            std::u16string bytewise;
            for (char c : text) bytewise.push_back(static_cast<char16_t>(static_cast<uint8_t>(c)));
            return bytewise;
        }
        units.push_back(static_cast<char16_t>(unit));
        i += extra + 1;
    }
    return units;
}

std::vector<uint8_t> stringOf(const std::string& text) {
    std::u16string units = toUtf16(text);
    units.resize(std::min(units.size(), kLongestString));
    std::vector<uint8_t> bytes = {static_cast<uint8_t>(2 + 2 * units.size()),
                                  descriptor_type::kString};
    for (char16_t unit : units) push16(bytes, unit);
    return bytes;
}

}  // namespace

std::vector<uint8_t> deviceDescriptor(const ScreenIdentity& identity) {
    std::vector<uint8_t> bytes = {kDeviceDescriptorSize, descriptor_type::kDevice};
    push16(bytes, kUsb20);
    bytes.insert(bytes.end(), {0, 0, 0, kMaxPacketSize});  // class at the interface
    push16(bytes, identity.vendorId);
    push16(bytes, identity.productId);
    push16(bytes, kDeviceRelease);
    bytes.insert(bytes.end(), {kManufacturerString, kProductString,
                               static_cast<uint8_t>(identity.serial ? kSerialString : 0), 1});
    return bytes;
}

std::vector<uint8_t> hidDescriptor(std::size_t reportDescriptorLength) {
    std::vector<uint8_t> bytes = {kHidDescriptorSize, descriptor_type::kHid};
    push16(bytes, kHid111);
    bytes.insert(bytes.end(), {0, 1, descriptor_type::kReport});  // no country, one descriptor
    push16(bytes, reportDescriptorLength);
    return bytes;
}

std::vector<uint8_t> configurationDescriptor(std::size_t reportDescriptorLength) {
    std::vector<uint8_t> bytes = {kConfigurationDescriptorSize, descriptor_type::kConfiguration};
    push16(bytes, kConfigurationTotalSize);
    bytes.insert(bytes.end(), {1, kConfigurationValue, 0, kBusPowered, kHundredMilliamps});
    bytes.insert(bytes.end(), {kInterfaceDescriptorSize, descriptor_type::kInterface,
                               kInterfaceNumber, 0, 1, kHidClass, 0, 0, 0});
    const std::vector<uint8_t> hid = hidDescriptor(reportDescriptorLength);
    bytes.insert(bytes.end(), hid.begin(), hid.end());
    bytes.insert(bytes.end(), {kEndpointDescriptorSize, descriptor_type::kEndpoint,
                               kInterruptInEndpoint, kInterruptTransfer});
    push16(bytes, kMaxPacketSize);
    bytes.push_back(1);  // bInterval in ms; the virtual host does not honour it
    return bytes;
}

std::optional<std::vector<uint8_t>> stringDescriptor(const ScreenIdentity& identity,
                                                     uint8_t index) {
    switch (index) {
        case 0: {
            std::vector<uint8_t> bytes = {4, descriptor_type::kString};
            push16(bytes, kEnglishUs);
            return bytes;
        }
        case kManufacturerString:
            return stringOf(identity.manufacturer);
        case kProductString:
            return stringOf(identity.product);
        case kSerialString:
            if (identity.serial) return stringOf(*identity.serial);
            return std::nullopt;
        default:
            return std::nullopt;
    }
}

}  // namespace tsdemu::usb
