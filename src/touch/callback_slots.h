#pragma once

#include <array>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>

namespace touchsdk {

// The four callback kinds share one slot type; each decoder casts the
// callback back to its own type before calling it. void(*)() is the
// language's generic function pointer: the round trip is well defined.
using ErasedCallback = void (*)();

struct CallbackSlot {
    ErasedCallback callback = nullptr;  // null: the slot is free
    void* context = nullptr;            // handed back to the callback, any value
};

constexpr std::size_t kCallbackSlotCount = 4;

// The slots one manager shares with its dispatch thread. A (callback,
// context) pair is written and read as a unit under the lock, and clear()
// can wait for a delivery to that slot already under way, so that once it
// returns the application may free the context.
class CallbackSlots {
public:
    // False when the slot is taken or the callback is null.
    [[nodiscard]] bool fill(std::size_t index, CallbackSlot slot);
    // False when the slot was free. With `waitForDelivery`, returns only
    // when no call through the old registration is running.
    [[nodiscard]] bool clear(std::size_t index, bool waitForDelivery);
    void clearAll(bool waitForDelivery);
    bool anyFilled() const;

    // Runs `deliver(slot)` with the slot's current registration, marked as
    // under way, unless the slot is free. Called by the dispatch thread only.
    template <typename Deliver>
    void deliver(std::size_t index, Deliver&& deliverTo) {
        const CallbackSlot slot = beginDelivery(index);
        if (slot.callback == nullptr) return;
        const DeliveryEnd end{this};
        deliverTo(slot);
    }

private:
    static constexpr std::size_t kNone = kCallbackSlotCount;

    struct DeliveryEnd {
        CallbackSlots* slots;
        ~DeliveryEnd() { slots->endDelivery(); }
    };

    CallbackSlot beginDelivery(std::size_t index);
    void endDelivery();
    void awaitNoDelivery(std::unique_lock<std::mutex>& lock, std::size_t index);

    mutable std::mutex mutex_;
    std::condition_variable deliveryEnded_;
    std::array<CallbackSlot, kCallbackSlotCount> slots_{};  // guarded by mutex_
    std::size_t delivering_ = kNone;  // slot whose callback runs now; guarded by mutex_
};

}  // namespace touchsdk
