#include "device/hotplug.h"

#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <mutex>

#include "device/udev.h"

namespace touchsdk {
namespace {

// Lost events are worse than memory: ask for a large receive buffer. Without
// privilege the kernel caps it silently, which is fine.
constexpr int kMonitorBufferBytes = 4 * 1024 * 1024;

// Filled by the creator; lives only until the creation returns.
struct WatcherStartBlock {
    TouchScreenNotificationCallbackA callback = nullptr;
    void* context = nullptr;
    int stopDescriptor = -1;
    std::mutex mutex;
    std::condition_variable condition;
    bool started = false;  // guarded by mutex
};

bool readyForStop(const pollfd& entry) { return entry.revents != 0; }

// Set on a watcher's own thread when its callback deleted the watcher: the
// record and its stop descriptor are gone, so the thread must not wait again.
thread_local bool deletedByOwnCallback = false;

void deliver(const UdevDevice& device, TouchScreenNotificationCallbackA callback,
             void* context) {
    const int32_t code = actionCode(device.action());
    if (code < 0 || callback == nullptr) return;
    callback(context, static_cast<uint32_t>(code), device.devpath());
}

void watchEvents(const UdevMonitor& monitor, int stopDescriptor,
                 TouchScreenNotificationCallbackA callback, void* context) {
    for (;;) {
        pollfd entries[2] = {{monitor.fd(), POLLIN, 0}, {stopDescriptor, POLLIN, 0}};
        const int ready = ::poll(entries, 2, -1);
        if (ready < 0) {
            if (errno == EINTR) continue;
            return;  // a broken poll set would fail again at once: never spin
        }
        if (readyForStop(entries[1])) return;
        if ((entries[0].revents & POLLNVAL) != 0) return;
        // POLLERR on a netlink socket means lost events (ENOBUFS); the
        // receive clears it, and watching simply goes on.
        if ((entries[0].revents & (POLLIN | POLLERR)) == 0) continue;
        const UdevDevice device = monitor.receive();
        if (device.valid()) deliver(device, callback, context);
        if (deletedByOwnCallback) return;
    }
}

void signalStarted(WatcherStartBlock* block) {
    std::lock_guard<std::mutex> guard(block->mutex);
    block->started = true;
    block->condition.notify_one();
}  // the start block is not touched again

// The handshake comes once the monitor listens (or has failed), so every
// event sent after the create has returned reaches the watcher.
void watcherBody(WatcherStartBlock* block) {
    pthread_setname_np(pthread_self(), "tsd-hotplug");
    const TouchScreenNotificationCallbackA callback = block->callback;
    void* const context = block->context;
    const int stopDescriptor = block->stopDescriptor;
    const UdevContext udevContext;
    UdevMonitor monitor(udevContext);
    monitor.requestReceiveBuffer(kMonitorBufferBytes);
    const bool listening = monitor.start();
    signalStarted(block);
    if (listening) watchEvents(monitor, stopDescriptor, callback, context);
}

}  // namespace

int32_t actionCode(const char* action) {
    if (action == nullptr) return -1;
    if (std::strcmp(action, "add") == 0) return static_cast<int32_t>(kActionAdd);
    if (std::strcmp(action, "remove") == 0) return static_cast<int32_t>(kActionRemove);
    return -1;
}

std::unique_ptr<HotplugWatcher> startWatcher(TouchScreenNotificationCallbackA callback,
                                             void* context) {
    auto watcher = std::make_unique<HotplugWatcher>();
    watcher->stopDescriptor.reset(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    if (!watcher->stopDescriptor) return nullptr;
    WatcherStartBlock block;
    block.callback = callback;
    block.context = context;
    block.stopDescriptor = watcher->stopDescriptor.get();
    std::unique_lock<std::mutex> lock(block.mutex);
    try {
        watcher->thread = std::thread(watcherBody, &block);
    } catch (const std::system_error&) {
        return nullptr;
    }
    block.condition.wait(lock, [&] { return block.started; });
    return watcher;
}

void stopWatcher(std::unique_ptr<HotplugWatcher> watcher) {
    if (!watcher) return;
    const uint64_t one = 1;
    // An eventfd write of 1 cannot fail short of overflow, which needs
    // 2^64 - 1 earlier writes.
    (void)!::write(watcher->stopDescriptor.get(), &one, sizeof one);
    if (!watcher->thread.joinable()) return;
    // Deleted from its own callback: it cannot join itself. It ends as soon
    // as the callback returns, touching nothing of the record.
    if (watcher->thread.get_id() == std::this_thread::get_id()) {
        deletedByOwnCallback = true;
        watcher->thread.detach();
        return;
    }
    watcher->thread.join();
}

}  // namespace touchsdk
