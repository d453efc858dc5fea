#pragma once

#include <cstdint>

#include "common/sync_event.h"
#include "touch/callback_slots.h"
#include "touch/report_queue.h"
#include "touchsdk.h"

namespace touchsdk {

// Argument of dispatchMain, filled in by the manager; the dispatch thread
// copies it and then sets `startedEvent`, after which it may disappear.
struct DispatchContext {
    SyncEvent* startedEvent;
    SyncEvent* wakeEvent;  // set per packet queued and by a stop request
    SyncEvent* stopEvent;
    TouchScreenHandle device;
    CallbackSlots* slots;
    int readerWakeFd;       // eventfd that wakes the reader for its stop
    BacklogStats* backlog;  // owned by the manager
};

// Argument of readerMain; lives on the dispatch thread's stack and is
// copied by the reader, which then sets `startedEvent`.
struct ReaderContext {
    SyncEvent* stopEvent;
    SyncEvent* startedEvent;
    TouchScreenHandle device;
    ReportQueue* queue;
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
