#include "common/worker_thread.h"

#include <gtest/gtest.h>
#include <pthread.h>

#include <atomic>
#include <cstring>

#include "common/sync_event.h"
#include "eventually.h"
#include "thread_list.h"

namespace touchsdk {
namespace {

struct Probe {
    std::atomic<int> runs{0};
    std::atomic<bool> wasCurrent{false};
    WorkerThread* self = nullptr;  // filled in after create, before resume
    char name[16] = {};
};

void recordRun(void* argument) {
    auto* probe = static_cast<Probe*>(argument);
    ++probe->runs;
    probe->wasCurrent = probe->self != nullptr && probe->self->isCurrent();
    pthread_getname_np(pthread_self(), probe->name, sizeof probe->name);
}

// The test's own workers, named apart from the library's threads.
int workerCount() { return static_cast<int>(tsdtest::threadsNamed("test-worker").size()); }

// Threads joined by an earlier test may linger in /proc for a moment
// (qemu-user): counting starts once they are gone.
int settledThreadCount() {
    EXPECT_TRUE(tsdtest::eventually([] { return workerCount() == 0; }));
    return workerCount();
}

TEST(WorkerThread, NeverResumedThreadNeverRunsAndIsReleased) {
    const int before = settledThreadCount();
    Probe probe;
    {
        auto thread = WorkerThread::create(recordRun, &probe, "test-worker");
        ASSERT_NE(thread, nullptr);
        EXPECT_EQ(workerCount(), before + 1) << "create returns with the thread parked";
    }
    EXPECT_EQ(probe.runs, 0);
    // A joined thread may linger in /proc for a moment (qemu-user).
    EXPECT_TRUE(tsdtest::eventually([&] { return workerCount() == before; }));
}

TEST(WorkerThread, ResumeRunsTheEntryOnceWithTheRecordFilledInLate) {
    Probe probe;
    auto thread = WorkerThread::create(recordRun, &probe, "test-worker");
    ASSERT_NE(thread, nullptr);
    probe.self = thread.get();
    thread->resume();
    thread->resume();
    thread->join();
    EXPECT_EQ(probe.runs, 1);
    EXPECT_TRUE(probe.wasCurrent);
    EXPECT_FALSE(thread->isCurrent());
    EXPECT_STREQ(probe.name, "test-worker");
}

TEST(WorkerThread, NullEntryEndsOnceResumed) {
    const int before = settledThreadCount();
    auto thread = WorkerThread::create(nullptr, nullptr, "test-worker");
    ASSERT_NE(thread, nullptr);
    thread->resume();
    thread->join();
    thread->join();  // a second join is harmless
    thread.reset();
    EXPECT_TRUE(tsdtest::eventually([&] { return workerCount() == before; }));
}

TEST(WorkerThread, DestroyingAResumedThreadWaitsForItsEntry) {
    SyncEvent release;
    std::atomic<bool> finished{false};
    struct Args {
        SyncEvent* release;
        std::atomic<bool>* finished;
    } args{&release, &finished};
    auto thread = WorkerThread::create(
        [](void* argument) {
            auto* a = static_cast<Args*>(argument);
            a->release->wait();
            *a->finished = true;
        },
        &args, "test-worker");
    ASSERT_NE(thread, nullptr);
    thread->resume();
    release.set();
    thread.reset();
    EXPECT_TRUE(finished);
}

}  // namespace
}  // namespace touchsdk
