#include "sensor_report.h"

#include "common/little_endian.h"

namespace tsdemu {

namespace {

// Flag byte: bit 0 touches the screen, bit 2 the entry holds a contact.
constexpr uint8_t kTouchingFlag = 0x01;
constexpr uint8_t kPresentFlag = 0x04;

}  // namespace

std::vector<uint8_t> sensorReport(uint8_t reportId, const SensorContact& contact,
                                  uint16_t scanTime) {
    namespace layout = touch_report_layout;
    std::vector<uint8_t> report(kTouchReportSize, 0);
    report[0] = reportId;
    uint8_t* entry = &report[layout::kFirstEntry];
    entry[0] = static_cast<uint8_t>(kPresentFlag | (contact.touching ? kTouchingFlag : 0));
    entry[1] = contact.id;
    touchsdk::writeLe16(entry + 2, contact.x);
    touchsdk::writeLe16(entry + 4, contact.y);
    touchsdk::writeLe16(entry + 6, contact.width);
    touchsdk::writeLe16(entry + 8, contact.height);
    touchsdk::writeLe16(&report[layout::kScanTime], scanTime);
    report[layout::kContactCount] = 1;
    return report;
}

}  // namespace tsdemu
