// Input reports as the reader hands them on: any read, cut into reports and
// decoded, reaches each kind's callback with sane values and nothing read
// past the end; and the backlog between reader and dispatch, driven by any
// mix of reads and deliveries, keeps order, keeps its bound and drops only
// the oldest.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

#include "fuzz_check.h"
#include "touch/packet_queue.h"
#include "touch/report_decoding.h"

using namespace touchsdk;

namespace {

struct Seen {
    std::size_t calls = 0;
};

void onPoint(void* context, TouchPoint* point) {
    FUZZ_CHECK(point != nullptr && point->state <= 1);
    const float x = point->x;
    const float y = point->y;
    FUZZ_CHECK(x >= 0.0f && x <= 65535.0f && y >= 0.0f && y <= 65535.0f);
    ++static_cast<Seen*>(context)->calls;
}

void onDiagnosis(void* context, uint8_t* data) {
    FUZZ_CHECK(data != nullptr);
    ++static_cast<Seen*>(context)->calls;
}

void onKey(void* context, VirtualKeyEvent* event) {
    FUZZ_CHECK(event != nullptr && event->state <= 1);
    ++static_cast<Seen*>(context)->calls;
}

void checkDispatch(const uint8_t* data, std::size_t size) {
    const auto read = std::make_unique<uint8_t[]>(size);
    std::copy_n(data, size, read.get());
    Seen seen;
    CallbackSlots slots;
    FUZZ_CHECK(slots.fill(0, {reinterpret_cast<ErasedCallback>(onDiagnosis), &seen}));
    FUZZ_CHECK(slots.fill(1, {reinterpret_cast<ErasedCallback>(onPoint), &seen}));
    FUZZ_CHECK(slots.fill(2, {reinterpret_cast<ErasedCallback>(onPoint), &seen}));
    FUZZ_CHECK(slots.fill(3, {reinterpret_cast<ErasedCallback>(onKey), &seen}));
    dispatchPacket(read.get(), static_cast<uint32_t>(size), slots);
    // No report is shorter than three bytes; a contact report calls at most twice.
    FUZZ_CHECK(seen.calls <= size / 3 + 1);
}

// Each input byte is one step: the dispatch thread takes one report (top bit
// set) or a read joins the queue, its bytes and length telling its step.
void checkBacklog(const uint8_t* data, std::size_t size) {
    if (size == 0) return;
    const std::size_t capacity = 1 + data[0] % 16;
    BacklogStats stats;
    PacketQueue queue(&stats, capacity);
    std::deque<uint8_t> expected;  // the step number of each queued report
    uint64_t drops = 0;
    for (std::size_t i = 1; i < size; ++i) {
        if ((data[i] & 0x80) != 0) {
            Packet packet;
            const bool got = queue.pop(packet);
            FUZZ_CHECK(got == !expected.empty());
            if (!got) continue;
            FUZZ_CHECK(packet.bytes.size() == expected.front() % 8 + 1u);
            FUZZ_CHECK(packet.bytes[0] == expected.front());
            expected.pop_front();
            continue;
        }
        const auto step = static_cast<uint8_t>(i);
        const std::vector<uint8_t> read(step % 8 + 1u, step);
        FUZZ_CHECK(queue.push(read.data(), static_cast<uint32_t>(read.size())) == expected.empty());
        expected.push_back(step);
        if (expected.size() > capacity) {
            expected.pop_front();
            ++drops;
        }
        FUZZ_CHECK(queue.size() == expected.size() && queue.size() <= capacity);
    }
    FUZZ_CHECK(stats.dropped == drops && stats.highWater <= capacity);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    checkDispatch(data, size);
    checkBacklog(data, size);
    return 0;
}
