#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace touchsdk {

// Every command travels in a 64-byte feature report whose first byte is the
// report ID; the frame starts at that byte.
constexpr uint8_t kCommandReportId = 0x55;
constexpr std::size_t kFeatureReportSize = 64;
constexpr uint8_t kMaxRequestData = 58;  // 64 - report ID, type, module, command, length, sum
constexpr uint8_t kMaxReplyData = 60;    // 64 - report ID, type, length, sum
constexpr uint8_t kControllerModule = 0x80;

using FeatureReport = std::array<uint8_t, kFeatureReportSize>;

enum class FrameType : uint8_t {
    Query = 0x1E,
    Set = 0x2D,
    Control = 0x3C,
    Data = 0x4B,
    Reserved = 0x5A,  // long form; recognised but never acted upon
    Ack = 0x87,
    Busy = 0x96,
    Refused = 0xB4,
};

enum class FrameForm : uint8_t { Long, Short, Bare };

// The frame types a host sends, and so the only ones a command can carry.
enum class CommandType : uint8_t {
    Query = static_cast<uint8_t>(FrameType::Query),
    Set = static_cast<uint8_t>(FrameType::Set),
    Control = static_cast<uint8_t>(FrameType::Control),
};

// The only way a wire byte becomes a FrameType.
std::optional<FrameType> frameTypeFromByte(uint8_t byte);
FrameForm formOf(FrameType type);
bool isRequestType(uint8_t byte);

// The frame from its type byte on, without the checksum. A short-form frame
// reuses the record as a flat byte sequence: `module` holds its length and
// the data follow from `command` on.
struct CommandRequest {
    uint8_t type = 0;
    uint8_t module = 0;
    uint8_t command = 0;
    uint8_t dataLength = 0;
    std::array<uint8_t, kMaxRequestData> data{};
};
constexpr std::size_t kCommandRequestBytes = 4 + kMaxRequestData;
static_assert(kCommandRequestBytes == 62, "type, module, command, length and 58 data bytes");

// Receives each encoded frame (report ID first).
struct FrameSink {
    void (*function)(void* context, const uint8_t* frame, uint8_t length) = nullptr;
    void* context = nullptr;
};

// Builds the frame for `request` with its checksum and hands it to `sink`;
// an unknown type hands nothing.
void encodeFrame(const CommandRequest& request, const FrameSink& sink);

// Sink that clears the 64-byte `report` and copies a frame of 1..64 bytes in.
void copyToReport(void* report, const uint8_t* frame, uint8_t length);

}  // namespace touchsdk
