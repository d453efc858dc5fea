#pragma once

#include <pthread.h>

#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>

namespace touchsdk {

// A thread that is created suspended: create() returns once the thread is
// running and parked, and the entry function runs only after resume(). This
// lets the owner hand the thread a pointer to an argument record it has not
// filled in yet. Destroying a thread that was never resumed releases it
// without ever running the entry function; destroying a resumed thread
// joins it, so the owner stops it first. Destroyed on the thread itself (an
// owner freed from its own callback), it lets the thread go instead: the
// entry function must then touch nothing of its owner once it returns to it.
// Every library thread is one of these: tsd-hotplug, tsd-dispatch and
// tsd-reader.
class WorkerThread {
public:
    using Entry = void (*)(void* argument);

    // `name` (at most 15 characters, static storage) shows in ps and
    // debuggers. `stackBytes` 0 gives the process's default stack (the
    // stack limit, 8 MiB on most systems), which a thread that runs the
    // application's code keeps; a thread that runs only the library's own
    // code asks for less, raised to the system's minimum. Null when the
    // system refuses a thread or memory.
    static std::unique_ptr<WorkerThread> create(Entry entry, void* argument, const char* name,
                                                std::size_t stackBytes = 0) noexcept;
    ~WorkerThread();
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    void resume();
    // Waits until the entry function has returned. Does nothing when called
    // on the thread itself or after an earlier join.
    void join();
    bool isCurrent() const;

private:
    WorkerThread(Entry entry, void* argument, const char* name);
    static void* start(void* self);
    void run();
    bool awaitRelease();

    const Entry entry_;
    void* const argument_;
    const char* const name_;
    std::mutex mutex_;
    std::condition_variable changed_;  // started_ or released_ changed
    bool started_ = false;             // guarded by mutex_
    bool released_ = false;            // guarded by mutex_
    bool cancelled_ = false;           // guarded by mutex_
    pthread_t thread_{};               // set before run() is released
    bool joinable_ = false;            // set before resume(), cleared after join
};

}  // namespace touchsdk
