#include "common/worker_thread.h"

#include <limits.h>
#include <pthread.h>
#include <unistd.h>

#include <algorithm>
#include <new>

namespace touchsdk {
namespace {

// The request rounded up to what this system accepts: at least its minimum
// (128 KiB on ppc64el, with its 64 KiB pages), a whole number of pages.
std::size_t acceptedStackSize(std::size_t requested) {
    const long minimum = sysconf(_SC_THREAD_STACK_MIN);
    const long page = sysconf(_SC_PAGESIZE);
    std::size_t size =
        std::max(requested, minimum > 0 ? static_cast<std::size_t>(minimum)
                                        : static_cast<std::size_t>(PTHREAD_STACK_MIN));
    if (page > 0) {
        const auto pageSize = static_cast<std::size_t>(page);
        size = (size + pageSize - 1) / pageSize * pageSize;
    }
    return size;
}

}  // namespace

WorkerThread::WorkerThread(Entry entry, void* argument, const char* name)
    : entry_(entry), argument_(argument), name_(name) {}

std::unique_ptr<WorkerThread> WorkerThread::create(Entry entry, void* argument, const char* name,
                                                   std::size_t stackBytes) noexcept {
    std::unique_ptr<WorkerThread> worker(new (std::nothrow) WorkerThread(entry, argument, name));
    if (!worker) return nullptr;
    pthread_attr_t attributes;
    if (pthread_attr_init(&attributes) != 0) return nullptr;
    // A size the system refuses leaves its default in place: a bigger
    // stack than asked for is no fault.
    if (stackBytes != 0) {
        (void)pthread_attr_setstacksize(&attributes, acceptedStackSize(stackBytes));
    }
    const int created =
        pthread_create(&worker->thread_, &attributes, &WorkerThread::start, worker.get());
    pthread_attr_destroy(&attributes);
    if (created != 0) return nullptr;
    worker->joinable_ = true;
    std::unique_lock<std::mutex> lock(worker->mutex_);
    worker->changed_.wait(lock, [&worker] { return worker->started_; });
    return worker;
}

WorkerThread::~WorkerThread() {
    if (!joinable_) return;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!released_) {
            cancelled_ = true;
            released_ = true;
            changed_.notify_all();
        }
    }
    if (isCurrent()) {
        pthread_detach(thread_);
        return;
    }
    pthread_join(thread_, nullptr);
}

void WorkerThread::resume() {
    std::lock_guard<std::mutex> lock(mutex_);
    released_ = true;
    changed_.notify_all();
}

void WorkerThread::join() {
    if (!joinable_ || isCurrent()) return;
    pthread_join(thread_, nullptr);
    joinable_ = false;
}

bool WorkerThread::isCurrent() const {
    return joinable_ && pthread_equal(thread_, pthread_self()) != 0;
}

bool WorkerThread::awaitRelease() {
    std::unique_lock<std::mutex> lock(mutex_);
    started_ = true;
    changed_.notify_all();
    changed_.wait(lock, [this] { return released_; });
    return !cancelled_;
}

void* WorkerThread::start(void* self) {
    static_cast<WorkerThread*>(self)->run();
    return nullptr;
}

void WorkerThread::run() {
    if (name_ != nullptr) pthread_setname_np(pthread_self(), name_);
    if (awaitRelease() && entry_ != nullptr) entry_(argument_);
}

}  // namespace touchsdk
