#include "common/sync_event.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace touchsdk {
namespace {

TEST(SyncEvent, SeveralSetsBeforeOneWaitCountAsOne) {
    SyncEvent event;
    event.set();
    event.set();
    event.wait();  // returns at once: the signal was latched
    EXPECT_FALSE(event.isSet());

    std::atomic<bool> returned{false};
    std::thread waiter([&] {
        event.wait();
        returned = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
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
