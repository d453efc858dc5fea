#include "touch/packet_queue.h"

#include <utility>

namespace touchsdk {

bool PacketQueue::push(const uint8_t* bytes, uint32_t length) {
    Packet packet{std::vector<uint8_t>(bytes, bytes + length)};
    const bool wasEmpty = packets_.empty();
    packets_.push_back(std::move(packet));
    // Dropped only once the new one is in: a failed push leaves it all.
    const bool dropped = packets_.size() > capacity_;
    if (dropped) packets_.pop_front();
    if (stats_ != nullptr) {
        stats_->received.fetch_add(1, std::memory_order_relaxed);
        if (dropped) stats_->dropped.fetch_add(1, std::memory_order_relaxed);
        if (packets_.size() > stats_->highWater.load(std::memory_order_relaxed)) {
            stats_->highWater.store(packets_.size(), std::memory_order_relaxed);
        }
    }
    return wasEmpty;
}

bool PacketQueue::pop(Packet& out) {
    if (packets_.empty()) return false;
    out = std::move(packets_.front());
    packets_.pop_front();
    return true;
}

}  // namespace touchsdk
