#include "touch/report_reader.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "common/wake_fd.h"
#include "delivery_test_support.h"
#include "thread_list.h"

namespace touchsdk {
namespace {

using testing::eventually;
using testing::SocketScreen;

// readReports on a thread of its own, collecting what it reads.
class RunningReader {
public:
    explicit RunningReader(const DeviceHandleRecord* device) : wakeFd_(makeWakeFd()) {
        thread_ = std::thread([this, device] {
            setId(tsdtest::currentThreadId());
            readReports(device, ReaderStop{&stop_, wakeFd_.get()}, &RunningReader::collect, this,
                        &RunningReader::noteIdle);
            returned_ = true;
        });
    }
    ~RunningReader() {
        stop();
        thread_.join();
    }
    void stop() {
        stop_.set();
        signalWakeFd(wakeFd_.get());
    }
    std::vector<std::vector<uint8_t>> packets() {
        std::lock_guard<std::mutex> lock(mutex_);
        return packets_;
    }
    std::size_t count() { return packets().size(); }
    // How many packets had been read each time the reader went idle.
    std::vector<std::size_t> idleAt() {
        std::lock_guard<std::mutex> lock(mutex_);
        return idleAt_;
    }
    bool returned() const { return returned_; }
    // Sleeping in the kernel now, or already returned.
    bool asleepOrReturned() {
        std::lock_guard<std::mutex> lock(mutex_);
        return returned_ || (!id_.empty() && tsdtest::threadAsleep(id_));
    }

private:
    void setId(std::string id) {
        std::lock_guard<std::mutex> lock(mutex_);
        id_ = std::move(id);
    }
    static void collect(void* context, const uint8_t* bytes, uint32_t length) {
        auto* self = static_cast<RunningReader*>(context);
        std::lock_guard<std::mutex> lock(self->mutex_);
        self->packets_.emplace_back(bytes, bytes + length);
    }
    static void noteIdle(void* context) {
        auto* self = static_cast<RunningReader*>(context);
        std::lock_guard<std::mutex> lock(self->mutex_);
        self->idleAt_.push_back(self->packets_.size());
    }

    SyncEvent stop_;
    UniqueFd wakeFd_;
    std::mutex mutex_;
    std::vector<std::vector<uint8_t>> packets_;  // guarded by mutex_
    std::vector<std::size_t> idleAt_;            // guarded by mutex_
    std::string id_;                             // guarded by mutex_
    std::atomic<bool> returned_{false};
    std::thread thread_;
};

TEST(ReadReports, EachReadBecomesOnePacketInOrder) {
    SocketScreen screen;
    RunningReader reader(&screen.record());
    const std::vector<uint8_t> key{0x38, 0x05, 0x01};
    const std::vector<uint8_t> touch = testing::contactReport(0x36, 100, 7);
    ASSERT_TRUE(screen.send(key));
    ASSERT_TRUE(screen.send(touch));
    ASSERT_TRUE(screen.send(key));
    ASSERT_TRUE(eventually([&] { return reader.count() == 3; }));
    EXPECT_EQ(reader.packets(), (std::vector<std::vector<uint8_t>>{key, touch, key}));
}

// The idle call is what hands a batch over: it must come once all that was
// waiting has been read, not between those reports, and never be skipped.
TEST(ReadReports, IdleComesOnceWhatWasWaitingHasBeenRead) {
    SocketScreen screen;
    for (uint8_t key = 0; key < 5; ++key) ASSERT_TRUE(screen.send({0x38, key, 0x01}));
    RunningReader reader(&screen.record());
    ASSERT_TRUE(eventually([&] { return !reader.idleAt().empty(); }));
    EXPECT_EQ(reader.idleAt(), std::vector<std::size_t>{5});
    ASSERT_TRUE(screen.send({0x38, 0x05, 0x01}));
    ASSERT_TRUE(eventually([&] { return reader.idleAt().size() == 2; }));
    EXPECT_EQ(reader.idleAt().back(), 6U);
}

// Idle, or with its screen gone, the reader sleeps (it neither spins nor
// returns) until it is told to stop. How rarely it wakes is measured by
// bench/bench_delivery.cpp, not asserted here.
TEST(ReadReports, SleepsUntilItsStopIdleOrWithTheScreenGone) {
    enum class Screen { Idle, HungUp, NeverOpen };
    for (const Screen c : {Screen::Idle, Screen::HungUp, Screen::NeverOpen}) {
        SCOPED_TRACE(static_cast<int>(c));
        SocketScreen screen;
        DeviceHandleRecord closed;
        closed.fd = 1000;  // nothing is open there
        RunningReader reader(c == Screen::NeverOpen ? &closed : &screen.record());
        if (c == Screen::HungUp) {
            ASSERT_TRUE(screen.send({0x38, 0x01, 0x01}));
            ASSERT_TRUE(screen.send({0x38, 0x02, 0x01}));
            screen.hangUp();
            // Reports written before the hang-up are still read, and handed
            // over before the reader sleeps for good.
            ASSERT_TRUE(eventually([&] { return reader.count() == 2; }));
            ASSERT_TRUE(eventually([&] { return !reader.idleAt().empty(); }));
            EXPECT_EQ(reader.idleAt().back(), 2U);
        }
        ASSERT_TRUE(eventually([&] { return reader.asleepOrReturned(); }));
        EXPECT_FALSE(reader.returned()) << "the reader ends only when told to";
        reader.stop();
        EXPECT_TRUE(eventually([&] { return reader.returned(); }));
    }
}

TEST(ReadReports, NullDeviceReturnsAtOnce) {
    RunningReader reader(nullptr);
    EXPECT_TRUE(eventually([&] { return reader.returned(); }));
}

}  // namespace
}  // namespace touchsdk
