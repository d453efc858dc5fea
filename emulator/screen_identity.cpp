#include "screen_identity.h"

#include "command_wire.h"

namespace tsdemu {
namespace {

// A vendor-page application collection with the screen's input reports:
// 0x36 touch and 0x34 raw touch (23-byte payloads), 0x37 diagnosis (63),
// 0x38 virtual key (2). Every item is a well-formed short item, so a scan
// finds a Report ID only where one is meant to be.
const std::vector<uint8_t> kInputReports = {
    0x06, 0x00, 0xFF,        // Usage Page (vendor)
    0x09, 0x01,              // Usage
    0xA1, 0x01,              // Collection (Application)
    0x15, 0x00,              //   Logical Minimum 0
    0x26, 0xFF, 0x00,        //   Logical Maximum 255
    0x75, 0x08,              //   Report Size 8
    0x85, 0x36, 0x09, 0x02,  //   Report ID 0x36, Usage
    0x95, 0x17, 0x81, 0x02,  //   Report Count 23, Input
    0x85, 0x34, 0x09, 0x03,  //   Report ID 0x34, Usage
    0x95, 0x17, 0x81, 0x02,  //   Report Count 23, Input
    0x85, 0x37, 0x09, 0x04,  //   Report ID 0x37, Usage
    0x95, 0x3F, 0x81, 0x02,  //   Report Count 63, Input
    0x85, 0x38, 0x09, 0x05,  //   Report ID 0x38, Usage
    0x95, 0x02, 0x81, 0x02,  //   Report Count 2, Input
};

// The 64-byte command feature report.
const std::vector<uint8_t> kCommandFeature = {
    0x85, 0x55, 0x09, 0x06,  //   Report ID 0x55, Usage
    0x95, 0x3F, 0xB1, 0x02,  //   Report Count 63, Feature
};

constexpr uint8_t kEndCollection = 0xC0;
constexpr uint8_t kReportIdTag = 0x85;

}  // namespace

std::vector<uint8_t> reportDescriptor(DescriptorKind kind) {
    std::vector<uint8_t> bytes = kInputReports;
    if (kind == DescriptorKind::CommandReport) {
        bytes.insert(bytes.end(), kCommandFeature.begin(), kCommandFeature.end());
    }
    bytes.push_back(kEndCollection);
    if (kind == DescriptorKind::CommandReportAtEnd) {
        bytes.push_back(kReportIdTag);
        bytes.push_back(kCommandReportId);
    }
    if (kind == DescriptorKind::LoneReportIdTagAtEnd) bytes.push_back(kReportIdTag);
    return bytes;
}

}  // namespace tsdemu
