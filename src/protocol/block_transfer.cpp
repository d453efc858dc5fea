#include "protocol/block_transfer.h"

#include <algorithm>
#include <array>
#include <vector>

#include "common/little_endian.h"
#include "device/screen_lock.h"
#include "protocol/exchange.h"

namespace touchsdk {

namespace {

bool transferCommand(TouchScreenHandle handle, uint8_t module, uint8_t command, uint16_t first,
                     uint16_t second) {
    std::array<uint8_t, 4> data{};
    writeLe16(data.data(), first);
    writeLe16(data.data() + 2, second);
    const ExchangeOutcome outcome = exchange(handle, {CommandType::Set, module, command, data});
    if (succeeded(outcome)) return true;
    // Screens that refuse the Set form know only `second`.
    if (first != 0 || outcome == ExchangeOutcome::ScreenGone) return false;
    return exchangeCommand(handle, {CommandType::Control, module, command, ByteView(data).from(2)});
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

bool beginBlockTransfer(TouchScreenHandle handle, uint8_t module, uint16_t first, uint16_t second) {
    return transferCommand(handle, module, kBlockTransferBeginCommand, first, second);
}

bool endBlockTransfer(TouchScreenHandle handle, uint8_t module, uint16_t first, uint16_t second) {
    return transferCommand(handle, module, kBlockTransferEndCommand, first, second);
}

bool readBlock(TouchScreenHandle handle, uint8_t module, uint32_t address, uint8_t* out,
               uint8_t expected) {
    std::array<uint8_t, kBlockAddressSize> request{};
    writeLe32(request.data(), address);
    std::array<uint8_t, kMaxReplyData> bytes{};
    ReplyBuffer reply{bytes.data(), kMaxReplyData};
    if (exchange(handle, {CommandType::Query, module, kBlockCommand, request}, &reply) !=
        ExchangeOutcome::DataReceived) {
        return false;
    }
    if (reply.length != expected) return false;
    if (out != nullptr && reply.length != 0) std::copy_n(bytes.begin(), reply.length, out);
    return true;
}

bool writeBlock(TouchScreenHandle handle, uint8_t module, uint32_t address, const uint8_t* bytes,
                uint8_t length) {
    if (length > kMaxBlockWrite || (bytes == nullptr && length != 0)) return false;
    std::array<uint8_t, kMaxRequestData> request{};
    writeLe32(request.data(), address);
    if (length != 0) std::copy_n(bytes, length, request.begin() + kBlockAddressSize);
    const ByteView data(request.data(), std::size_t{kBlockAddressSize} + length);
    return exchangeCommand(handle, {CommandType::Set, module, kBlockCommand, data});
}

bool readBlocks(TouchScreenHandle handle, uint8_t module, uint16_t firstBlock, uint16_t blockCount,
                uint8_t* out, int32_t length) {
    if (out == nullptr) return false;
    // The screen keeps one open transfer: another begin in between would
    // move the blocks under this one.
    const ScreenLock lock(handle);
    if (!lock.held()) return false;
    if (!beginBlockTransfer(handle, module, 0, 0)) return false;
    if (!recordFits(length, blockCount)) return false;
    std::vector<uint8_t> image(std::size_t{blockCount} * kBlockSize);
    for (uint16_t k = 0; k < blockCount; ++k) {
        if (!readBlock(handle, module, addressOfBlock(firstBlock, k),
                       image.data() + std::size_t{k} * kBlockSize, kBlockSize)) {
            return false;
        }
    }
    if (image[0] != kRecordMarker) return false;
    std::copy_n(image.begin() + 1, length, out);
    return true;
}

bool writeBlocks(TouchScreenHandle handle, uint8_t module, uint16_t firstBlock, uint16_t blockCount,
                 const uint8_t* record, int32_t length) {
    if (record == nullptr && length != 0) return false;
    const ScreenLock lock(handle);
    if (!lock.held()) return false;
    if (!beginBlockTransfer(handle, module, 0, 0)) return false;
    if (!recordFits(length, blockCount)) return false;
    std::vector<uint8_t> image(std::size_t{blockCount} * kBlockSize);
    image[0] = kRecordMarker;
    if (length != 0) std::copy_n(record, length, image.begin() + 1);
    for (uint16_t k = 0; k < blockCount; ++k) {
        if (!writeBlock(handle, module, addressOfBlock(firstBlock, k),
                        image.data() + std::size_t{k} * kBlockSize, kBlockSize)) {
            return false;
        }
    }
    return endBlockTransfer(handle, module, 0, 0);
}

}  // namespace touchsdk
