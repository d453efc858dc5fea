#pragma once

#include <cstdint>
#include <memory>

#include "common/handle.h"
#include "common/unique_fd.h"
#include "touch/callback_slots.h"
#include "common/sync_event.h"
#include "common/worker_thread.h"
#include "touch/report_queue.h"
#include "touchsdk.h"

namespace touchsdk {

// The record behind a CallbackManagerHandle. Calls on one manager do not
// overlap (the application serialises them), so its fields need no lock;
// only `slots` is shared with the dispatch thread and guards itself.
struct CallbackManager {
    using Handle = CallbackManagerHandle;

    explicit CallbackManager(TouchScreenHandle screen) : device(screen) {}

    TouchScreenHandle device;  // borrowed, never closed here
    CallbackSlots slots;       // indexed like ReportTable
    BacklogStats backlog;      // of every delivery this manager ran
    // The delivery objects are all present or all absent. They are present
    // while delivery runs, and also after a stop requested from inside a
    // callback, until the next start or stop reaps the ended thread.
    // Kept until the join: the dispatch thread may still be inside its set().
    std::unique_ptr<SyncEvent> startedEvent;
    std::unique_ptr<SyncEvent> wakeEvent;
    std::unique_ptr<SyncEvent> stopEvent;
    UniqueFd readerWake;
    std::unique_ptr<WorkerThread> dispatchThread;  // declared last: ends first
};

template <>
struct RecordBehind<CallbackManagerHandle> {
    using Record = CallbackManager;
};

[[nodiscard]] bool registerCallback(CallbackManager& manager, uint8_t reportId,
                                    ErasedCallback callback, void* context);
[[nodiscard]] bool unregisterCallback(CallbackManager& manager, uint8_t reportId);
// Clears every slot and stops delivery.
void unregisterAll(CallbackManager& manager);
[[nodiscard]] bool startDelivery(CallbackManager& manager);
// From the dispatch thread itself (a callback) this only asks the thread
// to end; it cannot join itself.
void stopDelivery(CallbackManager& manager);
bool onDispatchThread(const CallbackManager& manager);

}  // namespace touchsdk
