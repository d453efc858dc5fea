#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

namespace touchsdk {

// Reports read but not yet delivered, at most this many (the public header
// states it): several seconds of a real screen's stream, while a report is
// at most 4 KiB, so the backlog never holds more than 16 MiB.
constexpr std::size_t kReportBacklog = 4096;

// One read from the device, copied.
struct Packet {
    std::vector<uint8_t> bytes;
};

// How the backlog of one delivery has fared; read by anyone, written by the
// reader thread only. Word-sized counters: 32-bit MIPS has no 64-bit atomic
// instructions, and libatomic is not a library the boards may be assumed
// to carry.
struct BacklogStats {
    std::atomic<std::size_t> received{0};
    std::atomic<std::size_t> dropped{0};
    std::atomic<std::size_t> highWater{0};
};

// The backlog between the reader and the dispatch thread, oldest first. A
// callback slower than the screen would otherwise make it grow without
// end; once full, each new packet pushes out the oldest one, so that what
// the application sees is as recent as it can be. Not locked itself.
class PacketQueue {
public:
    explicit PacketQueue(BacklogStats* stats = nullptr, std::size_t capacity = kReportBacklog)
        : stats_(stats), capacity_(capacity == 0 ? 1 : capacity) {}

    // Answers whether the queue was empty before. May throw bad_alloc,
    // leaving the queue as it was.
    bool push(const uint8_t* bytes, uint32_t length);
    // The oldest packet, moved out into `out`; false when empty.
    bool pop(Packet& out);
    std::size_t size() const { return packets_.size(); }
    bool empty() const { return packets_.empty(); }

private:
    std::deque<Packet> packets_;
    BacklogStats* stats_;
    std::size_t capacity_;
};

}  // namespace touchsdk
