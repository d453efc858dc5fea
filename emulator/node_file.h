#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tsdemu {

// What an open() of an emulated hidraw node lands on: a PTY, and a queue
// per reader. The kernel gives every open() its own queue, empty at open,
// and each reader gets every report; so each open lands on a PTY of its own
// (the node's link moves on to a fresh PTY once an open has taken the
// current one). The PTY carries no data: it holds one token byte while
// reports wait, so that the reader's untouched poll() says readable, and
// its hang-up is the unplug. Two opens that raced past one link share the
// PTY but still have a queue each. Not thread-safe: the testbed's lock
// guards every call.
class NodeFile {
public:
    // HIDRAW_BUFFER_SIZE is 64, and a ring that full would look empty, so
    // a reader holds one report fewer; the newest are the ones dropped.
    static constexpr std::size_t kQueueDepth = 63;

    // Throws std::runtime_error when no PTY can be made. With a lock file,
    // locks taken on the PTY in an emulated process go to that file (see
    // node_lock_registry.h) for as long as the file is not hung up.
    explicit NodeFile(const std::string& lockFile = {});
    ~NodeFile();
    NodeFile(const NodeFile&) = delete;
    NodeFile& operator=(const NodeFile&) = delete;

    // The PTY slave the node's link points to while this file is the next
    // one an open() will take.
    const std::string& path() const { return slave_; }
    // Whether any descriptor is open on the PTY slave: a PTY master sees a
    // hang-up while its slave is closed.
    bool held() const;

    // One USB transfer's bytes, returned whole by one read(); each queue
    // that is full drops it. Before any reader has claimed the file, the
    // transfers wait for the first one.
    void push(const std::vector<uint8_t>& transfer);
    // A reader (any key unique to it) takes its queue on this file.
    void claim(const void* reader);
    std::optional<std::vector<uint8_t>> pop(const void* reader);
    // The reader has closed; true when no reader is left.
    bool release(const void* reader);
    // Transfers waiting in the fullest queue.
    std::size_t pending() const;
    // The device is gone: the reader's poll() sees POLLHUP|POLLERR. Queued
    // reports stay readable, as the kernel's do.
    void hangUp();

private:
    using Queue = std::deque<std::vector<uint8_t>>;
    void clearTokenIfDrained();

    int master_ = -1;
    std::string slave_;
    std::string lockEntry_;  // our PTY's entry in the lock registry
    Queue early_;            // until the first reader claims the file
    bool claimed_ = false;
    std::map<const void*, Queue> queues_;  // by reader
    bool token_ = false;                   // a byte waits in the PTY
};

}  // namespace tsdemu
