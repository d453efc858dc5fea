#pragma once

#include <chrono>

#include "touchsdk.h"

namespace touchsdk {

struct DeviceHandleRecord;

// How long a caller waits for another handle or process to finish with the
// screen. An exchange that gets no answer at all gives up after about 1.5 s
// and a block transfer's begin with its fallback after about 3 s, so only a
// holder that is stopped or hung keeps the screen longer than this.
inline constexpr std::chrono::milliseconds kScreenLockWait{5000};

// The screen for one exchange, or for a sequence of exchanges that must not
// be interleaved, held against every other handle on it in any process.
// The screen keeps a single reply slot: a request from elsewhere between
// ours and its answer takes our answer or hands us its own.
//
// Within the process the handle's mutex orders the threads sharing the
// handle (they share one open file description, to which the node lock
// belongs). Across handles and processes an advisory flock on the node
// does: the kernel keeps it per device inode and drops it with a dying
// process. Holding is re-entrant on one thread, so a sequence may hold the
// screen while each of its exchanges takes it again.
class ScreenLock {
public:
    // Waits at most kScreenLockWait. A null handle holds nothing and counts
    // as held: its exchanges fail on their own.
    explicit ScreenLock(TouchScreenHandle handle);
    ~ScreenLock();
    ScreenLock(const ScreenLock&) = delete;
    ScreenLock& operator=(const ScreenLock&) = delete;

    bool held() const { return held_; }

private:
    DeviceHandleRecord* record_;
    bool held_ = false;
};

}  // namespace touchsdk
