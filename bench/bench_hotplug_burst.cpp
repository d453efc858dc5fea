// A burst of hot-plug events: 1,000 "add" and "remove" uevents, alternating,
// sent as fast as the emulated monitor takes them, through a watcher whose
// callback only checks them. Reports lost and misordered events, the rate,
// and how long TsdDeleteTouchScreenNotification takes right after the last
// event was sent, next to a Delete of an idle watcher in the same run.
// The emulated monitor socket aborts the process at its 12th unread event,
// so the sender keeps at most kInFlight events unread; a real netlink socket
// holds far more, and its overflow cannot be produced here.
//
//   tools/bench-hotplug-burst [events per burst] [bursts]
#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "bench_support.h"
#include "preload.h"
#include "testbed.h"

namespace {

using namespace bench;

constexpr std::size_t kInFlight = 8;

// What the watcher delivered: every event is checked against the one sent.
class Received {
public:
    explicit Received(std::string devpath) : devpath_(std::move(devpath)) {}

    static void onEvent(void* context, uint32_t action, const char* path) {
        static_cast<Received*>(context)->add(action, path);
    }
    // Blocks until at most `unread` sent events are still to come.
    void waitUntilBehindBy(std::size_t sent, std::size_t unread) {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait_for(lock, 10s, [&] { return count_ + unread >= sent; });
    }
    bool waitForAll(std::size_t sent) {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, 10s, [&] { return count_ >= sent; });
    }
    std::size_t count() {
        std::lock_guard<std::mutex> lock(mutex_);
        return count_;
    }
    std::size_t wrong() {
        std::lock_guard<std::mutex> lock(mutex_);
        return wrong_;
    }

private:
    void add(uint32_t action, const char* path) {
        std::lock_guard<std::mutex> lock(mutex_);
        // Sent alternately: "add" (0) for even events, "remove" (1) for odd.
        if (action != count_ % 2 || path == nullptr || devpath_ != path) ++wrong_;
        ++count_;
        changed_.notify_all();
    }

    const std::string devpath_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::size_t count_ = 0;  // guarded by mutex_
    std::size_t wrong_ = 0;  // guarded by mutex_
};

double deleteUs(NotificationHandle handle) {
    const int64_t start = nowNs();
    TsdDeleteTouchScreenNotification(handle);
    return static_cast<double>(nowNs() - start) / 1000.0;
}

}  // namespace

int main(int argc, char** argv) {
    tsdemu::ensureUmockdevPreload(argv);
    const std::vector<int> size =
        bench::sizes(argc, argv, {{"EVENTS", 1000, 1, 1000000}, {"BURSTS", 6, 2, 1000}});
    const auto events = static_cast<std::size_t>(size[0]);
    const int bursts = size[1];
    tsdemu::Testbed testbed;
    const std::string syspath = testbed.addOtherDevice("input", "burst-device");
    const std::string devpath = syspath.substr(4);  // without "/sys"
    std::vector<double> afterBurst;
    std::vector<double> idle;
    std::size_t lost = 0;
    std::size_t wrong = 0;
    double sendSeconds = 0;
    for (int b = 0; b < bursts; ++b) {
        NotificationHandle handle = nullptr;
        TsdCreateTouchScreenNotificationA(&handle, nullptr, nullptr);
        idle.push_back(deleteUs(handle));

        Received received(devpath);
        if (TsdCreateTouchScreenNotificationA(&handle, Received::onEvent, &received) != TSD_OK) {
            std::fprintf(stderr, "cannot start a watcher\n");
            return 1;
        }
        const int64_t start = nowNs();
        for (std::size_t i = 0; i < events; ++i) {
            received.waitUntilBehindBy(i, kInFlight);
            testbed.uevent(syspath, i % 2 == 0 ? "add" : "remove");
        }
        // The first burst is awaited in full to count losses; after the
        // others Delete comes at once, with the last events possibly still
        // on their way (those it cuts off).
        const bool awaited = b == 0;
        if (awaited) received.waitForAll(events);
        sendSeconds += static_cast<double>(nowNs() - start) / 1e9;
        const double deleteTime = deleteUs(handle);
        if (awaited) lost += events - received.count();
        if (!awaited) afterBurst.push_back(deleteTime);
        wrong += received.wrong();
    }
    figure("hotplug_burst_events", static_cast<double>(events), "events");
    figure("hotplug_burst_rate", static_cast<double>(events) * bursts / sendSeconds, "events/s");
    figure("hotplug_burst_lost", static_cast<double>(lost), "events");
    figure("hotplug_burst_misordered", static_cast<double>(wrong), "events");
    figure("hotplug_delete_after_burst_max", percentile(afterBurst, 1.0), "us");
    figure("hotplug_delete_after_burst_median", percentile(afterBurst, 0.5), "us");
    figure("hotplug_delete_idle_median", percentile(idle, 0.5), "us");
    figure("hotplug_delete_after_burst_ratio_to_idle",
           percentile(afterBurst, 0.5) / percentile(idle, 0.5), "x");
    return lost == 0 && wrong == 0 ? 0 : 1;
}
