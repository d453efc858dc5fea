#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>

namespace touchsdk {

// A latched signal: set() is remembered until one wait() consumes it, and
// several sets before a wait count as one. Stop requests only read it with
// isSet(); wake-ups and start handshakes consume it with wait().
// set() may still touch the event after the waiter has returned, so an
// event is destroyed only once every thread that sets it is done (joined,
// or known to have returned from set()).
class SyncEvent {
public:
    SyncEvent() = default;
    SyncEvent(const SyncEvent&) = delete;
    SyncEvent& operator=(const SyncEvent&) = delete;

    // Null when the system has no memory for it.
    static std::unique_ptr<SyncEvent> create() noexcept;

    void set();
    bool isSet() const;
    // Blocks until signalled, then clears the signal. Meant for one waiter.
    void wait();

private:
    mutable std::mutex mutex_;
    std::condition_variable condition_;
    bool signalled_ = false;  // guarded by mutex_
};

// A plain, non-recursive lock; usable with std::lock_guard and
// std::unique_lock.
class Mutex {
public:
    Mutex() = default;
    Mutex(const Mutex&) = delete;
    Mutex& operator=(const Mutex&) = delete;

    void lock() { mutex_.lock(); }
    void unlock() { mutex_.unlock(); }

private:
    std::mutex mutex_;
};

}  // namespace touchsdk
