#include "touch/report_decoding.h"

#include <algorithm>

#include "common/little_endian.h"

namespace touchsdk {
namespace {

using PointCallback = void (*)(void* context, TouchPoint* point);
static_assert(std::is_same_v<TouchCallback, PointCallback> &&
              std::is_same_v<RawtouchCallback, PointCallback>);

// TouchPoint is packed: its members are assigned one by one, never through
// a pointer, which would be misaligned on armhf and mips.
TouchPoint pointFrom(const uint8_t* entry, uint16_t scanTime) {
    TouchPoint point{};
    point.state = (entry[0] & kContactTouching) != 0 ? 1 : 0;
    point.id = entry[1];
    point.x = static_cast<float>(readLe16(entry + 2));
    point.y = static_cast<float>(readLe16(entry + 4));
    point.width = static_cast<float>(readLe16(entry + 6));
    point.height = static_cast<float>(readLe16(entry + 8));
    point.scanTime = scanTime;
    return point;
}

void decodeContacts(const uint8_t* payload, PointCallback callback, void* context) {
    if (callback == nullptr) return;
    const uint16_t scanTime = readLe16(payload + kScanTimeOffset);
    const std::size_t count = std::min<std::size_t>(payload[kContactCountOffset], kContactEntries);
    for (std::size_t i = 0; i < count; ++i) {
        const uint8_t* entry = payload + i * kContactEntrySize;
        if ((entry[0] & kContactPresent) == 0) continue;
        TouchPoint point = pointFrom(entry, scanTime);
        callback(context, &point);
    }
}

}  // namespace

void decodeTouch(const uint8_t* payload, CallbackSlot slot) {
    decodeContacts(payload, reinterpret_cast<TouchCallback>(slot.callback), slot.context);
}

void decodeRawtouch(const uint8_t* payload, CallbackSlot slot) {
    decodeContacts(payload, reinterpret_cast<RawtouchCallback>(slot.callback), slot.context);
}

void decodeDiagnosis(const uint8_t* payload, CallbackSlot slot) {
    const auto callback = reinterpret_cast<DiagnosisCallback>(slot.callback);
    if (callback == nullptr) return;
    DiagnosisData data;
    std::copy_n(payload, TSD_DIAGNOSIS_DATA_SIZE, data);
    callback(slot.context, data);
}

void decodeVirtualKey(const uint8_t* payload, CallbackSlot slot) {
    const auto callback = reinterpret_cast<VirtualKeyCallback>(slot.callback);
    if (callback == nullptr || payload[1] > 1) return;
    VirtualKeyEvent event{};
    event.key = payload[0];
    event.state = payload[1];
    callback(slot.context, &event);
}

std::optional<std::size_t> slotIndexOf(uint8_t reportId) {
    for (std::size_t i = 0; i < kCallbackSlotCount; ++i) {
        if (ReportTable[i].reportId == reportId) return i;
    }
    return std::nullopt;
}

void dispatchPacket(const uint8_t* bytes, uint32_t length, CallbackSlots& slots) {
    std::size_t position = 0;
    while (position < length) {
        const std::optional<std::size_t> index = slotIndexOf(bytes[position++]);
        if (!index) continue;
        const ReportRow& row = ReportTable[*index];
        if (position + row.payloadLength > length) return;
        const uint8_t* payload = bytes + position;
        slots.deliver(*index, [&row, payload](CallbackSlot slot) { row.decoder(payload, slot); });
        position += row.payloadLength;
    }
}

}  // namespace touchsdk
