#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

// The screen's input reports as it sends them, built from plain values.
// Pure: no GLib, no testbed, so any component (a calibration model
// included) can produce the coordinates that go in.
namespace tsdemu {

constexpr uint8_t kRawTouchReportId = 0x34;
constexpr uint8_t kTouchReportId = 0x36;
constexpr uint8_t kDiagnosisReportId = 0x37;
constexpr uint8_t kVirtualKeyReportId = 0x38;

constexpr std::size_t kContactReportSize = 24;
constexpr std::size_t kDiagnosisReportSize = 64;
constexpr std::size_t kVirtualKeyReportSize = 3;
constexpr std::size_t kDiagnosisDataSize = kDiagnosisReportSize - 1;
constexpr std::size_t kContactSlots = 2;  // entries one report has room for

struct Contact {
    uint8_t id = 0;
    uint16_t x = 0;
    uint16_t y = 0;
    uint16_t width = 40;
    uint16_t height = 40;
    bool touching = true;  // false: the finger is lifting
    bool present = true;   // false: an entry the host must skip
};

// A touch (0x36) or raw-touch (0x34) report. The first two contacts fill
// the two entries; the count byte says how many contacts there are, which
// may be more than two, unless `count` overrides it.
std::vector<uint8_t> contactReport(uint8_t reportId, const std::vector<Contact>& contacts,
                                   uint16_t scanTime, std::optional<uint8_t> count = {});
std::vector<uint8_t> touchReport(const std::vector<Contact>& contacts, uint16_t scanTime);
std::vector<uint8_t> rawTouchReport(const std::vector<Contact>& contacts, uint16_t scanTime);
std::vector<uint8_t> diagnosisReport(const std::array<uint8_t, kDiagnosisDataSize>& data);
// `state` 0 released, 1 pressed; other values are sent as given.
std::vector<uint8_t> virtualKeyReport(uint8_t key, uint8_t state);

}  // namespace tsdemu
