#include "touch/report_reader.h"

#include <gtest/gtest.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "delivery_test_support.h"
#include "touch/wake_fd.h"

namespace touchsdk {
namespace {

using testing::eventually;
using testing::SocketScreen;

long voluntarySwitches(pid_t tid) {
    std::ifstream status("/proc/self/task/" + std::to_string(tid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("voluntary_ctxt_switches:", 0) == 0) return std::stol(line.substr(24));
    }
    return -1;
}

// readReports on a thread of its own, collecting what it reads.
class RunningReader {
public:
    explicit RunningReader(const DeviceHandleRecord* device) : wakeFd_(makeWakeFd()) {
        thread_ = std::thread([this, device] {
            tid_ = static_cast<pid_t>(syscall(SYS_gettid));
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
    pid_t tid() const { return tid_; }

private:
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
    std::atomic<bool> returned_{false};
    std::atomic<pid_t> tid_{0};
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

TEST(ReadReports, IdleReaderSleepsUntilItsStop) {
    SocketScreen screen;
    RunningReader reader(&screen.record());
    ASSERT_TRUE(eventually([&] { return reader.tid() != 0; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const long before = voluntarySwitches(reader.tid());
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    const long after = voluntarySwitches(reader.tid());
    ASSERT_GE(before, 0);
    // A reader polling with a time-out would switch hundreds of times here.
    EXPECT_LE(after - before, 5);
    EXPECT_FALSE(reader.returned());
    reader.stop();
    EXPECT_TRUE(eventually([&] { return reader.returned(); }));
}

TEST(ReadReports, GoneScreenCostsNoCpuUntilTheStop) {
    struct Case {
        const char* name;
        bool hangUp;  // else: the descriptor is not open at all
    };
    for (const Case& c : {Case{"peer hang-up", true}, Case{"invalid descriptor", false}}) {
        SCOPED_TRACE(c.name);
        SocketScreen screen;
        DeviceHandleRecord closed;
        closed.fd = 1000;  // nothing is open there
        RunningReader reader(c.hangUp ? &screen.record() : &closed);
        if (c.hangUp) {
            ASSERT_TRUE(screen.send({0x38, 0x01, 0x01}));
            ASSERT_TRUE(screen.send({0x38, 0x02, 0x01}));
            screen.hangUp();
            // Reports written before the hang-up are still read, and handed
            // over before the reader sleeps for good.
            ASSERT_TRUE(eventually([&] { return reader.count() == 2; }));
            ASSERT_TRUE(eventually([&] { return !reader.idleAt().empty(); }));
            EXPECT_EQ(reader.idleAt().back(), 2U);
        }
        EXPECT_LT(testing::cpuShareOver(std::chrono::milliseconds(1000)), 0.2);
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
