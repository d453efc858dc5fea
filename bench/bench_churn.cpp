// Churn against the emulated screen: the library's resources must come
// back to where they started however often they are taken and given back.
// Four phases, each after a short warm-up that lets the allocator and the
// emulator settle: 10,000 opens and closes; 2,000 callback-manager cycles
// while touches stream; 1,000 hot-plug watcher cycles while uevents flow;
// 8 threads of commands on one handle while delivery runs. After each
// phase, open descriptors, threads and resident memory are compared with
// their values before it.
//
//   tools/bench-churn [scale]     scale divides every count (default 1)
// Prints lines "FIGURE <name> <value> <unit>".
#include <dirent.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "bench_args.h"
#include "input_reports.h"
#include "preload.h"
#include "testbed.h"
#include "touchsdk.h"

namespace {

using Clock = std::chrono::steady_clock;

std::size_t entriesIn(const char* directory) {
    std::size_t count = 0;
    DIR* dir = ::opendir(directory);
    if (dir == nullptr) return 0;
    while (const dirent* entry = ::readdir(dir)) count += entry->d_name[0] != '.';
    ::closedir(dir);
    return count;
}

long residentKilobytes() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0;
    long resident = 0;
    statm >> pages >> resident;
    return resident * (::sysconf(_SC_PAGESIZE) / 1024);
}

struct Usage {
    std::size_t descriptors;
    std::size_t threads;
    long residentKb;
};

Usage usage() {
    // Joined threads may stay listed for a moment.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    return {entriesIn("/proc/self/fd"), entriesIn("/proc/self/task"), residentKilobytes()};
}

bool failed = false;

void require(bool ok, const char* what) {
    if (ok) return;
    std::fprintf(stderr, "failed: %s\n", what);
    failed = true;
}

// Runs `cycle` a few times to warm up, then `count` times, and prints the
// phase's figures.
void phase(const char* name, int count, const std::function<void()>& cycle) {
    for (int i = 0; i < 20; ++i) cycle();
    const Usage before = usage();
    const Clock::time_point start = Clock::now();
    for (int i = 0; i < count; ++i) cycle();
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    const Usage after = usage();
    std::printf("FIGURE %s_cycles %d count\n", name, count);
    std::printf("FIGURE %s_time %.2f s\n", name, seconds);
    std::printf("FIGURE %s_descriptor_change %ld count\n", name,
                static_cast<long>(after.descriptors) - static_cast<long>(before.descriptors));
    std::printf("FIGURE %s_thread_change %ld count\n", name,
                static_cast<long>(after.threads) - static_cast<long>(before.threads));
    std::printf("FIGURE %s_resident_change %ld kB\n", name, after.residentKb - before.residentKb);
    std::fflush(stdout);
}

// Keeps a few touch reports waiting on the screen while it runs.
class TouchStream {
public:
    explicit TouchStream(tsdemu::EmulatedScreen& screen)
        : thread_([this, &screen] {
              for (uint16_t scan = 0; running_; ++scan) {
                  if (screen.pendingReports() < 8) {
                      screen.pushReport(tsdemu::touchReport({{1, scan, scan}}, scan));
                  }
                  std::this_thread::sleep_for(std::chrono::microseconds(500));
              }
          }) {}
    ~TouchStream() {
        running_ = false;
        thread_.join();
    }

private:
    std::atomic<bool> running_{true};
    std::thread thread_;
};

std::atomic<long> touches{0};
std::atomic<long> uevents{0};

void onTouch(void*, TouchPoint*) { ++touches; }
void onHotplug(void*, uint32_t, const char*) { ++uevents; }

