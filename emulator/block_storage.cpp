#include "block_storage.h"

#include <algorithm>

namespace tsdemu {

Block BlockStorage::read(uint16_t block) const {
    const auto found = blocks_.find(block);
    return found == blocks_.end() ? Block{} : found->second;
}

bool BlockStorage::write(uint16_t block, std::size_t offset, const uint8_t* bytes,
                         std::size_t length) {
    if (offset > kBlockBytes || length > kBlockBytes - offset) return false;
    Block& stored = blocks_[block];
    std::copy_n(bytes, length, stored.begin() + static_cast<std::ptrdiff_t>(offset));
    return true;
}

}  // namespace tsdemu
