#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "emulated_screen_fixture.h"
#include "input_reports.h"
#include "touch_script.h"
#include "touch_script_player.h"

namespace {

using namespace std::chrono_literals;

struct Point {
    int state, id;
    float x, y;
    int scanTime;
};

// Everything the four callbacks received, with a bounded wait for more.
class Received {
public:
    static void onTouch(void* context, TouchPoint* point) {
        static_cast<Received*>(context)->add(&Received::touches, *point);
    }
    static void onRaw(void* context, TouchPoint* point) {
        static_cast<Received*>(context)->add(&Received::raw, *point);
    }
    static void onDiagnosis(void* context, uint8_t* data) {
        auto* self = static_cast<Received*>(context);
        std::lock_guard<std::mutex> lock(self->mutex_);
        self->diagnosis.assign(data, data + TSD_DIAGNOSIS_DATA_SIZE);
        self->changed_.notify_all();
    }
    static void onKey(void* context, VirtualKeyEvent* event) {
        auto* self = static_cast<Received*>(context);
        std::lock_guard<std::mutex> lock(self->mutex_);
        self->keys.emplace_back(event->key, event->state);
        self->changed_.notify_all();
    }

    template <typename Done>
    bool waitUntil(Done done) {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, 10s, [&] { return done(*this); });
    }
    std::size_t touchCount() {
        std::lock_guard<std::mutex> lock(mutex_);
        return touches.size();
    }

    // Read under the lock (in waitUntil) or once delivery has stopped.
    std::vector<Point> touches;
    std::vector<Point> raw;
    std::vector<uint8_t> diagnosis;
    std::vector<std::pair<int, int>> keys;

private:
    void add(std::vector<Point> Received::*list, const TouchPoint& point) {
        const TouchPoint copy = point;  // packed: read it member by member
        std::lock_guard<std::mutex> lock(mutex_);
        (this->*list).push_back({copy.state, copy.id, copy.x, copy.y, copy.scanTime});
        changed_.notify_all();
    }

    std::mutex mutex_;
    std::condition_variable changed_;
};

class TouchDelivery : public tsdtest::EmulatedScreenTest {
protected:
    CallbackManagerHandle createManager(TouchScreenHandle screen) {
        EXPECT_EQ(TsdCreateCallbackManager(&manager, screen), TSD_OK);
        return manager;
    }
    void TearDown() override {
        if (manager != nullptr) {
            EXPECT_EQ(TsdDeleteCallbackManager(manager), TSD_OK);
        }
        EmulatedScreenTest::TearDown();
    }

    CallbackManagerHandle manager = nullptr;
    Received received;
};

TEST(InputReports, ContactReportLayout) {
    tsdemu::Contact lifted;
    lifted.id = 9;
    lifted.x = 0x1234;
    lifted.y = 0xABCD;
    lifted.width = 1;
    lifted.height = 2;
    lifted.touching = false;
    const std::vector<uint8_t> golden{
        0x36, 0x05, 0x07, 0x10, 0x00, 0x20, 0x00, 0x28, 0x00, 0x28, 0x00,  // entry 0
        0x04, 0x09, 0x34, 0x12, 0xCD, 0xAB, 0x01, 0x00, 0x02, 0x00,        // entry 1
        0xEF, 0xBE, 0x05};
    tsdemu::Contact touching;
    touching.id = 7;
    touching.x = 0x10;
    touching.y = 0x20;
    EXPECT_EQ(tsdemu::contactReport(0x36, {touching, lifted}, 0xBEEF, 5), golden);
    EXPECT_EQ(tsdemu::touchReport({touching, lifted, touching}, 0xBEEF)[23], 3)
        << "the count tells of contacts beyond the two entries";
    EXPECT_EQ(tsdemu::virtualKeyReport(5, 1), (std::vector<uint8_t>{0x38, 0x05, 0x01}));
}

