#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <vector>

namespace tsdemu {

// The length in bytes of each input report a HID report descriptor
// declares, report ID byte excluded, by report ID (ID 0 when the descriptor
// numbers no reports).
std::map<uint8_t, std::size_t> inputReportSizes(const std::vector<uint8_t>& descriptor);

// Whether the kernel hands a transfer from the interrupt endpoint on to
// hidraw readers: its first byte must name a declared input report, and the
// transfer must hold at least that report. Several reports sent back to
// back in one transfer pass whole, as one read.
bool kernelDelivers(const std::map<uint8_t, std::size_t>& sizes,
                    const std::vector<uint8_t>& transfer);

}  // namespace tsdemu
