#include "device/screen_lock.h"

#include <fcntl.h>
#include <sys/file.h>

#include <algorithm>
#include <cerrno>
#include <ctime>

#include "device/device_handle.h"

namespace touchsdk {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::microseconds;

// A blocking lock cannot be given up after a while without a signal of
// the application's, so the node is tried without blocking, and between
// tries the wait grows from a fraction of one exchange to about one
// exchange on a real screen.
constexpr microseconds kFirstRetry{50};
constexpr microseconds kLongestRetry{2000};

enum class Attempt : uint8_t { Taken, Busy, Unavailable };

// EWOULDBLOCK for flock, EAGAIN or EACCES for a record lock: held elsewhere.
// Any other error means this descriptor cannot be locked (not a node, or a
// file system without locks); the exchange then goes ahead unordered and
// meets the real trouble, if any, on its own.
Attempt attemptOf(int result) {
    if (result == 0) return Attempt::Taken;
    if (errno == EWOULDBLOCK || errno == EAGAIN || errno == EACCES) return Attempt::Busy;
    return Attempt::Unavailable;
}

template <typename Call>
Attempt attempt(Call&& call) {
    int result = call();
    while (result != 0 && errno == EINTR) result = call();
    return attemptOf(result);
}

// Byte 0 of the node as a record lock of this open file description. Only
// waiters take it, in front of the node lock: a holder that releases and at
// once wants the screen again must queue behind whoever waited first,
// instead of winning every race against a waiter that only retries now and
// then. Record locks and flock locks do not conflict with each other.
Attempt turnstile(int fd, short type) {
    struct flock range {};
    range.l_type = type;
    range.l_whence = SEEK_SET;
    range.l_start = 0;
    range.l_len = 1;
    return attempt([&] { return ::fcntl(fd, F_OFD_SETLK, &range); });
}

Attempt nodeLock(int fd) {
    return attempt([&] { return ::flock(fd, LOCK_EX | LOCK_NB); });
}

// The growing pause between tries, never beyond the deadline.
class Retry {
public:
    explicit Retry(Clock::time_point deadline) : deadline_(deadline) {}

    // False once the deadline has passed; a signal only ends a pause early.
    bool pause() {
        const Clock::time_point now = Clock::now();
        if (now >= deadline_) return false;
        const auto left = std::chrono::duration_cast<microseconds>(deadline_ - now);
        const microseconds pause = std::min(next_, left + microseconds{1});
        next_ = std::min(next_ * 2, kLongestRetry);
        const timespec duration{0, static_cast<long>(pause.count()) * 1000L};
        ::nanosleep(&duration, nullptr);
        return true;
    }

private:
    const Clock::time_point deadline_;
    microseconds next_ = kFirstRetry;
};

template <typename Try>
Attempt retryUntil(Retry& retry, Try&& tryOnce) {
    for (;;) {
        const Attempt result = tryOnce();
        if (result != Attempt::Busy || !retry.pause()) return result;
    }
}

bool lockNode(int fd) {
    Retry retry(Clock::now() + kScreenLockWait);
    const Attempt queued = retryUntil(retry, [&] { return turnstile(fd, F_WRLCK); });
    if (queued == Attempt::Busy) return false;
    const Attempt locked = retryUntil(retry, [&] { return nodeLock(fd); });
    if (queued == Attempt::Taken) turnstile(fd, F_UNLCK);
    return locked != Attempt::Busy;
}

}  // namespace

ScreenLock::ScreenLock(TouchScreenHandle handle) : record_(recordOf(handle)) {
    if (record_ == nullptr) {
        held_ = true;
        return;
    }
    record_->commandLock.lock();
    held_ = record_->screenHolds > 0 || lockNode(record_->fd);
    if (!held_) {
        record_->commandLock.unlock();
        return;
    }
    ++record_->screenHolds;
}

ScreenLock::~ScreenLock() {
    if (record_ == nullptr || !held_) return;
    if (--record_->screenHolds == 0) ::flock(record_->fd, LOCK_UN);
    record_->commandLock.unlock();
}

}  // namespace touchsdk
