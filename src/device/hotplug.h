#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "common/handle.h"
#include "common/sync_event.h"
#include "common/unique_fd.h"
#include "common/worker_thread.h"
#include "touchsdk.h"

namespace touchsdk {

// The W export's caller, called through the narrow watcher's adapter.
struct WideNotification {
    TouchScreenNotificationCallbackW callback;
    void* context;
};

// What the watcher thread copies when it starts: the record may be deleted
// by the watcher's own callback while the thread still runs.
struct WatcherContext {
    SyncEvent* startedEvent;  // set once the monitor listens, or has failed to
    TouchScreenNotificationCallbackA callback;
    void* context;
    int wakeFd;
};

// The record behind a NotificationHandle: one watcher thread listening to
// udev's event broadcast until the delete makes its wake descriptor readable.
struct HotplugWatcher {
    using Handle = NotificationHandle;

    UniqueFd wakeFd;  // an eventfd; readable means "stop"
    // Kept until the join: the thread may still be inside its set().
    SyncEvent startedEvent;
    WatcherContext context{};
    std::unique_ptr<WideNotification> wide;  // the W export's caller, or null
    std::unique_ptr<WorkerThread> thread;    // declared last: joined first
};

template <>
struct RecordBehind<NotificationHandle> {
    using Record = HotplugWatcher;
};

// Starts a watcher that calls `callback` (may be null) with each "add" or
// "remove" event of any device, once its monitor listens. Null when the
// descriptor, the memory or the thread cannot be had.
std::unique_ptr<HotplugWatcher> startWatcher(TouchScreenNotificationCallbackA callback,
                                             void* context);
// Wakes the thread for its stop, joins it and releases the watcher. Called
// from the watcher's own callback, it releases the watcher and lets the
// thread end on its own once the callback returns.
void stopWatcher(std::unique_ptr<HotplugWatcher> watcher);

// The udev action as a callback code; none for any other action.
std::optional<uint32_t> actionCode(const char* action);

// What the watcher does after one poll of its monitor socket and its wake
// descriptor, from the two `revents`.
enum class WatchStep : uint8_t { Receive, Wait, Stop };
WatchStep nextWatchStep(short monitorEvents, short wakeEvents);

}  // namespace touchsdk
