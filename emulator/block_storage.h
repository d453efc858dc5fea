#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>

namespace tsdemu {

constexpr std::size_t kBlockBytes = 32;
using Block = std::array<uint8_t, kBlockBytes>;

// One module's numbered 32-byte blocks. A block never written reads as
// zeros, as erased storage does (so a record there has no marker).
class BlockStorage {
public:
    Block read(uint16_t block) const;
    // Writes `length` bytes at `offset` within the block; false (nothing
    // written) when they would run past its end.
    bool write(uint16_t block, std::size_t offset, const uint8_t* bytes, std::size_t length);
    void clear() { blocks_.clear(); }

private:
    std::map<uint16_t, Block> blocks_;
};

}  // namespace tsdemu
