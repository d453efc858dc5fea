#pragma once

#include <cstddef>
#include <cstdint>

namespace touchsdk {

// Whether a HID report descriptor declares `reportId` with a one-byte
// Report ID item (85 id). Every item is stepped over as a short item; the
// scan always runs to the end.
bool declaresReportId(const uint8_t* descriptor, std::size_t size, uint8_t reportId);

}  // namespace touchsdk
