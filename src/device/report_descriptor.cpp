#include "device/report_descriptor.h"

#include <array>

namespace touchsdk {
namespace {

constexpr uint8_t kReportIdItem = 0x85;
// Data bytes of a short item by the two low bits of its prefix.
constexpr std::array<std::size_t, 4> kItemDataLength = {0, 1, 2, 4};

}  // namespace

bool declaresReportId(const uint8_t* descriptor, std::size_t size, uint8_t reportId) {
    bool found = false;
    std::size_t position = 0;
    while (position < size) {
        const uint8_t prefix = descriptor[position];
        const std::size_t dataLength = kItemDataLength[prefix & 0x03U];
        if (dataLength == 1 && prefix == kReportIdItem && position + 1 < size &&
            descriptor[position + 1] == reportId) {
            found = true;
        }
        position += 1 + dataLength;
    }
    return found;
}

}  // namespace touchsdk
