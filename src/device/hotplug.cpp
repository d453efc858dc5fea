#include "device/hotplug.h"

#include <poll.h>

#include <cerrno>
#include <cstring>

#include "common/wake_fd.h"
#include "device/udev.h"

namespace touchsdk {
namespace {

// Lost events are worse than memory: ask for a large receive buffer. Without
// privilege the kernel caps it silently, which is fine.
constexpr int kMonitorBufferBytes = 4 * 1024 * 1024;

// Set on a watcher's own thread when its callback deleted the watcher: the
// record and its wake descriptor are gone, so the thread must not wait again.
thread_local bool deletedByOwnCallback = false;

void deliver(const UdevDevice& device, const WatcherContext& context) {
    const std::optional<uint32_t> code = actionCode(device.action());
    if (!code || context.callback == nullptr) return;
    context.callback(context.context, *code, device.devpath());
}

void watchEvents(const UdevMonitor& monitor, const WatcherContext& context) {
    for (;;) {
        pollfd entries[2] = {{monitor.fd(), POLLIN, 0}, {context.wakeFd, POLLIN, 0}};
        if (::poll(entries, 2, -1) < 0) {
            if (errno == EINTR) continue;
            return;  // a broken poll set would fail again at once: never spin
        }
        switch (nextWatchStep(entries[0].revents, entries[1].revents)) {
            case WatchStep::Stop:
                return;
            case WatchStep::Wait:
                continue;
            case WatchStep::Receive:
                break;
        }
        const UdevDevice device = monitor.receive();
        if (device.valid()) deliver(device, context);
        if (deletedByOwnCallback) return;
    }
}

// The start is confirmed once the monitor listens (or has failed), so every
// event sent after the create has returned reaches the watcher.
void watcherMain(void* argument) {
    const WatcherContext context = *static_cast<const WatcherContext*>(argument);
    const UdevContext udevContext;
    UdevMonitor monitor(udevContext);
    monitor.requestReceiveBuffer(kMonitorBufferBytes);
    const bool listening = monitor.start();
    context.startedEvent->set();
    if (listening) watchEvents(monitor, context);
}

}  // namespace

std::optional<uint32_t> actionCode(const char* action) {
    if (action == nullptr) return std::nullopt;
    if (std::strcmp(action, "add") == 0) return TSD_ACTION_ADD;
    if (std::strcmp(action, "remove") == 0) return TSD_ACTION_REMOVE;
    return std::nullopt;
}

WatchStep nextWatchStep(short monitorEvents, short wakeEvents) {
    if (wakeEvents != 0) return WatchStep::Stop;
    // A socket that hung up or closed carries no event again, and polling it
    // would return at once for ever: the watcher ends and waits for its delete.
    if ((monitorEvents & (POLLHUP | POLLNVAL)) != 0) return WatchStep::Stop;
    // POLLERR on a netlink socket means lost events (ENOBUFS); the receive
    // clears it, and watching simply goes on.
    if ((monitorEvents & (POLLIN | POLLERR)) != 0) return WatchStep::Receive;
    return WatchStep::Wait;
}

std::unique_ptr<HotplugWatcher> startWatcher(TouchScreenNotificationCallbackA callback,
                                             void* context) {
    auto watcher = std::make_unique<HotplugWatcher>();
    watcher->wakeFd = makeWakeFd();
    if (!watcher->wakeFd) return nullptr;
    watcher->thread = WorkerThread::create(watcherMain, &watcher->context, "tsd-hotplug");
    if (!watcher->thread) return nullptr;
    watcher->context = {&watcher->startedEvent, callback, context, watcher->wakeFd.get()};
    watcher->thread->resume();
    watcher->startedEvent.wait();
    return watcher;
}

void stopWatcher(std::unique_ptr<HotplugWatcher> watcher) {
    if (!watcher) return;
    signalWakeFd(watcher->wakeFd.get());
    // Deleted from its own callback: the thread cannot join itself. Its
    // WorkerThread lets it go, and it ends as soon as the callback returns,
    // touching nothing of the record.
    if (watcher->thread->isCurrent()) deletedByOwnCallback = true;
}  // ~HotplugWatcher joins the thread, then closes the descriptor

}  // namespace touchsdk