TEST_F(TouchDelivery, EveryReportKindReachesItsCallback) {
    tsdemu::PresentedScreen& screen = plugScreen();
    createManager(openScreen(screen));
    ASSERT_EQ(TsdRegisterTouchCallback(manager, Received::onTouch, &received), TSD_OK);
    ASSERT_EQ(TsdRegisterRawtouchCallback(manager, Received::onRaw, &received), TSD_OK);
    ASSERT_EQ(TsdRegisterDiagnosisCallback(manager, Received::onDiagnosis, &received), TSD_OK);
    ASSERT_EQ(TsdRegisterVirtualKeyCallback(manager, Received::onKey, &received), TSD_OK);

    tsdemu::Contact first;
    first.id = 1;
    first.x = 100;
    first.y = 200;
    tsdemu::Contact second = first;
    second.id = 2;
    second.x = 65535;
    std::array<uint8_t, tsdemu::kDiagnosisDataSize> diagnosis{};
    for (std::size_t i = 0; i < diagnosis.size(); ++i) diagnosis[i] = static_cast<uint8_t>(i * 3);
    screen.pushReport(tsdemu::touchReport({first, second}, 42));
    screen.pushReport(tsdemu::rawTouchReport({first}, 43));
    screen.pushReport(tsdemu::diagnosisReport(diagnosis));
    screen.pushReport(tsdemu::virtualKeyReport(7, 1));

    ASSERT_TRUE(received.waitUntil([](const Received& r) {
        return r.touches.size() == 2 && r.raw.size() == 1 && !r.diagnosis.empty() &&
               !r.keys.empty();
    }));
    EXPECT_EQ(received.touches[0].x, 100.0f);
    EXPECT_EQ(received.touches[0].y, 200.0f);
    EXPECT_EQ(received.touches[1].id, 2);
    EXPECT_EQ(received.touches[1].x, 65535.0f);
    EXPECT_EQ(received.touches[1].scanTime, 42);
    EXPECT_EQ(received.raw[0].scanTime, 43);
    EXPECT_EQ(received.diagnosis, std::vector<uint8_t>(diagnosis.begin(), diagnosis.end()));
    EXPECT_EQ(received.keys, (std::vector<std::pair<int, int>>{{7, 1}}));
}

TEST_F(TouchDelivery, ScriptedStreamsArriveInOrder) {
    tsdemu::PresentedScreen& screen = plugScreen();
    createManager(openScreen(screen));
    ASSERT_EQ(TsdRegisterTouchCallback(manager, Received::onTouch, &received), TSD_OK);

    tsdemu::TouchScript script = tsdemu::movingContact({100, 1000}, {1000, 100}, 20, 500.0);
    const tsdemu::TouchScript two = tsdemu::twoContacts({10, 10}, {20, 20}, 2, 500.0);
    const tsdemu::TouchScript tapped = tsdemu::tap({5, 6}, 2ms);
    for (const tsdemu::TouchScript* more : {&two, &tapped}) {
        const auto offset = script.back().at + 2ms;
        for (tsdemu::ScriptedReport item : *more) {
            item.at += offset;
            script.push_back(std::move(item));
        }
    }
    tsdemu::TouchScriptPlayer player(screen, script);
    // 21 moving (the last lifts), 3 x 2 from the pair, 2 from the tap.
    ASSERT_TRUE(received.waitUntil([](const Received& r) { return r.touches.size() == 29; }));
    const std::vector<Point> touches = received.touches;
    EXPECT_EQ(touches.front().x, 100.0f);
    EXPECT_EQ(touches[20].x, 1000.0f);
    EXPECT_EQ(touches[20].state, 0);
    for (std::size_t i = 1; i <= 20; ++i) EXPECT_GE(touches[i].x, touches[i - 1].x);
    EXPECT_EQ(touches[21].id, 1);
    EXPECT_EQ(touches[22].id, 2);
    EXPECT_EQ(touches[26].state, 0);
    EXPECT_EQ(touches[27].x, 5.0f);
    EXPECT_EQ(touches[28].state, 0);
}

// Both threads go to sleep once the screen is gone (a spinning one never
// sleeps); what they cost meanwhile is measured by bench/bench_delivery.cpp.
TEST_F(TouchDelivery, UnplugWhileStreamingLeavesBothThreadsAsleepAndStillUnregisters) {
    tsdemu::PresentedScreen& screen = plugScreen();
    createManager(openScreen(screen));
    ASSERT_EQ(TsdRegisterTouchCallback(manager, Received::onTouch, &received), TSD_OK);
    tsdemu::TouchScriptPlayer player(screen,
                                     tsdemu::movingContact({0, 0}, {4000, 4000}, 2000, 200.0));
    ASSERT_TRUE(received.waitUntil([](const Received& r) { return r.touches.size() >= 5; }));
    unplug(screen);
    player.wait();
    const std::size_t atUnplug = received.touchCount();

    const std::vector<std::string> threads = tsdtest::libraryThreads();
    ASSERT_EQ(threads.size(), 2u);
    for (const std::string& id : threads) {
        EXPECT_TRUE(tsdtest::eventually([&] { return tsdtest::threadAsleep(id); }))
            << "a thread spins on the gone screen";
    }
    EXPECT_EQ(received.touchCount(), atUnplug);
    EXPECT_EQ(TsdUnregisterTouchCallback(manager), TSD_OK);
    EXPECT_TRUE(tsdtest::noLibraryThreadsRemain());
}

}  // namespace
