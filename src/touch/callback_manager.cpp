#include "touch/callback_manager.h"

#include <optional>

#include "common/wake_fd.h"
#include "touch/dispatch.h"
#include "touch/report_decoding.h"

namespace touchsdk {

bool onDispatchThread(const CallbackManager& manager) {
    return manager.dispatchThread && manager.dispatchThread->isCurrent();
}

bool startDelivery(CallbackManager& manager) {
    if (manager.dispatchThread) {
        // A stop asked for by a callback: the thread is ending, reap it.
        if (onDispatchThread(manager)) return false;
        stopDelivery(manager);
    }
    // The descriptor first: running out of them is the likeliest failure,
    // and then no thread has to be made and disposed of.
    UniqueFd readerWake = makeWakeFd();
    if (!readerWake) return false;
    DispatchContext context{};
    // The process's default stack: callbacks run on this thread, and the
    // application sized its stacks for its own code.
    auto thread = WorkerThread::create(dispatchMain, &context, "tsd-dispatch");
    auto wakeEvent = SyncEvent::create();
    auto stopEvent = SyncEvent::create();
    auto startedEvent = SyncEvent::create();
    if (!thread || !wakeEvent || !stopEvent || !startedEvent) return false;
    context = {startedEvent.get(), wakeEvent.get(),  stopEvent.get(), manager.device,
               &manager.slots,     readerWake.get(), &manager.backlog};
    // Stored before the thread runs: a callback may call back into the
    // manager (to unregister itself) as soon as the first report arrives.
    manager.startedEvent = std::move(startedEvent);
    manager.wakeEvent = std::move(wakeEvent);
    manager.stopEvent = std::move(stopEvent);
    manager.readerWake = std::move(readerWake);
    manager.dispatchThread = std::move(thread);
    manager.dispatchThread->resume();
    manager.startedEvent->wait();
    return true;
}

void stopDelivery(CallbackManager& manager) {
    if (!manager.dispatchThread) return;
    manager.stopEvent->set();
    manager.wakeEvent->set();
    if (onDispatchThread(manager)) return;
    manager.dispatchThread->join();
    manager.dispatchThread.reset();
    manager.readerWake.reset();
    manager.stopEvent.reset();
    manager.wakeEvent.reset();
    manager.startedEvent.reset();
}

bool registerCallback(CallbackManager& manager, uint8_t reportId, ErasedCallback callback,
                      void* context) {
    const std::optional<std::size_t> index = slotIndexOf(reportId);
    if (callback == nullptr || !index) return false;
    const bool delivering = manager.slots.anyFilled();
    if (!manager.slots.fill(*index, CallbackSlot{callback, context})) return false;
    if (delivering || startDelivery(manager)) return true;
    // Leave the manager as it was: no slot filled without threads behind it.
    (void)manager.slots.clear(*index, false);
    return false;
}

bool unregisterCallback(CallbackManager& manager, uint8_t reportId) {
    const std::optional<std::size_t> index = slotIndexOf(reportId);
    if (!index) return false;
    // A callback may unregister itself: waiting for its own call to end
    // would never return.
    if (!manager.slots.clear(*index, !onDispatchThread(manager))) return false;
    if (!manager.slots.anyFilled()) stopDelivery(manager);
    return true;
}

void unregisterAll(CallbackManager& manager) {
    manager.slots.clearAll(!onDispatchThread(manager));
    stopDelivery(manager);
}

}  // namespace touchsdk
