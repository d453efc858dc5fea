#pragma once

#include <cstdint>

#include "protocol/command_frame.h"
#include "touchsdk.h"

namespace touchsdk {

// A module keeps data in numbered 32-byte blocks. A stored record is an
// image of whole blocks: marker byte 1, the record, then filler.
constexpr uint8_t kBlockSize = 32;
constexpr uint8_t kBlockTransferBeginCommand = 0xB8;
constexpr uint8_t kBlockTransferEndCommand = 0xB9;
constexpr uint8_t kBlockCommand = 0xBB;
constexpr uint8_t kRecordMarker = 1;
constexpr uint8_t kBlockAddressSize = 4;
constexpr uint8_t kMaxBlockWrite = kMaxRequestData - kBlockAddressSize;

// Block number in bits 16-31, sub-address in bits 0-15.
constexpr uint32_t blockAddress(uint16_t block, uint16_t subAddress = 0) {
    return (uint32_t{block} << 16) | subAddress;
}

// Each answers true on success.
// Begin/end send the Set form first and, when it fails and `first` is 0,
// the Control form that carries `second` alone.
[[nodiscard]] bool beginBlockTransfer(TouchScreenHandle handle, uint8_t module, uint16_t first,
                                      uint16_t second);
[[nodiscard]] bool endBlockTransfer(TouchScreenHandle handle, uint8_t module, uint16_t first,
                                    uint16_t second);
// Succeeds only on a Data reply of exactly `expected` bytes; `out` may be null.
[[nodiscard]] bool readBlock(TouchScreenHandle handle, uint8_t module, uint32_t address,
                             uint8_t* out, uint8_t expected);
[[nodiscard]] bool writeBlock(TouchScreenHandle handle, uint8_t module, uint32_t address,
                              const uint8_t* bytes, uint8_t length);

// Fetch and store a record of `length` bytes (less than kBlockSize *
// blockCount) in blockCount blocks from firstBlock on. A read sends no end
// command; a write that fails part-way leaves the earlier blocks written and
// sends no end.
[[nodiscard]] bool readBlocks(TouchScreenHandle handle, uint8_t module, uint16_t firstBlock,
                              uint16_t blockCount, uint8_t* out, int32_t length);
[[nodiscard]] bool writeBlocks(TouchScreenHandle handle, uint8_t module, uint16_t firstBlock,
                               uint16_t blockCount, const uint8_t* record, int32_t length);

}  // namespace touchsdk
