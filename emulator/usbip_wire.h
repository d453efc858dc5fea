#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

// The records the kernel's USB/IP virtual host controller exchanges with the
// program that plays a device: a 48-byte header of big-endian 32-bit fields,
// then the data of an OUT submit (host to device) or of an IN return.
namespace tsdemu::usbip {

constexpr std::size_t kHeaderSize = 48;
using HeaderBytes = std::array<uint8_t, kHeaderSize>;

enum class Command : uint32_t { Submit = 1, Unlink = 2, ReturnSubmit = 3, ReturnUnlink = 4 };

// Field offsets; the five fields every header starts with, then each
// command's own.
namespace offset {
constexpr std::size_t kCommand = 0;
constexpr std::size_t kSeqnum = 4;
constexpr std::size_t kDevid = 8;
constexpr std::size_t kDirection = 12;
constexpr std::size_t kEndpoint = 16;
// CMD_SUBMIT
constexpr std::size_t kTransferFlags = 20;
constexpr std::size_t kBufferLength = 24;
constexpr std::size_t kStartFrame = 28;
constexpr std::size_t kPacketCount = 32;
constexpr std::size_t kInterval = 36;
constexpr std::size_t kSetup = 40;  // eight bytes in USB (little-endian) order
// RET_SUBMIT
constexpr std::size_t kStatus = 20;
constexpr std::size_t kActualLength = 24;
constexpr std::size_t kErrorCount = 36;
// CMD_UNLINK: the victim; RET_UNLINK reuses kStatus
constexpr std::size_t kUnlinkSeqnum = 20;
}  // namespace offset
static_assert(offset::kSetup + 8 == kHeaderSize, "the setup packet ends the header");
static_assert(offset::kErrorCount + 4 + 8 == kHeaderSize, "a return pads to the header size");

constexpr uint32_t kDirectionOut = 0;
constexpr uint32_t kDirectionIn = 1;

// Statuses the kernel understands in a return (negative errno values).
constexpr int32_t kStatusOk = 0;
constexpr int32_t kStatusStall = -32;      // -EPIPE
constexpr int32_t kStatusUnlinked = -104;  // -ECONNRESET

// A transfer larger than this is refused as a broken stream rather than
// allocated: no request to this device comes near it.
constexpr uint32_t kLargestTransfer = 64 * 1024;

struct SetupPacket {
    uint8_t requestType = 0;
    uint8_t request = 0;
    uint16_t value = 0;
    uint16_t index = 0;
    uint16_t length = 0;
};

// What the kernel sent, decoded from a header.
struct Request {
    Command command = Command::Submit;
    uint32_t seqnum = 0;
    uint32_t devid = 0;
    uint32_t direction = kDirectionOut;
    uint32_t endpoint = 0;
    uint32_t bufferLength = 0;  // submit
    SetupPacket setup;          // submit on endpoint 0
    uint32_t victim = 0;        // unlink: the seqnum to take back
};

// Checked: an unknown command, a direction other than 0/1, or a transfer
// beyond kLargestTransfer yields nothing.
std::optional<Request> decodeRequest(const HeaderBytes& bytes);

HeaderBytes encodeSubmit(const Request& request);
HeaderBytes encodeUnlink(uint32_t seqnum, uint32_t victim);
HeaderBytes encodeReturnSubmit(uint32_t seqnum, int32_t status, uint32_t actualLength);
HeaderBytes encodeReturnUnlink(uint32_t seqnum, int32_t status);

// The fields of a return, for the side that plays the kernel.
struct Reply {
    Command command = Command::ReturnSubmit;
    uint32_t seqnum = 0;
    int32_t status = 0;
    uint32_t actualLength = 0;
};
std::optional<Reply> decodeReply(const HeaderBytes& bytes);

}  // namespace tsdemu::usbip
