#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace tsdemu {

// One open file of an emulated hidraw node. The kernel gives every open()
// its own queue, empty at open, and each reader gets every report; so each
// open here lands on a PTY of its own (the node's link is moved on to a
// fresh PTY once an open has taken the current one). The PTY carries no
// data: it holds one token byte while reports wait, so that the reader's
// untouched poll() says readable, and its hang-up is the unplug.
// Not thread-safe: the testbed's lock guards every call.
class NodeFile {
public:
    // HIDRAW_BUFFER_SIZE is 64, and a ring that full would look empty, so
    // a reader holds one report fewer; the newest are the ones dropped.
    static constexpr std::size_t kQueueDepth = 63;

    NodeFile();  // throws std::runtime_error when no PTY can be made
    ~NodeFile();
    NodeFile(const NodeFile&) = delete;
    NodeFile& operator=(const NodeFile&) = delete;

    // The PTY slave the node's link points to while this file is the next
    // one an open() will take.
    const std::string& path() const { return slave_; }
    // Whether any descriptor is open on the PTY slave: a PTY master sees a
    // hang-up while its slave is closed.
    bool held() const;

    // One USB transfer's bytes, returned whole by one read(); dropped when
    // the queue is full.
    void push(std::vector<uint8_t> transfer);
    std::optional<std::vector<uint8_t>> pop();
    std::size_t pending() const { return queue_.size(); }
    // The device is gone: the reader's poll() sees POLLHUP|POLLERR. Queued
    // reports stay readable, as the kernel's do.
    void hangUp();

private:
    void clearToken();

    int master_ = -1;
    std::string slave_;
    std::deque<std::vector<uint8_t>> queue_;
    bool token_ = false;  // a byte waits in the PTY
};

}  // namespace tsdemu
