// Measures touch delivery: idle wake-ups of the library's threads, the
// write->callback latency against a bare poll+read thread, throughput, and
// the same latency end to end through the emulated screen. A SOCK_SEQPACKET
// socket pair stands in for the hidraw node (one report per read) so the
// figures are the library's own, free of the emulator's cost per read.
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "bench_support.h"
#include "preload.h"
#include "testbed.h"
#include "touchsdk.h"

namespace {

using bench::Arrivals;
using bench::BareReader;
using bench::Clock;
using bench::LibraryOnSocket;
using bench::nowNs;
using bench::processCpuSeconds;
using bench::reportWithSequence;
using namespace std::chrono_literals;

constexpr int kLatencyReports = 2000;
constexpr int kThroughputReports = 200000;

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

void measureWakeUps(const char* what) {
    std::this_thread::sleep_for(200ms);
    const long before = bench::contextSwitches();
    const double cpuBefore = processCpuSeconds();
    std::this_thread::sleep_for(5s);
    const double cpuPercent = (processCpuSeconds() - cpuBefore) * 20.0;
    std::printf(
        "%s: wake-ups of the library's threads %.2f /s over 5 s (target <= 1), "
        "process CPU %.2f %% of a core\n",
        what, static_cast<double>(bench::contextSwitches() - before) / 5.0, cpuPercent);
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
    std::printf("  ratio      p50 %8.2f     p99 %8.2f     (target <= 1.5)\n", lib.p50us / raw.p50us,
                lib.p99us / raw.p99us);
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
    std::printf(
        "throughput: %d reports in %.3f s = %.0f reports/s, %s, %zu out of order "
        "(target >= 100000/s)\n",
        kThroughputReports, seconds, kThroughputReports / seconds, all ? "none lost" : "SOME LOST",
        arrivals.outOfOrder());
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
    std::printf(
        "emulated screen, push->callback over %d reports: p50 %.1f us  p99 %.1f us "
        "(emulator included, for reference)\n",
        kLatencyReports, e2e.p50us, e2e.p99us);
    testbed.unplug(screen);
    std::this_thread::sleep_for(100ms);
    const double before = processCpuSeconds();
    std::this_thread::sleep_for(1s);
    std::printf(
        "process CPU in the second after an unplug, callbacks registered: %.2f %% of a "
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
