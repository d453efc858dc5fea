// The report-descriptor scan on any descriptor a device might return: it
// reads nothing past the end (the descriptor lies in a heap block of its
// exact size), and it finds an ID only where the descriptor holds the
// Report ID item for it.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "device/report_descriptor.h"
#include "fuzz_check.h"

using namespace touchsdk;

namespace {

bool holdsItem(const uint8_t* bytes, std::size_t size, uint8_t reportId) {
    for (std::size_t i = 0; i + 1 < size; ++i) {
        if (bytes[i] == 0x85 && bytes[i + 1] == reportId) return true;
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const uint8_t reportId = data[0];
    const std::size_t length = size - 1;
    const auto descriptor = std::make_unique<uint8_t[]>(length);
    std::copy_n(data + 1, length, descriptor.get());
    if (declaresReportId(descriptor.get(), length, reportId)) {
        FUZZ_CHECK(holdsItem(descriptor.get(), length, reportId));
    }
    return 0;
}
