// Helpers shared by the benchmarks: clocks, CPU accounting, a socket pair
// standing in for a hidraw node, the library and a bare reader on it, and
// the FIGURE lines that scripts/bench-scale.sh collects.
#pragma once

#include <poll.h>
#include <pthread.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "bench_args.h"
#include "common/little_endian.h"
#include "common/unique_fd.h"
#include "device/device_handle.h"
#include "input_reports.h"
#include "thread_list.h"
#include "touch/callback_manager.h"
#include "touchsdk.h"

namespace bench {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// One measured figure, in the form the scale script collects.
inline void figure(const std::string& name, double value, const char* unit) {
    std::printf("FIGURE %s %.3f %s\n", name.c_str(), value, unit);
    std::fflush(stdout);
}

inline int64_t nowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch())
        .count();
}

inline double seconds(const timespec& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

inline double processCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto tv = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
    };
    return tv(usage.ru_utime) + tv(usage.ru_stime);
}

inline double threadCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return seconds(now);
}

// CPU spent by every thread but the calling one, from the moment of
// construction: the receiving side's cost when the caller is the writer.
class OthersCpu {
public:
    OthersCpu() : process_(processCpuSeconds()), self_(threadCpuSeconds()) {}
    double seconds() const {
        return (processCpuSeconds() - process_) - (threadCpuSeconds() - self_);
    }

private:
    double process_;
    double self_;
};

// Context switches of the threads whose names start with `prefix`, summed;
// "tsd-" selects the library's threads.
inline long contextSwitches(const std::string& prefix = "tsd-") {
    long total = 0;
    for (const std::string& id : tsdtest::threadsNamed(prefix)) {
        total += tsdtest::contextSwitches(id);
    }
    return total;
}

// Value at `share` (0..1) of the sorted samples.
inline double percentile(std::vector<double> values, double share) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const auto index = static_cast<std::size_t>(share * static_cast<double>(values.size() - 1));
    return values[index];
}

// A touch report carrying `sequence` as its scan time, so the receiver can
// tell order and loss.
inline std::vector<uint8_t> reportWithSequence(uint16_t sequence) {
    tsdemu::Contact contact;
    contact.id = 1;
    contact.x = sequence;
    return tsdemu::touchReport({contact}, sequence);
}
// Where the scan time sits in that report.
constexpr std::size_t kSequenceOffset = 21;

// The receiving side of one measurement: when each sequence number arrived.
class Arrivals {
public:
    explicit Arrivals(std::size_t capacity) : at_(capacity, 0) {}

    void arrive(uint16_t sequence) {
        const int64_t now = nowNs();
        std::lock_guard<std::mutex> lock(mutex_);
        // Sequence numbers wrap at 65536: a step of 1 to 32767 is forward,
        // and any step over 1 skipped reports (the backlog let them go).
        const auto step = static_cast<uint16_t>(sequence - expected_);
        if (step >= 0x8000)
            ++outOfOrder_;
        else
            skipped_ += step;
        expected_ = static_cast<uint16_t>(sequence + 1);
        at_[count_ % at_.size()] = now;
        // Wake the waiter only when it is done: a wake-up per report would
        // charge the measured path with the benchmark's own cost.
        if (++count_ == awaited_) arrived_.notify_all();
    }
    bool waitFor(std::size_t count, std::chrono::milliseconds limit = 60s) {
        std::unique_lock<std::mutex> lock(mutex_);
        awaited_ = count;
        return arrived_.wait_for(lock, limit, [&] { return count_ >= count; });
    }
    int64_t at(std::size_t index) {
        std::lock_guard<std::mutex> lock(mutex_);
        return at_[index % at_.size()];
    }
    std::size_t count() {
        std::lock_guard<std::mutex> lock(mutex_);
        return count_;
    }
    std::size_t outOfOrder() {
        std::lock_guard<std::mutex> lock(mutex_);
        return outOfOrder_;
    }
    std::size_t skipped() {
        std::lock_guard<std::mutex> lock(mutex_);
        return skipped_;
    }

    static void onTouch(void* context, TouchPoint* point) {
        static_cast<Arrivals*>(context)->arrive(point->scanTime);
    }

private:
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::vector<int64_t> at_;     // guarded by mutex_
    std::size_t count_ = 0;       // guarded by mutex_
    std::size_t awaited_ = 0;     // guarded by mutex_
    std::size_t outOfOrder_ = 0;  // guarded by mutex_
    std::size_t skipped_ = 0;     // guarded by mutex_
    uint16_t expected_ = 0;       // guarded by mutex_
};

// A SOCK_SEQPACKET pair keeps one report per read, as a hidraw node does,
// without the emulator's cost per read in the figures.
struct SocketPair {
    SocketPair() {
        int fds[2] = {-1, -1};
        if (socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, fds) == 0) {
            device.reset(fds[0]);
            peer.reset(fds[1]);
        }
    }
    void send(const std::vector<uint8_t>& report) const {
        (void)!::send(peer.get(), report.data(), report.size(), MSG_NOSIGNAL);
    }
    void send(uint16_t sequence) const { send(reportWithSequence(sequence)); }
    touchsdk::UniqueFd device;
    touchsdk::UniqueFd peer;
};

// The library on a socket pair, with a touch callback registered.
class LibraryOnSocket {
public:
    explicit LibraryOnSocket(Arrivals& arrivals) {
        record_.fd = pair.device.get();
        TsdCreateCallbackManager(&manager_, touchsdk::handleOf(&record_));
        TsdRegisterTouchCallback(manager_, Arrivals::onTouch, &arrivals);
    }
    ~LibraryOnSocket() { TsdDeleteCallbackManager(manager_); }
    // Reports the full backlog let go (oldest first) so far.
    uint64_t dropped() const {
        return touchsdk::recordOf(manager_)->backlog.dropped.load(std::memory_order_relaxed);
    }
    LibraryOnSocket(const LibraryOnSocket&) = delete;
    LibraryOnSocket& operator=(const LibraryOnSocket&) = delete;

    SocketPair pair;

private:
    touchsdk::DeviceHandleRecord record_;
    CallbackManagerHandle manager_ = nullptr;
};

// The least a reader can do: one thread, poll and read, no hand-over.
class BareReader {
public:
    explicit BareReader(Arrivals& arrivals) : thread_([this, &arrivals] { run(arrivals); }) {}
    static uint64_t dropped() { return 0; }  // the writer waits instead
    ~BareReader() {
        pair.peer.reset();  // the hang-up ends the loop
        thread_.join();
    }
    BareReader(const BareReader&) = delete;
    BareReader& operator=(const BareReader&) = delete;

    SocketPair pair;

private:
    void run(Arrivals& arrivals) {
        pthread_setname_np(pthread_self(), "bare-reader");
        pollfd entry{pair.device.get(), POLLIN, 0};
        uint8_t buffer[4096];
        while (poll(&entry, 1, -1) > 0) {
            if (read(entry.fd, buffer, sizeof buffer) <= 0) return;
            arrivals.arrive(touchsdk::readLe16(buffer + kSequenceOffset));
        }
    }

    std::thread thread_;
};

// Sleeps until `deadline` on the monotonic clock; paced writers use it so
// that a late wake-up is caught up rather than stretching the schedule.
inline void sleepUntil(int64_t deadlineNs) {
    timespec at{static_cast<time_t>(deadlineNs / 1000000000),
                static_cast<long>(deadlineNs % 1000000000)};
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &at, nullptr) != 0) {
    }
}

}  // namespace bench
