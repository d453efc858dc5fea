#include "touch/dispatch.h"

#include <memory>
#include <mutex>
#include <new>

#include "common/wake_fd.h"
#include "common/worker_thread.h"
#include "device/device_handle.h"
#include "touch/report_decoding.h"
#include "touch/report_reader.h"

namespace touchsdk {
namespace {

// The reader thread as the dispatch thread sees it: started with its
// context complete, and stopped and joined on every way out, before the
// queue it writes to goes away.
class RunningReader {
public:
    RunningReader(std::unique_ptr<WorkerThread> thread, SyncEvent& stopEvent, int wakeFd)
        : thread_(std::move(thread)), stopEvent_(stopEvent), wakeFd_(wakeFd) {}
    RunningReader(const RunningReader&) = delete;
    RunningReader& operator=(const RunningReader&) = delete;
    ~RunningReader() {
        stopEvent_.set();
        signalWakeFd(wakeFd_);
        thread_->join();
    }

private:
    std::unique_ptr<WorkerThread> thread_;
    SyncEvent& stopEvent_;
    int wakeFd_;
};

// Takes every queued packet, including those queued meanwhile, and decodes
// it with the lock released, so the reader never waits for a callback.
void drain(ReportQueue& queue, Mutex& queueLock, CallbackSlots& slots) {
    std::unique_lock<Mutex> lock(queueLock);
    Packet packet;
    while (queue.pop(packet)) {
        lock.unlock();
        dispatchPacket(packet.bytes.data(), static_cast<uint32_t>(packet.bytes.size()), slots);
        lock.lock();
    }
}

void deliverUntilStopped(const DispatchContext& context) {
    ReportQueue queue(context.backlog);
    Mutex queueLock;
    // Both outlive the reader, which is joined before they go.
    SyncEvent readerStop;
    SyncEvent readerStarted;
    ReaderContext readerContext{};
    auto thread = WorkerThread::create(readerMain, &readerContext, "tsd-reader", kReaderStackBytes);
    if (!thread) return;
    readerContext = {&readerStop, &readerStarted,    context.device,      &queue,
                     &queueLock,  context.wakeEvent, context.readerWakeFd};
    thread->resume();
    readerStarted.wait();
    const RunningReader reader(std::move(thread), readerStop, context.readerWakeFd);
    while (!context.stopEvent->isSet()) {
        drain(queue, queueLock, *context.slots);
        context.wakeEvent->wait();
    }
}

}  // namespace

void enqueuePacket(void* context, const uint8_t* bytes, uint32_t length) {
    auto* reader = static_cast<ReaderContext*>(context);
    bool wasEmpty = false;
    try {
        std::lock_guard<Mutex> lock(*reader->queueLock);
        wasEmpty = reader->queue->push(bytes, length);
    } catch (const std::bad_alloc&) {
        return;  // out of memory: this report is lost, later ones may fit
    }
    // The dispatch thread waits only after finding the queue empty under
    // the lock, so a packet joining a non-empty queue is taken by the drain
    // under way or by the one its predecessor's wake-up starts: only a
    // packet that finds the queue empty is owed a wake-up.
    HeldWake& held = reader->held;
    if (wasEmpty) held.owed = true;
    if (held.owed && ++held.queued >= kWakeBatch) wakeForQueued(reader);
}

void wakeForQueued(void* context) {
    auto* reader = static_cast<ReaderContext*>(context);
    if (!reader->held.owed) return;
    reader->held = HeldWake{};
    reader->wakeEvent->set();
}

void readerMain(void* argument) {
    ReaderContext context = *static_cast<const ReaderContext*>(argument);
    context.startedEvent->set();
    readReports(recordOf(context.device), ReaderStop{context.stopEvent, context.wakeFd},
                enqueuePacket, &context, wakeForQueued);
}

void dispatchMain(void* argument) {
    const DispatchContext context = *static_cast<const DispatchContext*>(argument);
    context.startedEvent->set();
    deliverUntilStopped(context);
}

}  // namespace touchsdk
