// Measures touch delivery: idle wake-ups of the library's threads, the
// write->callback latency against a bare poll+read thread, throughput, and
// the same latency end to end through the emulated screen. A SOCK_SEQPACKET
// socket pair stands in for the hidraw node (one report per read) so the
// figures are the library's own, free of the emulator's cost per read.
#include <poll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "common/little_endian.h"
#include "common/unique_fd.h"
#include "device/device_handle.h"
#include "input_reports.h"
#include "preload.h"
#include "testbed.h"
#include "thread_list.h"
#include "touchsdk.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;
using touchsdk::UniqueFd;

constexpr int kLatencyReports = 2000;
constexpr int kThroughputReports = 200000;

int64_t nowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch())
        .count();
}

double processCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

std::vector<uint8_t> reportWithSequence(uint16_t sequence) {
    tsdemu::Contact contact;
    contact.id = 1;
    contact.x = sequence;
    return tsdemu::touchReport({contact}, sequence);
}

// Context switches of the library's threads (named tsd-*), summed.
long libraryContextSwitches() {
    long total = 0;
    for (const std::string& id : tsdtest::libraryThreads()) total += tsdtest::contextSwitches(id);
    return total;
}

// The receiving side of one measurement: when each sequence number arrived.
class Arrivals {
public:
    explicit Arrivals(std::size_t capacity) : at_(capacity, 0) {}

    void arrive(uint16_t sequence) {
        const int64_t now = nowNs();
        std::lock_guard<std::mutex> lock(mutex_);
        if (sequence != static_cast<uint16_t>(count_)) ++outOfOrder_;
        at_[count_ % at_.size()] = now;
        // Wake the waiter only when it is done: a wake-up per report would
        // charge the measured path with the benchmark's own cost.
        if (++count_ == awaited_) arrived_.notify_all();
    }
    bool waitFor(std::size_t count) {
        std::unique_lock<std::mutex> lock(mutex_);
        awaited_ = count;
        return arrived_.wait_for(lock, 60s, [&] { return count_ >= count; });
    }
    int64_t at(std::size_t index) {
        std::lock_guard<std::mutex> lock(mutex_);
        return at_[index % at_.size()];
    }
    std::size_t outOfOrder() {
        std::lock_guard<std::mutex> lock(mutex_);
        return outOfOrder_;
    }

    static void onTouch(void* context, TouchPoint* point) {
        static_cast<Arrivals*>(context)->arrive(point->scanTime);
    }

private:
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::vector<int64_t> at_;      // guarded by mutex_
    std::size_t count_ = 0;        // guarded by mutex_
    std::size_t awaited_ = 0;      // guarded by mutex_
    std::size_t outOfOrder_ = 0;   // guarded by mutex_
};

struct Percentiles {
    double p50us;
    double p99us;
};

// Sends one report at a time and keeps its write->arrival time.
struct LatencyProbe {
    std::function<void(uint16_t)> send;
    Arrivals& arrivals;
    std::vector<int64_t> latencies{};

    bool sample(int sequence) {
        const int64_t sent = nowNs();
        send(static_cast<uint16_t>(sequence));
        if (!arrivals.waitFor(static_cast<std::size_t>(sequence) + 1)) return false;
        latencies.push_back(arrivals.at(static_cast<std::size_t>(sequence)) - sent);
        return true;
    }

    Percentiles percentiles() {
        if (latencies.empty()) return {0, 0};
        std::sort(latencies.begin(), latencies.end());
        const auto at = [this](double share) {
            const auto index =
                static_cast<std::size_t>(share * static_cast<double>(latencies.size() - 1));
            return static_cast<double>(latencies[index]) / 1000.0;
        };
        return {at(0.50), at(0.99)};
    }
};

struct SocketPair {
    SocketPair() {
        int fds[2] = {-1, -1};
        if (socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, fds) == 0) {
            device.reset(fds[0]);
            peer.reset(fds[1]);
        }
    }
    void send(uint16_t sequence) const {
        const std::vector<uint8_t> report = reportWithSequence(sequence);
        (void)!::send(peer.get(), report.data(), report.size(), MSG_NOSIGNAL);
    }
    UniqueFd device;
    UniqueFd peer;
};

// The library on a socket pair, with a touch callback registered.
class LibraryOnSocket {
public:
    explicit LibraryOnSocket(Arrivals& arrivals) {
        record_.fd = pair.device.get();
        TsdCreateCallbackManager(&manager_, touchsdk::handleOf(&record_));
        TsdRegisterTouchCallback(manager_, Arrivals::onTouch, &arrivals);
    }
    ~LibraryOnSocket() { TsdDeleteCallbackManager(manager_); }

    SocketPair pair;

private:
    touchsdk::DeviceHandleRecord record_;
    CallbackManagerHandle manager_ = nullptr;
};

// The least a reader can do: one thread, poll and read, no hand-over.
class BareReader {
public:
    explicit BareReader(Arrivals& arrivals) : thread_([this, &arrivals] { run(arrivals); }) {}
    ~BareReader() {
        pair.peer.reset();  // the hang-up ends the loop
        thread_.join();
    }

    SocketPair pair;

private:
    void run(Arrivals& arrivals) {
        pollfd entry{pair.device.get(), POLLIN, 0};
        uint8_t buffer[4096];
        while (poll(&entry, 1, -1) > 0) {
            if (read(entry.fd, buffer, sizeof buffer) <= 0) return;
            arrivals.arrive(touchsdk::readLe16(buffer + 21));
        }
    }

