#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

namespace touchsdk {

// A thread that is created suspended: create() returns once the thread is
// running and parked, and the entry function runs only after resume(). This
// lets the owner hand the thread a pointer to an argument record it has not
// filled in yet. Destroying a thread that was never resumed releases it
// without ever running the entry function; destroying a resumed thread
// joins it, so the owner stops it first.
class WorkerThread {
public:
    using Entry = void (*)(void* argument);

    // `name` (at most 15 characters, static storage) shows in ps and
    // debuggers. Null when the system refuses a thread or memory.
    static std::unique_ptr<WorkerThread> create(Entry entry, void* argument,
                                                const char* name) noexcept;
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
    std::thread thread_;               // set before run() is released
};

}  // namespace touchsdk
