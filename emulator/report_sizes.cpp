#include "report_sizes.h"

#include <array>

namespace tsdemu {
namespace {

constexpr uint8_t kInputItem = 0x80;        // main item, tag 8
constexpr uint8_t kReportSizeItem = 0x74;   // global item, tag 7
constexpr uint8_t kReportIdItem = 0x84;     // global item, tag 8
constexpr uint8_t kReportCountItem = 0x94;  // global item, tag 9
constexpr uint8_t kLongItem = 0xFE;
constexpr std::array<std::size_t, 4> kDataLength = {0, 1, 2, 4};

uint32_t itemValue(const std::vector<uint8_t>& bytes, std::size_t at, std::size_t length) {
    uint32_t value = 0;
    for (std::size_t i = 0; i < length; ++i)
        value |= static_cast<uint32_t>(bytes[at + i]) << (8 * i);
    return value;
}

}  // namespace

std::map<uint8_t, std::size_t> inputReportSizes(const std::vector<uint8_t>& descriptor) {
    std::map<uint8_t, std::size_t> bits;
    uint32_t reportSize = 0;
    uint32_t reportCount = 0;
    uint8_t reportId = 0;
    for (std::size_t at = 0; at < descriptor.size();) {
        const uint8_t prefix = descriptor[at];
        if (prefix == kLongItem) {
            at += 3 + (at + 1 < descriptor.size() ? std::size_t{descriptor[at + 1]} : 0U);
            continue;
        }
        const std::size_t length = kDataLength[prefix & 0x03U];
        if (at + 1 + length > descriptor.size()) break;
        const uint32_t value = itemValue(descriptor, at + 1, length);
        switch (prefix & 0xFCU) {
            case kReportSizeItem:
                reportSize = value;
                break;
            case kReportCountItem:
                reportCount = value;
                break;
            case kReportIdItem:
                reportId = static_cast<uint8_t>(value);
                break;
            case kInputItem:
                bits[reportId] += std::size_t{reportSize} * reportCount;
                break;
            default:
                break;
        }
        at += 1 + length;
    }
    std::map<uint8_t, std::size_t> sizes;
    for (const auto& [id, count] : bits) sizes[id] = (count + 7) / 8;
    return sizes;
}

bool kernelDelivers(const std::map<uint8_t, std::size_t>& sizes,
                    const std::vector<uint8_t>& transfer) {
    if (transfer.empty()) return false;
    const bool numbered = sizes.count(0) == 0;
    const auto found = sizes.find(numbered ? transfer[0] : 0);
    if (found == sizes.end()) return false;
    return transfer.size() - (numbered ? 1 : 0) >= found->second;
}

}  // namespace tsdemu
