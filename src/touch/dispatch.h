#pragma once

#include <cstdint>
#include <deque>
#include <vector>

#include "touch/callback_slots.h"
#include "common/sync_event.h"
#include "touchsdk.h"

namespace touchsdk {

// One read from the device, copied.
struct Packet {
    std::vector<uint8_t> bytes;
};

// Unbounded: a slow callback makes packets pile up rather than be lost.
using PacketQueue = std::deque<Packet>;

// Argument of dispatchMain, filled in by the manager; the dispatch thread
// copies it and then sets `startedEvent`, after which it may disappear.
struct DispatchContext {
    SyncEvent* startedEvent;
    SyncEvent* wakeEvent;  // set per packet queued and by a stop request
    SyncEvent* stopEvent;
    TouchScreenHandle device;
    CallbackSlots* slots;
    int readerWakeFd;  // eventfd that wakes the reader for its stop
};

// Argument of readerMain; lives on the dispatch thread's stack and is
// copied by the reader, which then sets `startedEvent`.
struct ReaderContext {
    SyncEvent* stopEvent;
    SyncEvent* startedEvent;
    TouchScreenHandle device;
    PacketQueue* queue;
    Mutex* queueLock;  // guards *queue
    SyncEvent* wakeEvent;
    int wakeFd;
};

// Packet handler of the reader thread; `context` is its ReaderContext.
void enqueuePacket(void* context, const uint8_t* bytes, uint32_t length);
// Thread entry functions; `argument` points at a ReaderContext and a
// DispatchContext respectively.
void readerMain(void* argument);
void dispatchMain(void* argument);

}  // namespace touchsdk
