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

// Packets the reader has queued but not yet woken the dispatch thread for.
// A wake-up costs a sleeping thread's switch in and out; while more reports
// are already waiting to be read, the reader holds it back, up to
// kWakeBatch packets, and gives it when it goes idle.
struct HeldWake {
    bool owed = false;    // a packet joined an empty queue since the last wake
    uint32_t queued = 0;  // packets queued since then
};
constexpr uint32_t kWakeBatch = 16;

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
    HeldWake held{};  // the reader's own, in its copy
};

// Packet and idle handlers of the reader thread; `context` is its
// ReaderContext.
void enqueuePacket(void* context, const uint8_t* bytes, uint32_t length);
void wakeForQueued(void* context);
// Thread entry functions; `argument` points at a ReaderContext and a
// DispatchContext respectively.
void readerMain(void* argument);
void dispatchMain(void* argument);

}  // namespace touchsdk
