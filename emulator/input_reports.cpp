#include "input_reports.h"

#include <algorithm>

#include "common/little_endian.h"

namespace tsdemu {
namespace {

constexpr std::size_t kEntrySize = 10;
constexpr std::size_t kScanTimeOffset = 1 + kContactSlots * kEntrySize;
constexpr std::size_t kCountOffset = kScanTimeOffset + 2;
static_assert(kCountOffset + 1 == kContactReportSize);

constexpr uint8_t kFlagTouching = 0x01;
constexpr uint8_t kFlagPresent = 0x04;

void writeEntry(uint8_t* entry, const Contact& contact) {
    entry[0] = static_cast<uint8_t>((contact.touching ? kFlagTouching : 0) |
                                    (contact.present ? kFlagPresent : 0));
    entry[1] = contact.id;
    touchsdk::writeLe16(entry + 2, contact.x);
    touchsdk::writeLe16(entry + 4, contact.y);
    touchsdk::writeLe16(entry + 6, contact.width);
    touchsdk::writeLe16(entry + 8, contact.height);
}

}  // namespace

std::vector<uint8_t> contactReport(uint8_t reportId, const std::vector<Contact>& contacts,
                                   uint16_t scanTime, std::optional<uint8_t> count) {
    std::vector<uint8_t> report(kContactReportSize, 0);
    report[0] = reportId;
    const std::size_t entries = std::min(contacts.size(), kContactSlots);
    for (std::size_t i = 0; i < entries; ++i) writeEntry(&report[1 + i * kEntrySize], contacts[i]);
    touchsdk::writeLe16(&report[kScanTimeOffset], scanTime);
    report[kCountOffset] =
        count.value_or(static_cast<uint8_t>(std::min<std::size_t>(contacts.size(), 255)));
    return report;
}

std::vector<uint8_t> touchReport(const std::vector<Contact>& contacts, uint16_t scanTime) {
    return contactReport(kTouchReportId, contacts, scanTime);
}

std::vector<uint8_t> rawTouchReport(const std::vector<Contact>& contacts, uint16_t scanTime) {
    return contactReport(kRawTouchReportId, contacts, scanTime);
}

std::vector<uint8_t> diagnosisReport(const std::array<uint8_t, kDiagnosisDataSize>& data) {
    std::vector<uint8_t> report(kDiagnosisReportSize, 0);
    report[0] = kDiagnosisReportId;
    std::copy(data.begin(), data.end(), report.begin() + 1);
    return report;
}

std::vector<uint8_t> virtualKeyReport(uint8_t key, uint8_t state) {
    return {kVirtualKeyReportId, key, state};
}

}  // namespace tsdemu
