#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>

#include "touchsdk.h"

namespace tsdtest {

// Receives touch and raw-touch points through the library's callbacks, as
// an application does, and hands them to the test thread one at a time.
class TouchCollector {
public:
    explicit TouchCollector(TouchScreenHandle handle) {
        if (TsdCreateCallbackManager(&manager_, handle) != TSD_OK) return;
        registered_ = TsdRegisterTouchCallback(manager_, &TouchCollector::onTouch, this) == TSD_OK;
    }
    ~TouchCollector() {
        if (manager_ != nullptr) TsdDeleteCallbackManager(manager_);
    }
    TouchCollector(const TouchCollector&) = delete;
    TouchCollector& operator=(const TouchCollector&) = delete;

    bool ready() const { return registered_; }

    // The next touch point delivered, or false after a generous wait.
    bool next(TouchPoint& point) {
        std::unique_lock<std::mutex> lock(mutex_);
        const bool arrived =
            arrived_.wait_for(lock, std::chrono::seconds(10), [this] { return !points_.empty(); });
        if (!arrived) return false;
        point = points_.front();
        points_.pop_front();
        return true;
    }

private:
    static void onTouch(void* context, TouchPoint* point) {
        auto* self = static_cast<TouchCollector*>(context);
        std::lock_guard<std::mutex> lock(self->mutex_);
        self->points_.push_back(*point);
        self->arrived_.notify_one();
    }

    CallbackManagerHandle manager_ = nullptr;
    bool registered_ = false;
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::deque<TouchPoint> points_;  // guarded by mutex_
};

}  // namespace tsdtest