    std::thread thread_;
};

void measureWakeUps(const char* what) {
    std::this_thread::sleep_for(200ms);
    const long before = libraryContextSwitches();
    const double cpuBefore = processCpuSeconds();
    std::this_thread::sleep_for(5s);
    const double cpuPercent = (processCpuSeconds() - cpuBefore) * 20.0;
    std::printf("%s: wake-ups of the library's threads %.2f /s over 5 s (target <= 1), "
                "process CPU %.2f %% of a core\n",
                what, static_cast<double>(libraryContextSwitches() - before) / 5.0, cpuPercent);
}

// Idle, and then with the screen's end hung up: neither may cost wake-ups.
void idleWakeUps() {
    Arrivals arrivals(1);
    LibraryOnSocket library(arrivals);
    measureWakeUps("idle");
    library.pair.peer.reset();
    measureWakeUps("screen hung up");
}

// The two readers take turns report by report, so a busy neighbour on a
// shared machine weighs on both alike.
void latencyAgainstBare() {
    Arrivals bareArrivals(kLatencyReports);
    Arrivals libraryArrivals(kLatencyReports);
    BareReader bare(bareArrivals);
    LibraryOnSocket library(libraryArrivals);
    LatencyProbe bareProbe{[&](uint16_t s) { bare.pair.send(s); }, bareArrivals};
    LatencyProbe libraryProbe{[&](uint16_t s) { library.pair.send(s); }, libraryArrivals};
    for (int i = 0; i < kLatencyReports; ++i) {
        if (!bareProbe.sample(i) || !libraryProbe.sample(i)) break;
    }
    const Percentiles lib = libraryProbe.percentiles();
    const Percentiles raw = bareProbe.percentiles();
    std::printf("write->callback latency over %d reports (socket pair):\n", kLatencyReports);
    std::printf("  library    p50 %8.1f us  p99 %8.1f us\n", lib.p50us, lib.p99us);
    std::printf("  bare read  p50 %8.1f us  p99 %8.1f us\n", raw.p50us, raw.p99us);
    std::printf("  ratio      p50 %8.2f     p99 %8.2f     (target <= 1.5)\n",
                lib.p50us / raw.p50us, lib.p99us / raw.p99us);
}

void throughput() {
    Arrivals arrivals(1);
    LibraryOnSocket library(arrivals);
    const auto start = Clock::now();
    const double cpuBefore = processCpuSeconds();
    for (int i = 0; i < kThroughputReports; ++i) library.pair.send(static_cast<uint16_t>(i));
    const bool all = arrivals.waitFor(kThroughputReports);
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    const double cpu = processCpuSeconds() - cpuBefore;
    std::printf("throughput: %d reports in %.3f s = %.0f reports/s, %s, %zu out of order "
                "(target >= 100000/s)\n",
                kThroughputReports, seconds, kThroughputReports / seconds,
                all ? "none lost" : "SOME LOST", arrivals.outOfOrder());
    // What the run cost in CPU, writer included: stable on a busy machine.
    std::printf("  CPU time: %.2f us per report, writer included\n",
                cpu * 1e6 / kThroughputReports);
}

void emulatedEndToEnd() {
    tsdemu::Testbed testbed;
    tsdemu::EmulatedScreen& screen = testbed.plug();
    TouchScreenHandle handle = nullptr;
    if (TsdOpenTouchScreenA(screen.syspath().c_str(), &handle) != TSD_OK) {
        std::printf("emulated screen: cannot open %s\n", screen.syspath().c_str());
        return;
    }
    Arrivals arrivals(kLatencyReports);
    CallbackManagerHandle manager = nullptr;
    TsdCreateCallbackManager(&manager, handle);
    TsdRegisterTouchCallback(manager, Arrivals::onTouch, &arrivals);
    LatencyProbe probe{[&](uint16_t s) { screen.pushReport(reportWithSequence(s)); }, arrivals};
    for (int i = 0; i < kLatencyReports && probe.sample(i); ++i) {
    }
    const Percentiles e2e = probe.percentiles();
    std::printf("emulated screen, push->callback over %d reports: p50 %.1f us  p99 %.1f us "
                "(emulator included, for reference)\n",
                kLatencyReports, e2e.p50us, e2e.p99us);
    testbed.unplug(screen);
    std::this_thread::sleep_for(100ms);
    const double before = processCpuSeconds();
    std::this_thread::sleep_for(1s);
    std::printf("process CPU in the second after an unplug, callbacks registered: %.2f %% of a "
                "core (target < 5)\n",
                (processCpuSeconds() - before) * 100.0);
    TsdDeleteCallbackManager(manager);
    TsdCloseTouchScreen(handle);
}

// The emulated part runs in a child under the umockdev preload, which
// wraps every read() and poll() of the process: the socket-pair figures
// above stay free of that cost.
int runEmulatedPart(char* self) {
    std::fflush(stdout);
    const pid_t child = fork();
    if (child == 0) {
        char flag[] = "--emulated";
        char* args[] = {self, flag, nullptr};
        execv("/proc/self/exe", args);
        _exit(127);
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) < 0) return 1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::string(argv[1]) == "--emulated") {
        tsdemu::ensureUmockdevPreload(argv);
        emulatedEndToEnd();
        return 0;
    }
    std::printf("cores: %u\n", std::thread::hardware_concurrency());
    idleWakeUps();
    latencyAgainstBare();
    throughput();
    return runEmulatedPart(argv[0]);
}
