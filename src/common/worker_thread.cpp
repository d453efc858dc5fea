#include "common/worker_thread.h"

#include <pthread.h>

#include <new>
#include <system_error>

namespace touchsdk {

WorkerThread::WorkerThread(Entry entry, void* argument, const char* name)
    : entry_(entry), argument_(argument), name_(name) {}

std::unique_ptr<WorkerThread> WorkerThread::create(Entry entry, void* argument,
                                                   const char* name) noexcept {
    std::unique_ptr<WorkerThread> worker(new (std::nothrow) WorkerThread(entry, argument, name));
    if (!worker) return nullptr;
    try {
        worker->thread_ = std::thread(&WorkerThread::run, worker.get());
    } catch (const std::system_error&) {
        return nullptr;
    }
    std::unique_lock<std::mutex> lock(worker->mutex_);
    worker->changed_.wait(lock, [&worker] { return worker->started_; });
    return worker;
}

WorkerThread::~WorkerThread() {
    if (!thread_.joinable()) return;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!released_) {
            cancelled_ = true;
            released_ = true;
            changed_.notify_all();
        }
    }
    if (isCurrent()) {
        thread_.detach();
        return;
    }
    thread_.join();
}

void WorkerThread::resume() {
    std::lock_guard<std::mutex> lock(mutex_);
    released_ = true;
    changed_.notify_all();
}

void WorkerThread::join() {
    if (thread_.joinable() && !isCurrent()) thread_.join();
}

bool WorkerThread::isCurrent() const { return thread_.get_id() == std::this_thread::get_id(); }

bool WorkerThread::awaitRelease() {
    std::unique_lock<std::mutex> lock(mutex_);
    started_ = true;
    changed_.notify_all();
    changed_.wait(lock, [this] { return released_; });
    return !cancelled_;
}

void WorkerThread::run() {
    if (name_ != nullptr) pthread_setname_np(pthread_self(), name_);
    if (awaitRelease() && entry_ != nullptr) entry_(argument_);
}

}  // namespace touchsdk
