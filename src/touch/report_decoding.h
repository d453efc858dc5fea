#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "touch/callback_slots.h"
#include "touchsdk.h"

namespace touchsdk {

constexpr uint8_t kDiagnosisReportId = 0x37;
constexpr uint8_t kRawtouchReportId = 0x34;
constexpr uint8_t kTouchReportId = 0x36;
constexpr uint8_t kVirtualKeyReportId = 0x38;

// Layout of the touch and raw-touch payloads (offsets after the report ID).
constexpr std::size_t kContactEntrySize = 10;
constexpr std::size_t kContactEntries = 2;
constexpr std::size_t kScanTimeOffset = kContactEntries * kContactEntrySize;
constexpr std::size_t kContactCountOffset = kScanTimeOffset + 2;
constexpr std::size_t kContactPayloadLength = kContactCountOffset + 1;
constexpr std::size_t kVirtualKeyPayloadLength = 2;
static_assert(kScanTimeOffset == 20 && kContactCountOffset == 22);
static_assert(kContactPayloadLength == 23, "touch reports are 24 bytes with their ID");

// Flag byte of a contact entry.
constexpr uint8_t kContactTouching = 0x01;
constexpr uint8_t kContactPresent = 0x04;

using ReportDecoder = void (*)(const uint8_t* payload, CallbackSlot slot);

struct ReportRow {
    uint8_t reportId;
    uint16_t payloadLength;  // bytes after the report ID
    ReportDecoder decoder;
};

// Each decoder reads exactly its row's payloadLength bytes and returns at
// once when the slot's callback is null.
void decodeDiagnosis(const uint8_t* payload, CallbackSlot slot);
void decodeRawtouch(const uint8_t* payload, CallbackSlot slot);
void decodeTouch(const uint8_t* payload, CallbackSlot slot);
void decodeVirtualKey(const uint8_t* payload, CallbackSlot slot);

// A row's index is the index of its kind's callback slot.
constexpr ReportRow ReportTable[kCallbackSlotCount] = {
    {kDiagnosisReportId, TSD_DIAGNOSIS_DATA_SIZE, decodeDiagnosis},
    {kRawtouchReportId, kContactPayloadLength, decodeRawtouch},
    {kTouchReportId, kContactPayloadLength, decodeTouch},
    {kVirtualKeyReportId, kVirtualKeyPayloadLength, decodeVirtualKey},
};

std::optional<std::size_t> slotIndexOf(uint8_t reportId);

// Cuts one packet read from the screen into reports and hands each to its
// kind's decoder with that kind's registration. Bytes before a report ID
// are skipped; a report cut short by the end of the packet is dropped.
void dispatchPacket(const uint8_t* bytes, uint32_t length, CallbackSlots& slots);

}  // namespace touchsdk
