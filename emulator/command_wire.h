#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <ostream>
#include <vector>

// The screen's side of the feature-report command protocol, written apart
// from the library's encoder and parser so that a fault in one is not
// mirrored by the other.
namespace tsdemu {

constexpr uint8_t kCommandReportId = 0x55;
constexpr std::size_t kCommandReportSize = 64;
using AnswerReport = std::array<uint8_t, kCommandReportSize>;

namespace frame_type {
constexpr uint8_t kQuery = 0x1E;
constexpr uint8_t kSet = 0x2D;
constexpr uint8_t kControl = 0x3C;
constexpr uint8_t kData = 0x4B;
constexpr uint8_t kAck = 0x87;
constexpr uint8_t kBusy = 0x96;
constexpr uint8_t kRefused = 0xB4;
}  // namespace frame_type

// One request as the screen received it.
struct CommandFrame {
    uint8_t type = 0;
    uint8_t module = 0;
    uint8_t command = 0;
    std::vector<uint8_t> data;

    bool operator==(const CommandFrame& other) const {
        return type == other.type && module == other.module && command == other.command &&
               data == other.data;
    }
    bool operator!=(const CommandFrame& other) const { return !(*this == other); }
};
std::ostream& operator<<(std::ostream& out, const CommandFrame& frame);

// A request frame must start at byte 0 of the report, with a request type
// and a correct checksum; anything else is not a request.
std::optional<CommandFrame> decodeRequest(const uint8_t* report, std::size_t length);

// Answer frames, report ID first.
std::vector<uint8_t> bareFrame(uint8_t type);
std::vector<uint8_t> dataFrame(const std::vector<uint8_t>& data, bool corruptChecksum = false);
std::vector<uint8_t> longFrame(const CommandFrame& request);

// Frames placed one after another from byte 0, the rest zero (a poll that
// finds no answer returns the report ID and zeros).
AnswerReport reportOf(const std::vector<uint8_t>& frames);

}  // namespace tsdemu
