#include "touch/callback_slots.h"

namespace touchsdk {

bool CallbackSlots::fill(std::size_t index, CallbackSlot slot) {
    if (index >= kCallbackSlotCount || slot.callback == nullptr) return false;
    std::lock_guard<std::mutex> lock(mutex_);
    if (slots_[index].callback != nullptr) return false;
    slots_[index] = slot;
    return true;
}

bool CallbackSlots::clear(std::size_t index, bool waitForDelivery) {
    if (index >= kCallbackSlotCount) return false;
    std::unique_lock<std::mutex> lock(mutex_);
    if (slots_[index].callback == nullptr) return false;
    slots_[index] = CallbackSlot{};
    if (waitForDelivery) awaitNoDelivery(lock, index);
    return true;
}

void CallbackSlots::clearAll(bool waitForDelivery) {
    std::unique_lock<std::mutex> lock(mutex_);
    slots_.fill(CallbackSlot{});
    if (waitForDelivery) awaitNoDelivery(lock, kNone);
}

bool CallbackSlots::anyFilled() const {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const CallbackSlot& slot : slots_) {
        if (slot.callback != nullptr) return true;
    }
    return false;
}

CallbackSlot CallbackSlots::beginDelivery(std::size_t index) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (index >= kCallbackSlotCount || slots_[index].callback == nullptr) return {};
    delivering_ = index;
    return slots_[index];
}

void CallbackSlots::endDelivery() {
    std::lock_guard<std::mutex> lock(mutex_);
    delivering_ = kNone;
    deliveryEnded_.notify_all();
}

// `index` kNone waits for a delivery to any slot.
void CallbackSlots::awaitNoDelivery(std::unique_lock<std::mutex>& lock, std::size_t index) {
    deliveryEnded_.wait(lock, [this, index] {
        return delivering_ == kNone || (index != kNone && delivering_ != index);
    });
}

}  // namespace touchsdk
