#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace tsdemu {

constexpr uint8_t kTouchReportId = 0x36;
constexpr uint8_t kRawTouchReportId = 0x34;
constexpr std::size_t kTouchReportSize = 24;

// One contact as a touch or raw-touch report carries it.
struct SensorContact {
    uint8_t id = 0;
    bool touching = true;
    uint16_t x = 0;
    uint16_t y = 0;
    uint16_t width = 8;
    uint16_t height = 8;
};

namespace touch_report_layout {
constexpr std::size_t kFirstEntry = 1;
constexpr std::size_t kEntrySize = 10;
constexpr std::size_t kScanTime = 21;
constexpr std::size_t kContactCount = 23;
static_assert(kFirstEntry + 2 * kEntrySize == kScanTime);
static_assert(kContactCount + 1 == kTouchReportSize);
}  // namespace touch_report_layout

// A 24-byte report (0x36 or 0x34) holding one contact in entry 0.
std::vector<uint8_t> sensorReport(uint8_t reportId, const SensorContact& contact,
                                  uint16_t scanTime);

// What a contact at one true position yields: the touch report in
// calibrated coordinates and the raw-touch report as measured.
struct SensorReports {
    std::vector<uint8_t> touch;
    std::vector<uint8_t> raw;
};

}  // namespace tsdemu