// Waits, with a generous bound, for `counter` to pass `value`.
bool passes(const std::atomic<long>& counter, long value) {
    const Clock::time_point limit = Clock::now() + std::chrono::seconds(2);
    while (counter <= value) {
        if (Clock::now() > limit) return false;
        std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
    return true;
}

// Each cycle sees at least one touch delivered before it unregisters.
void managerCycle(TouchScreenHandle handle) {
    CallbackManagerHandle manager = nullptr;
    require(TsdCreateCallbackManager(&manager, handle) == TSD_OK, "create manager");
    const long before = touches;
    require(TsdRegisterTouchCallback(manager, onTouch, nullptr) == TSD_OK, "register");
    require(passes(touches, before), "a touch delivered");
    require(TsdUnregisterTouchCallback(manager) == TSD_OK, "unregister");
    require(TsdDeleteCallbackManager(manager) == TSD_OK, "delete manager");
}

void watcherCycle(tsdemu::Testbed& testbed, int& round) {
    NotificationHandle watcher = nullptr;
    require(TsdCreateTouchScreenNotificationA(&watcher, onHotplug, nullptr) == TSD_OK,
            "create watcher");
    // Every fourth watcher sees a device come and go before it is deleted.
    if (++round % 4 == 0) {
        const long before = uevents;
        const std::string device = testbed.addOtherDevice("input", "churn" + std::to_string(round));
        testbed.removeOtherDevice(device);
        require(passes(uevents, before + 1), "two uevents delivered");
    }
    TsdDeleteTouchScreenNotification(watcher);
}

void commandsFromThreads(TouchScreenHandle handle, int perThread) {
    std::vector<std::thread> threads;
    std::atomic<int> failures{0};
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < perThread; ++i) {
                uint8_t mode = 0;
                const bool ok = t % 2 == 0 ? TsdGetTouchScreenDataMode(handle, &mode) == TSD_OK
                                           : TsdSetTouchScreenHidMode(handle, 1) == TSD_OK;
                if (!ok) ++failures;
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    require(failures == 0, "commands from 8 threads");
}

}  // namespace

int main(int argc, char** argv) {
    tsdemu::ensureUmockdevPreload(argv);
    const int scale = bench::sizes(argc, argv, {{"SCALE", 1, 1, 200}})[0];
    tsdemu::Testbed testbed;
    tsdemu::EmulatedScreen& screen = testbed.plug();
    const std::string syspath = screen.syspath();

    phase("open_close", 10000 / scale, [&] {
        TouchScreenHandle handle = nullptr;
        require(TsdOpenTouchScreenA(syspath.c_str(), &handle) == TSD_OK, "open");
        require(TsdCloseTouchScreen(handle) == TSD_OK, "close");
    });

    TouchScreenHandle handle = nullptr;
    if (TsdOpenTouchScreenA(syspath.c_str(), &handle) != TSD_OK) return 1;
    {
        const TouchStream stream(screen);
        phase("callback_manager", 2000 / scale, [&] { managerCycle(handle); });
    }
    std::printf("FIGURE callback_manager_touches %ld count\n", touches.load());

    int round = 0;
    phase("hotplug", 1000 / scale, [&] { watcherCycle(testbed, round); });
    std::printf("FIGURE hotplug_events %ld count\n", uevents.load());

    {
        CallbackManagerHandle manager = nullptr;
        require(TsdCreateCallbackManager(&manager, handle) == TSD_OK, "create manager");
        require(TsdRegisterTouchCallback(manager, onTouch, nullptr) == TSD_OK, "register");
        const TouchStream stream(screen);
        const long touchesBefore = touches;
        // The screen's own log of requests would grow with every cycle.
        phase("threaded_commands", 5, [&] {
            commandsFromThreads(handle, 200 / scale);
            screen.model().clearRequests();
        });
        std::printf("FIGURE threaded_commands_each 8x%d count\n", 200 / scale);
        std::printf("FIGURE threaded_commands_touches %ld count\n", touches - touchesBefore);
        require(TsdDeleteCallbackManager(manager) == TSD_OK, "delete manager");
    }
    TsdCloseTouchScreen(handle);
    return failed ? 1 : 0;
}
