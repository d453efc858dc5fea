#include "protocol/block_transfer.h"

#include <algorithm>
#include <array>
#include <vector>

#include "common/little_endian.h"
#include "common/result.h"
#include "protocol/command_frame.h"
#include "protocol/exchange.h"

namespace touchsdk {

namespace {

constexpr auto kQuery = static_cast<uint8_t>(FrameType::Query);
constexpr auto kSet = static_cast<uint8_t>(FrameType::Set);
constexpr auto kControl = static_cast<uint8_t>(FrameType::Control);
constexpr uint8_t kAddressSize = 4;

uint32_t transferCommand(TouchScreenHandle handle, uint8_t module, uint8_t command,
                         uint16_t first, uint16_t second) {
    std::array<uint8_t, 4> data{};
    writeLe16(data.data(), first);
    writeLe16(data.data() + 2, second);
    if (exchangeCommand(handle, kSet, module, command, data.data(), 4, nullptr, nullptr)) {
        return kCommandOk;
    }
    // Screens that refuse the Set form know only `second`.
    if (first != 0) return kCommandFailed;
    return commandResult(
        exchangeCommand(handle, kControl, module, command, data.data() + 2, 2, nullptr, nullptr));
}

// The record does not fit when it leaves no room for the marker byte. The
// image size is a 16-bit quantity on the screen's side.
bool recordFits(int32_t length, uint16_t blockCount) {
    const auto imageSize = static_cast<uint16_t>(uint32_t{blockCount} * kBlockSize);
    return length >= 0 && length < imageSize;
}

uint32_t addressOfBlock(uint16_t firstBlock, uint16_t k) {
    return blockAddress(static_cast<uint16_t>(firstBlock + k));
}

}  // namespace

uint32_t beginBlockTransfer(TouchScreenHandle handle, uint8_t module, uint16_t first,
                            uint16_t second) {
    return transferCommand(handle, module, kBlockTransferBeginCommand, first, second);
}

uint32_t endBlockTransfer(TouchScreenHandle handle, uint8_t module, uint16_t first,
                          uint16_t second) {
    return transferCommand(handle, module, kBlockTransferEndCommand, first, second);
}

uint32_t readBlock(TouchScreenHandle handle, uint8_t module, uint32_t address, uint8_t* out,
                   uint8_t expected) {
    std::array<uint8_t, kAddressSize> request{};
    writeLe32(request.data(), address);
    std::array<uint8_t, kMaxReplyData> reply{};
    uint8_t length = kMaxReplyData;
    if (exchange(handle, kQuery, module, kBlockCommand, request.data(), kAddressSize, reply.data(),
                 &length) != ExchangeOutcome::DataReceived) {
        return kCommandFailed;
    }
    if (length != expected) return kCommandFailed;
    if (out != nullptr && length != 0) std::copy_n(reply.begin(), length, out);
    return kCommandOk;
}

uint32_t writeBlock(TouchScreenHandle handle, uint8_t module, uint32_t address,
                    const uint8_t* bytes, uint8_t length) {
    if (length > kMaxBlockWrite || (bytes == nullptr && length != 0)) return kCommandFailed;
    std::array<uint8_t, kMaxRequestData> request{};
    writeLe32(request.data(), address);
    if (length != 0) std::copy_n(bytes, length, request.begin() + kAddressSize);
    return commandResult(exchangeCommand(handle, kSet, module, kBlockCommand, request.data(),
                                         static_cast<uint8_t>(kAddressSize + length), nullptr,
                                         nullptr));
}

uint32_t readBlocks(TouchScreenHandle handle, uint8_t module, uint16_t firstBlock,
                    uint16_t blockCount, uint8_t* out, int32_t length) {
    if (out == nullptr) return kCommandFailed;
    if (beginBlockTransfer(handle, module, 0, 0) != kCommandOk) return kCommandFailed;
    if (!recordFits(length, blockCount)) return kCommandFailed;
    std::vector<uint8_t> image(std::size_t{blockCount} * kBlockSize);
    for (uint16_t k = 0; k < blockCount; ++k) {
        if (readBlock(handle, module, addressOfBlock(firstBlock, k), image.data() + std::size_t{k} * kBlockSize,
                      kBlockSize) != kCommandOk) {
            return kCommandFailed;
        }
    }
    if (image[0] != kRecordMarker) return kCommandFailed;
    std::copy_n(image.begin() + 1, length, out);
    return kCommandOk;
}

uint32_t writeBlocks(TouchScreenHandle handle, uint8_t module, uint16_t firstBlock,
                     uint16_t blockCount, const uint8_t* record, int32_t length) {
    if (record == nullptr && length != 0) return kCommandFailed;
    if (beginBlockTransfer(handle, module, 0, 0) != kCommandOk) return kCommandFailed;
    if (!recordFits(length, blockCount)) return kCommandFailed;
    std::vector<uint8_t> image(std::size_t{blockCount} * kBlockSize);
    image[0] = kRecordMarker;
    if (length != 0) std::copy_n(record, length, image.begin() + 1);
    for (uint16_t k = 0; k < blockCount; ++k) {
        if (writeBlock(handle, module, addressOfBlock(firstBlock, k),
                       image.data() + std::size_t{k} * kBlockSize, kBlockSize) != kCommandOk) {
            return kCommandFailed;
        }
    }
    return endBlockTransfer(handle, module, 0, 0);
}

}  // namespace touchsdk
