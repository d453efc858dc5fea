#pragma once

#include <cstdint>
#include <memory>
#include <thread>
#include <utility>

#include "common/unique_fd.h"
#include "touchsdk.h"

namespace touchsdk {

constexpr uint32_t kActionAdd = 0;
constexpr uint32_t kActionRemove = 1;

// The record behind a NotificationHandle: one watcher thread listening to
// udev's event broadcast until Delete makes its stop descriptor readable.
struct HotplugWatcher {
    std::thread thread;
    UniqueFd stopDescriptor;  // an eventfd, created before the thread starts
    // The W export's (callback, context), read by the thread while it runs.
    std::unique_ptr<std::pair<TouchScreenNotificationCallbackW, void*>> wide;
};

// Starts a watcher that calls `callback` (may be null) with each "add" or
// "remove" event of any device. Null when the thread cannot be started.
std::unique_ptr<HotplugWatcher> startWatcher(TouchScreenNotificationCallbackA callback,
                                             void* context);
// Makes the stop descriptor ready, joins the thread and releases the watcher.
void stopWatcher(std::unique_ptr<HotplugWatcher> watcher);

// The udev action as a callback code, or -1 for any other action.
int32_t actionCode(const char* action);

}  // namespace touchsdk
