// Prints how long TsdDeleteTouchScreenNotification takes from its call to
// its return, with the watcher idle and with events flowing, against the
// emulated screen. Delete wakes the watcher through its stop descriptor, so
// it must not wait on any time-out.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "bench_args.h"
#include "preload.h"
#include "testbed.h"
#include "touchsdk.h"

namespace {

using Clock = std::chrono::steady_clock;

double microsecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::micro>(Clock::now() - start).count();
}

double percentile(std::vector<double> values, double p) {
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1,
                           static_cast<std::size_t>(p * static_cast<double>(values.size())))];
}

void report(const char* what, const std::vector<double>& samples) {
    std::printf("%-34s median %8.1f us   p99 %8.1f us   max %8.1f us   (n=%zu)\n", what,
                percentile(samples, 0.5), percentile(samples, 0.99), percentile(samples, 1.0),
                samples.size());
}

}  // namespace

int main(int argc, char** argv) {
    bench::sizes(argc, argv, {});
    tsdemu::ensureUmockdevPreload(argv);
    tsdemu::Testbed testbed;
    constexpr int kRounds = 200;
    std::vector<double> idle;
    std::vector<double> create;
    for (int i = 0; i < kRounds; ++i) {
        NotificationHandle handle = nullptr;
        const Clock::time_point created = Clock::now();
        if (TsdCreateTouchScreenNotificationA(&handle, nullptr, nullptr) != TSD_OK) return 1;
        create.push_back(microsecondsSince(created));
        const Clock::time_point start = Clock::now();
        TsdDeleteTouchScreenNotification(handle);
        idle.push_back(microsecondsSince(start));
    }
    std::vector<double> busy;
    for (int i = 0; i < kRounds / 10; ++i) {
        NotificationHandle handle = nullptr;
        if (TsdCreateTouchScreenNotificationA(&handle, nullptr, nullptr) != TSD_OK) return 1;
        tsdemu::EmulatedScreen& screen = testbed.plug();
        testbed.unplug(screen);
        const Clock::time_point start = Clock::now();
        TsdDeleteTouchScreenNotification(handle);
        busy.push_back(microsecondsSince(start));
    }
    report("Create (to listening watcher)", create);
    report("Delete, watcher idle", idle);
    report("Delete, right after 8 events", busy);
    return 0;
}
