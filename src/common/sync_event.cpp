#include "common/sync_event.h"

#include <new>

namespace touchsdk {

std::unique_ptr<SyncEvent> SyncEvent::create() noexcept {
    return std::unique_ptr<SyncEvent>(new (std::nothrow) SyncEvent);
}

void SyncEvent::set() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        signalled_ = true;
    }
    // Outside the lock: a waiter woken while it is held would at once block
    // on it again, a second sleep and wake-up on every hand-over.
    condition_.notify_one();
}

bool SyncEvent::isSet() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return signalled_;
}

void SyncEvent::wait() {
    std::unique_lock<std::mutex> lock(mutex_);
    condition_.wait(lock, [this] { return signalled_; });
    signalled_ = false;
}

}  // namespace touchsdk
