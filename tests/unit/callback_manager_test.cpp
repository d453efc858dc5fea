#include "touch/callback_manager.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "common/sync_event.h"
#include "delivery_test_support.h"

namespace touchsdk {
namespace {

using testing::contactReport;
using testing::eventually;
using testing::SocketScreen;
using testing::threadCount;

// What a touch or raw-touch callback saw: the scan times, in order.
struct Received {
    std::mutex mutex;
    std::vector<uint16_t> scanTimes;  // guarded by mutex
    std::atomic<int> count{0};
    std::atomic<bool> inside{false};
    SyncEvent* gate = nullptr;                       // when set, the first call waits for it
    CallbackManagerHandle unregisterFrom = nullptr;  // a callback that unregisters itself
    std::atomic<TsdResult> unregisterResult{TSD_FAILURE};
};

void onPoint(void* context, TouchPoint* point) {
    auto* received = static_cast<Received*>(context);
    received->inside = true;
    if (received->count == 0 && received->gate != nullptr) received->gate->wait();
    if (received->unregisterFrom != nullptr) {
        received->unregisterResult = TsdUnregisterTouchCallback(received->unregisterFrom);
    }
    {
        std::lock_guard<std::mutex> lock(received->mutex);
        received->scanTimes.push_back(point->scanTime);
    }
    ++received->count;
    received->inside = false;
}

// A test body stops delivery before its own locals that callbacks use go
// out of scope; TearDown runs only after them.
class CallbackManagerTest : public ::testing::Test {
protected:
    void SetUp() override {
        // Threads joined by an earlier test may linger in /proc for a moment
        // (qemu-user); counting starts once they are gone.
        ASSERT_TRUE(eventually([] { return threadCount() == 0; }));
        baselineThreads = 0;
        ASSERT_EQ(TsdCreateCallbackManager(&manager, screen.handle()), TSD_OK);
    }
    void TearDown() override {
        EXPECT_EQ(TsdDeleteCallbackManager(manager), TSD_OK);
        EXPECT_TRUE(eventually([this] { return threadCount() == baselineThreads; }))
            << "delivery threads outlived the manager";
    }
    // Joined threads may stay listed for a moment (qemu-user), so a return
    // to the baseline is waited for, with a generous bound.
    bool threadsBackToBaseline() {
        return eventually([this] { return threadCount() == baselineThreads; });
    }
    // The reader starts after the registration has returned.
    bool deliveryRunning() {
        return eventually([this] { return threadCount() == baselineThreads + 2; });
    }
    void sendTouches(uint8_t reportId, int from, int to) {
        for (int i = from; i < to; ++i) {
            ASSERT_TRUE(screen.send(contactReport(reportId, 10, static_cast<uint16_t>(i))));
        }
    }

