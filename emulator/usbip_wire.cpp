#include "usbip_wire.h"

namespace tsdemu::usbip {
namespace {

uint32_t readBe32(const HeaderBytes& bytes, std::size_t at) {
    return static_cast<uint32_t>(bytes[at]) << 24 | static_cast<uint32_t>(bytes[at + 1]) << 16 |
           static_cast<uint32_t>(bytes[at + 2]) << 8 | static_cast<uint32_t>(bytes[at + 3]);
}

void writeBe32(HeaderBytes& bytes, std::size_t at, uint32_t value) {
    for (std::size_t i = 0; i < 4; ++i) {
        bytes[at + i] = static_cast<uint8_t>(value >> (24 - 8 * i));
    }
}

uint16_t readSetupLe16(const HeaderBytes& bytes, std::size_t at) {
    return static_cast<uint16_t>(bytes[at] | bytes[at + 1] << 8);
}

void writeSetupLe16(HeaderBytes& bytes, std::size_t at, uint16_t value) {
    bytes[at] = static_cast<uint8_t>(value);
    bytes[at + 1] = static_cast<uint8_t>(value >> 8);
}

HeaderBytes header(Command command, uint32_t seqnum) {
    HeaderBytes bytes{};
    writeBe32(bytes, offset::kCommand, static_cast<uint32_t>(command));
    writeBe32(bytes, offset::kSeqnum, seqnum);
    return bytes;
}

SetupPacket readSetup(const HeaderBytes& bytes) {
    SetupPacket setup;
    setup.requestType = bytes[offset::kSetup];
    setup.request = bytes[offset::kSetup + 1];
    setup.value = readSetupLe16(bytes, offset::kSetup + 2);
    setup.index = readSetupLe16(bytes, offset::kSetup + 4);
    setup.length = readSetupLe16(bytes, offset::kSetup + 6);
    return setup;
}

}  // namespace

std::optional<Request> decodeRequest(const HeaderBytes& bytes) {
    Request request;
    const uint32_t command = readBe32(bytes, offset::kCommand);
    request.seqnum = readBe32(bytes, offset::kSeqnum);
    request.devid = readBe32(bytes, offset::kDevid);
    request.direction = readBe32(bytes, offset::kDirection);
    request.endpoint = readBe32(bytes, offset::kEndpoint);
    if (request.direction != kDirectionOut && request.direction != kDirectionIn) return {};
    if (command == static_cast<uint32_t>(Command::Unlink)) {
        request.command = Command::Unlink;
        request.victim = readBe32(bytes, offset::kUnlinkSeqnum);
        return request;
    }
    if (command != static_cast<uint32_t>(Command::Submit)) return {};
    request.bufferLength = readBe32(bytes, offset::kBufferLength);
    if (request.bufferLength > kLargestTransfer) return {};
    request.setup = readSetup(bytes);
    return request;
}

HeaderBytes encodeSubmit(const Request& request) {
    HeaderBytes bytes = header(Command::Submit, request.seqnum);
    writeBe32(bytes, offset::kDevid, request.devid);
    writeBe32(bytes, offset::kDirection, request.direction);
    writeBe32(bytes, offset::kEndpoint, request.endpoint);
    writeBe32(bytes, offset::kBufferLength, request.bufferLength);
    bytes[offset::kSetup] = request.setup.requestType;
    bytes[offset::kSetup + 1] = request.setup.request;
    writeSetupLe16(bytes, offset::kSetup + 2, request.setup.value);
    writeSetupLe16(bytes, offset::kSetup + 4, request.setup.index);
    writeSetupLe16(bytes, offset::kSetup + 6, request.setup.length);
    return bytes;
}

HeaderBytes encodeUnlink(uint32_t seqnum, uint32_t victim) {
    HeaderBytes bytes = header(Command::Unlink, seqnum);
    writeBe32(bytes, offset::kUnlinkSeqnum, victim);
    return bytes;
}

// devid, direction and endpoint stay zero in a return: the kernel matches
// it to its request by seqnum alone.
HeaderBytes encodeReturnSubmit(uint32_t seqnum, int32_t status, uint32_t actualLength) {
    HeaderBytes bytes = header(Command::ReturnSubmit, seqnum);
    writeBe32(bytes, offset::kStatus, static_cast<uint32_t>(status));
    writeBe32(bytes, offset::kActualLength, actualLength);
    return bytes;
}

HeaderBytes encodeReturnUnlink(uint32_t seqnum, int32_t status) {
    HeaderBytes bytes = header(Command::ReturnUnlink, seqnum);
    writeBe32(bytes, offset::kStatus, static_cast<uint32_t>(status));
    return bytes;
}

std::optional<Reply> decodeReply(const HeaderBytes& bytes) {
    Reply reply;
    const uint32_t command = readBe32(bytes, offset::kCommand);
    if (command != static_cast<uint32_t>(Command::ReturnSubmit) &&
        command != static_cast<uint32_t>(Command::ReturnUnlink)) {
        return {};
    }
    reply.command = static_cast<Command>(command);
    reply.seqnum = readBe32(bytes, offset::kSeqnum);
    reply.status = static_cast<int32_t>(readBe32(bytes, offset::kStatus));
    if (reply.command == Command::ReturnSubmit) {
        reply.actualLength = readBe32(bytes, offset::kActualLength);
    }
    return reply;
}

}  // namespace tsdemu::usbip
