#include "common/sync_event.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>

#include "eventually.h"
#include "thread_list.h"

namespace touchsdk {
namespace {

TEST(SyncEvent, SeveralSetsBeforeOneWaitCountAsOne) {
    SyncEvent event;
    event.set();
    event.set();
    event.wait();  // returns at once: the signal was latched
    EXPECT_FALSE(event.isSet());

    std::atomic<bool> returned{false};
    std::mutex idLock;
    std::string waiterId;
    std::thread waiter([&] {
        {
            std::lock_guard<std::mutex> lock(idLock);
            waiterId = tsdtest::currentThreadId();
        }
        event.wait();
        returned = true;
    });
    EXPECT_TRUE(tsdtest::eventually([&] {
        std::lock_guard<std::mutex> lock(idLock);
        return returned || (!waiterId.empty() && tsdtest::threadAsleep(waiterId));
    }));
    EXPECT_FALSE(returned) << "the second wait consumed a signal that was already used";
    event.set();
    waiter.join();
    EXPECT_TRUE(returned);
}

TEST(SyncEvent, IsSetReadsWithoutClearing) {
    SyncEvent event;
    EXPECT_FALSE(event.isSet());
    event.set();
    EXPECT_TRUE(event.isSet());
    EXPECT_TRUE(event.isSet());
    event.wait();
    EXPECT_FALSE(event.isSet());
}

TEST(SyncEvent, WakesAWaiterOnAnotherThread) {
    auto event = SyncEvent::create();
    ASSERT_NE(event, nullptr);
    std::thread setter([&] { event->set(); });
    event->wait();
    setter.join();
    EXPECT_FALSE(event->isSet());
}

}  // namespace
}  // namespace touchsdk