    SocketScreen screen;
    CallbackManagerHandle manager = nullptr;
    int baselineThreads = 0;
};

TEST(CallbackManagerExports, NullArgumentsFail) {
    EXPECT_EQ(TsdCreateCallbackManager(nullptr, nullptr), TSD_FAILURE);
    Received received;
    EXPECT_EQ(TsdRegisterTouchCallback(nullptr, onPoint, &received), TSD_FAILURE);
    EXPECT_EQ(TsdRegisterRawtouchCallback(nullptr, onPoint, &received), TSD_FAILURE);
    EXPECT_EQ(TsdUnregisterTouchCallback(nullptr), TSD_FAILURE);
    EXPECT_EQ(TsdUnregisterVirtualKeyCallback(nullptr), TSD_FAILURE);
    EXPECT_EQ(TsdUnregisterAllCallback(nullptr), TSD_FAILURE);
    EXPECT_EQ(TsdDeleteCallbackManager(nullptr), TSD_FAILURE);
}

TEST_F(CallbackManagerTest, RegisteringAKindTwiceKeepsTheFirst) {
    Received first;
    Received second;
    EXPECT_EQ(TsdRegisterTouchCallback(manager, nullptr, &first), TSD_FAILURE);
    ASSERT_EQ(TsdRegisterTouchCallback(manager, onPoint, &first), TSD_OK);
    EXPECT_EQ(TsdRegisterTouchCallback(manager, onPoint, &second), TSD_FAILURE);
    sendTouches(0x36, 0, 3);
    ASSERT_TRUE(eventually([&] { return first.count == 3; }));
    EXPECT_EQ(second.count, 0);
    EXPECT_EQ(TsdUnregisterAllCallback(manager), TSD_OK);
}

TEST_F(CallbackManagerTest, UnregisteringWhatIsNotRegisteredFails) {
    EXPECT_EQ(TsdUnregisterTouchCallback(manager), TSD_FAILURE);
    EXPECT_EQ(TsdUnregisterDiagnosisCallback(manager), TSD_FAILURE);
    EXPECT_EQ(TsdUnregisterAllCallback(manager), TSD_OK);
    EXPECT_TRUE(threadsBackToBaseline()) << "an idle manager runs no thread";
}

TEST_F(CallbackManagerTest, ReRegistrationStartsFreshThreads) {
    Received received;
    for (int round = 0; round < 3; ++round) {
        ASSERT_EQ(TsdRegisterTouchCallback(manager, onPoint, &received), TSD_OK);
        EXPECT_TRUE(deliveryRunning());
        sendTouches(0x36, round, round + 1);
        ASSERT_TRUE(eventually([&] { return received.count == round + 1; }));
        ASSERT_EQ(TsdUnregisterTouchCallback(manager), TSD_OK);
        EXPECT_TRUE(threadsBackToBaseline());
    }
}

TEST_F(CallbackManagerTest, OtherKindsKeepDeliveringWhenOneIsUnregistered) {
    Received touch;
    Received raw;
    ASSERT_EQ(TsdRegisterTouchCallback(manager, onPoint, &touch), TSD_OK);
    ASSERT_EQ(TsdRegisterRawtouchCallback(manager, onPoint, &raw), TSD_OK);
    ASSERT_EQ(TsdUnregisterTouchCallback(manager), TSD_OK);
    EXPECT_TRUE(deliveryRunning());
    sendTouches(0x36, 0, 2);
    sendTouches(0x34, 0, 2);
    ASSERT_TRUE(eventually([&] { return raw.count == 2; }));
    EXPECT_EQ(touch.count, 0);
    ASSERT_EQ(TsdUnregisterRawtouchCallback(manager), TSD_OK);
    EXPECT_TRUE(threadsBackToBaseline());
}

TEST(CallbackManagerExports, NullScreenIsAcceptedAndDeliversNothing) {
    CallbackManagerHandle manager = nullptr;
    ASSERT_EQ(TsdCreateCallbackManager(&manager, nullptr), TSD_OK);
    Received received;
    ASSERT_EQ(TsdRegisterTouchCallback(manager, onPoint, &received), TSD_OK);
    EXPECT_EQ(TsdUnregisterTouchCallback(manager), TSD_OK);
    EXPECT_EQ(TsdDeleteCallbackManager(manager), TSD_OK);
    EXPECT_EQ(received.count, 0);
}

std::atomic<int> nullContextCalls{0};

void onKeyExpectingNullContext(void* context, VirtualKeyEvent*) {
    if (context == nullptr) ++nullContextCalls;
}

TEST_F(CallbackManagerTest, NullContextIsHandedBackAsNull) {
    ASSERT_EQ(TsdRegisterVirtualKeyCallback(manager, onKeyExpectingNullContext, nullptr), TSD_OK);
    ASSERT_TRUE(screen.send({0x38, 0x01, 0x01}));
    EXPECT_TRUE(eventually([] { return nullContextCalls == 1; }));
}

TEST_F(CallbackManagerTest, SlowCallbackGetsEveryReportAfterwardsInOrder) {
    SyncEvent gate;
    Received received;
    received.gate = &gate;
    ASSERT_EQ(TsdRegisterTouchCallback(manager, onPoint, &received), TSD_OK);
    sendTouches(0x36, 0, 1);
    ASSERT_TRUE(eventually([&] { return received.inside.load(); }));
    constexpr int kReports = 500;
    sendTouches(0x36, 1, kReports);
    gate.set();
    ASSERT_TRUE(eventually([&] { return received.count == kReports; }));
    std::lock_guard<std::mutex> lock(received.mutex);
    for (int i = 0; i < kReports; ++i)
        ASSERT_EQ(received.scanTimes[static_cast<std::size_t>(i)], i);
}

TEST_F(CallbackManagerTest, NoCallbackRunsAfterAStopWithPacketsQueued) {
    struct Stop {
        const char* name;
        TsdResult (*stop)(CallbackManagerHandle);
    };
    for (const Stop& s : {Stop{"unregister", TsdUnregisterTouchCallback},
                          Stop{"unregister all", TsdUnregisterAllCallback}}) {
        SCOPED_TRACE(s.name);
        SyncEvent gate;
        Received received;
        received.gate = &gate;
        ASSERT_EQ(TsdRegisterTouchCallback(manager, onPoint, &received), TSD_OK);
        sendTouches(0x36, 0, 50);
        ASSERT_TRUE(eventually([&] { return received.inside.load(); }));
        std::atomic<bool> stopped{false};
        std::string stopperId;
        std::mutex idLock;
        std::thread stopper([&] {
            {
                std::lock_guard<std::mutex> lock(idLock);
                stopperId = tsdtest::currentThreadId();
            }
            EXPECT_EQ(s.stop(manager), TSD_OK);
            EXPECT_FALSE(received.inside) << "the stop returned while a callback ran";
            stopped = true;
        });
        // The stop, blocked behind the callback, sleeps; one that did not
        // wait has returned.
        EXPECT_TRUE(eventually([&] {
            std::lock_guard<std::mutex> lock(idLock);
            return stopped || (!stopperId.empty() && tsdtest::threadAsleep(stopperId));
        }));
        EXPECT_FALSE(stopped) << "the stop did not wait for the callback under way";
        gate.set();
        stopper.join();
        const int atStop = received.count;
        EXPECT_TRUE(threadsBackToBaseline());
        EXPECT_EQ(received.count, atStop);
    }
}

TEST_F(CallbackManagerTest, DeleteWaitsForACallbackUnderWay) {
    SyncEvent gate;
    Received received;
    received.gate = &gate;
    CallbackManagerHandle other = nullptr;
    ASSERT_EQ(TsdCreateCallbackManager(&other, screen.handle()), TSD_OK);
    ASSERT_EQ(TsdRegisterTouchCallback(other, onPoint, &received), TSD_OK);
    sendTouches(0x36, 0, 20);
    ASSERT_TRUE(eventually([&] { return received.inside.load(); }));
    // The gate opens once the delete sleeps, waiting for the callback.
    const std::string deleterId = tsdtest::currentThreadId();
    std::thread opener([&] {
        eventually([&] { return tsdtest::threadAsleep(deleterId); });
        gate.set();
    });
    EXPECT_EQ(TsdDeleteCallbackManager(other), TSD_OK);
    EXPECT_FALSE(received.inside);
    opener.join();
    EXPECT_TRUE(threadsBackToBaseline());
}

// A spinning thread never sleeps; what the threads cost once the screen is
// gone is measured by bench/bench_delivery.cpp.
TEST_F(CallbackManagerTest, HungUpScreenLeavesThreadsAsleepAndStillUnregisters) {
    Received received;
    ASSERT_EQ(TsdRegisterTouchCallback(manager, onPoint, &received), TSD_OK);
    sendTouches(0x36, 0, 5);
    screen.hangUp();
    ASSERT_TRUE(eventually([&] { return received.count == 5; })) << "queued reports are delivered";
    EXPECT_TRUE(deliveryRunning());
    for (const std::string& id : tsdtest::libraryThreads()) {
        EXPECT_TRUE(eventually([&] { return tsdtest::threadAsleep(id); })) << "a thread spins";
    }
    EXPECT_EQ(TsdUnregisterTouchCallback(manager), TSD_OK);
    EXPECT_TRUE(threadsBackToBaseline());
}

TEST_F(CallbackManagerTest, CallbackMayUnregisterItself) {
    Received raw;
    Received touch;
    touch.unregisterFrom = manager;
    // First with another kind still registered, then as the last callback.
    ASSERT_EQ(TsdRegisterRawtouchCallback(manager, onPoint, &raw), TSD_OK);
    ASSERT_EQ(TsdRegisterTouchCallback(manager, onPoint, &touch), TSD_OK);
    sendTouches(0x36, 0, 3);
    sendTouches(0x34, 0, 1);
    ASSERT_TRUE(eventually([&] { return raw.count == 1; }));
    EXPECT_EQ(touch.count, 1);
    EXPECT_EQ(touch.unregisterResult, TSD_OK);
    ASSERT_EQ(TsdUnregisterRawtouchCallback(manager), TSD_OK);

    // Reports already waiting reach the callback as soon as delivery starts,
    // perhaps before the registration has returned.
    Received last;
    last.unregisterFrom = manager;
    sendTouches(0x36, 0, 3);
    ASSERT_EQ(TsdRegisterTouchCallback(manager, onPoint, &last), TSD_OK);
    ASSERT_TRUE(eventually([&] { return threadCount() == baselineThreads; }));
    EXPECT_EQ(last.count, 1);
    EXPECT_EQ(last.unregisterResult, TSD_OK);
    // The ended thread is reaped by the next registration, which delivers.
    Received again;
    ASSERT_EQ(TsdRegisterTouchCallback(manager, onPoint, &again), TSD_OK);
    sendTouches(0x36, 0, 1);
    EXPECT_TRUE(eventually([&] { return again.count >= 1; }));
    EXPECT_EQ(TsdUnregisterAllCallback(manager), TSD_OK);
}

std::atomic<TsdResult> deleteFromCallback{TSD_OK};

void onTouchDeletingManager(void* context, TouchPoint*) {
    deleteFromCallback = TsdDeleteCallbackManager(static_cast<CallbackManagerHandle>(context));
}

TEST_F(CallbackManagerTest, CallbackCannotDeleteItsOwnManager) {
    ASSERT_EQ(TsdRegisterTouchCallback(manager, onTouchDeletingManager, manager), TSD_OK);
    sendTouches(0x36, 0, 1);
    EXPECT_TRUE(eventually([] { return deleteFromCallback == TSD_FAILURE; }));
}

// Leaves no descriptor free for the duration of its life.
class DescriptorStarvation {
public:
    DescriptorStarvation() {
        getrlimit(RLIMIT_NOFILE, &saved_);
        const int lowestFree = dup(0);
        close(lowestFree);
        rlimit starved = saved_;
        starved.rlim_cur = static_cast<rlim_t>(lowestFree);
        setrlimit(RLIMIT_NOFILE, &starved);
    }
    ~DescriptorStarvation() { setrlimit(RLIMIT_NOFILE, &saved_); }

private:
    rlimit saved_{};
};

TEST_F(CallbackManagerTest, FailedStartLeavesTheSlotFree) {
    Received received;
    {
        DescriptorStarvation starvation;
        EXPECT_EQ(TsdRegisterTouchCallback(manager, onPoint, &received), TSD_FAILURE);
    }
    EXPECT_TRUE(threadsBackToBaseline());
    EXPECT_EQ(TsdUnregisterTouchCallback(manager), TSD_FAILURE) << "the slot stayed filled";
    // Another kind now has to start delivery itself rather than assume it runs.
    Received raw;
    ASSERT_EQ(TsdRegisterRawtouchCallback(manager, onPoint, &raw), TSD_OK);
    EXPECT_TRUE(deliveryRunning());
    sendTouches(0x34, 0, 1);
    EXPECT_TRUE(eventually([&] { return raw.count == 1; }));
    EXPECT_EQ(TsdUnregisterAllCallback(manager), TSD_OK);
}

// One registration of the churn test; freed as soon as it is unregistered,
// so a late call shows up as a use after free under ASan, and as a
// violation otherwise.
struct Registration {
    Registration(int t, std::atomic<int>* v) : tag(t), violations(v) {}
    const int tag;
    std::atomic<bool> retired{false};
    std::atomic<int>* const violations;
};

template <int Tag>
void onChurnPoint(void* context, TouchPoint*) {
    auto* registration = static_cast<Registration*>(context);
    if (registration->tag != Tag || registration->retired) ++*registration->violations;
}

TEST_F(CallbackManagerTest, ChurnWhileReportsStreamNeverMismatchesOrCallsLate) {
    std::atomic<bool> streaming{true};
    std::thread writer([&] {
        for (uint16_t i = 0; streaming; ++i) {
            screen.sendNonBlocking(contactReport(i % 2 == 0 ? 0x36 : 0x34, i, i));
            if (i % 16 == 0) std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    });
    std::atomic<int> violations{0};
    Received raw;
    for (int round = 0; round < 300; ++round) {
        // Half the rounds keep another kind registered (slot changes only),
        // the other half start and stop the threads each time.
        if (round % 100 == 0) {
            TsdUnregisterRawtouchCallback(manager);
        } else if (round % 100 == 50) {
            ASSERT_EQ(TsdRegisterRawtouchCallback(manager, onPoint, &raw), TSD_OK);
        }
        const bool a = round % 2 == 0;
        auto registration = std::make_unique<Registration>(a ? 1 : 2, &violations);
        ASSERT_EQ(TsdRegisterTouchCallback(manager, a ? onChurnPoint<1> : onChurnPoint<2>,
                                           registration.get()),
                  TSD_OK);
        std::this_thread::sleep_for(std::chrono::microseconds(round % 7 * 100));
        ASSERT_EQ(TsdUnregisterTouchCallback(manager), TSD_OK);
        registration->retired = true;
    }
    streaming = false;
    writer.join();
    EXPECT_EQ(TsdUnregisterAllCallback(manager), TSD_OK);
    EXPECT_EQ(violations, 0);
}

// A callback of 20 ms against a stream the reader takes as fast as the
// screen sends: the backlog stops at its bound, the oldest reports make
// way, and what is delivered stays in report order.
TEST_F(CallbackManagerTest, SlowCallbackMeetsABoundedBacklogThatDropsTheOldest) {
    struct Slow {
        std::mutex mutex;
        std::vector<uint16_t> scanTimes;  // guarded by mutex
        std::atomic<int> count{0};
    } slow;
    const TouchCallback onSlowPoint = [](void* context, TouchPoint* point) {
        auto* s = static_cast<Slow*>(context);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        std::lock_guard<std::mutex> lock(s->mutex);
        s->scanTimes.push_back(point->scanTime);
        ++s->count;
    };
    ASSERT_EQ(TsdRegisterTouchCallback(manager, onSlowPoint, &slow), TSD_OK);
    constexpr int kReports = 3 * static_cast<int>(kReportBacklog);
    sendTouches(0x36, 0, kReports);
    const BacklogStats& backlog = recordOf(manager)->backlog;
    ASSERT_TRUE(eventually([&] { return backlog.received == kReports; }));
    // The call under way may hold an older report; the one after it comes
    // from what the backlog kept: the newest kReportBacklog reports.
    const int atBurstEnd = slow.count;
    ASSERT_TRUE(eventually([&] { return slow.count >= atBurstEnd + 2; }));
    ASSERT_EQ(TsdUnregisterTouchCallback(manager), TSD_OK);

    EXPECT_EQ(backlog.highWater, kReportBacklog);
    EXPECT_GE(backlog.dropped,
              kReports - kReportBacklog - static_cast<std::size_t>(atBurstEnd) - 1);
    std::lock_guard<std::mutex> lock(slow.mutex);
    EXPECT_GE(slow.scanTimes.back(), kReports - static_cast<int>(kReportBacklog));
    for (std::size_t i = 1; i < slow.scanTimes.size(); ++i) {
        ASSERT_LT(slow.scanTimes[i - 1], slow.scanTimes[i]) << "delivered out of order";
    }
}

}  // namespace
}  // namespace touchsdk
