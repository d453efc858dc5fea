#pragma once

// Shared by the delivery tests: a socket pair standing in for a hidraw
// node (one report per read, hang-up when the peer closes), report
// builders and process-wide measurements.

#include <sys/socket.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "common/little_endian.h"
#include "common/unique_fd.h"
#include "device/device_handle.h"
#include "eventually.h"
#include "thread_list.h"

namespace touchsdk::testing {

class SocketScreen {
public:
    SocketScreen() {
        int fds[2] = {-1, -1};
        if (socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, fds) == 0) {
            deviceEnd_.reset(fds[0]);
            peer_.reset(fds[1]);
        }
        record_.fd = deviceEnd_.get();
    }

    TouchScreenHandle handle() { return handleOf(&record_); }
    DeviceHandleRecord& record() { return record_; }
    bool send(const std::vector<uint8_t>& report) {
        return ::send(peer_.get(), report.data(), report.size(), MSG_NOSIGNAL) ==
               static_cast<ssize_t>(report.size());
    }
    bool sendNonBlocking(const std::vector<uint8_t>& report) {
        return ::send(peer_.get(), report.data(), report.size(), MSG_NOSIGNAL | MSG_DONTWAIT) ==
               static_cast<ssize_t>(report.size());
    }
    void hangUp() { peer_.reset(); }

private:
    UniqueFd deviceEnd_;
    UniqueFd peer_;
    DeviceHandleRecord record_;
};

// A 24-byte touch (0x36) or raw-touch (0x34) report with one contact in
// entry 0 whose x is `x`, and `scanTime`.
inline std::vector<uint8_t> contactReport(uint8_t reportId, uint16_t x, uint16_t scanTime) {
    std::vector<uint8_t> report(24, 0);
    report[0] = reportId;
    report[1] = 0x05;  // present and touching
    report[2] = 1;     // contact id
    writeLe16(&report[3], x);
    writeLe16(&report[21], scanTime);
    report[23] = 1;
    return report;
}

// The library's threads (named tsd-*) alive now. Counting all threads would
// also count a sanitizer's helper, which starts late.
inline int threadCount() { return static_cast<int>(tsdtest::libraryThreads().size()); }

using tsdtest::eventually;

}  // namespace touchsdk::testing
