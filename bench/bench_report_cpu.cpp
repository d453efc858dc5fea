// CPU each delivered report costs: the library (reader thread, dispatch
// thread, a callback that only notes the arrival) next to a bare poll+read
// thread doing the same note, on the same kind of source, at a screen's rate
// of 1,000 reports/s and at saturation. The receiving side's CPU is the
// process's (getrusage) less the writer thread's own.
//
//   tools/bench-report-cpu [paced reports per round] [saturation reports per round] [rounds]
#include <cstdio>
#include <thread>

#include "bench_support.h"

namespace {

using namespace bench;

struct Tally {
    double cpuSeconds = 0;
    long switches = 0;
    std::size_t reports = 0;
    std::size_t outOfOrder = 0;
    uint64_t dropped = 0;
    std::size_t delivered = 0;
    double wallSeconds = 0;
    bool complete = true;

    // Per report delivered: the CPU spent on reads the backlog later let go
    // is charged to the ones that arrived.
    double cpuPerReportUs() const { return cpuSeconds * 1e6 / static_cast<double>(delivered); }
    double switchesPerReport() const {
        return static_cast<double>(switches) / static_cast<double>(reports);
    }
};

// One round: `reports` sent `periodNs` apart (0: as fast as the source takes
// them), waiting until all have arrived.
template <typename Receiver>
void round(Tally& tally, int reports, int64_t periodNs, const char* threadPrefix) {
    Arrivals arrivals(1);
    Receiver receiver(arrivals);
    std::this_thread::sleep_for(20ms);  // threads parked in poll()
    const long switchesBefore = contextSwitches(threadPrefix);
    const OthersCpu cpu;
    const int64_t start = nowNs();
    for (int i = 0; i < reports; ++i) {
        if (periodNs > 0) sleepUntil(start + i * periodNs);
        receiver.pair.send(static_cast<uint16_t>(i));
    }
    // Reports the library's full backlog let go never arrive: wait for the
    // rest only.
    // Never more than were sent, so it fits a 32-bit size_t too.
    const auto dropped = [&receiver] { return static_cast<std::size_t>(receiver.dropped()); };
    const auto sent = static_cast<std::size_t>(reports);
    bool arrived = false;
    for (int wait = 0; wait < 3000 && !arrived; ++wait) {
        arrived = arrivals.waitFor(sent - dropped(), 10ms);
    }
    tally.complete = arrived && tally.complete;
    tally.dropped += dropped();
    tally.delivered += sent - dropped();
    tally.wallSeconds += static_cast<double>(nowNs() - start) / 1e9;
    tally.cpuSeconds += cpu.seconds();
    tally.switches += contextSwitches(threadPrefix) - switchesBefore;
    tally.reports += static_cast<std::size_t>(reports);
    tally.outOfOrder += arrivals.outOfOrder();
}

// Rounds alternate between the two receivers so that load from other
// processes on a shared machine falls on both alike.
void compare(const char* name, int reports, int64_t periodNs, int rounds) {
    Tally bare;
    Tally library;
    for (int r = 0; r < rounds; ++r) {
        round<BareReader>(bare, reports, periodNs, "bare-reader");
        round<LibraryOnSocket>(library, reports, periodNs, "tsd-");
    }
    const std::string prefix = std::string("cpu_per_report_") + name;
    figure(prefix + "_bare", bare.cpuPerReportUs(), "us");
    figure(prefix + "_library", library.cpuPerReportUs(), "us");
    figure(prefix + "_ratio", library.cpuPerReportUs() / bare.cpuPerReportUs(), "x");
    figure(std::string("wakeups_per_report_") + name + "_bare", bare.switchesPerReport(),
           "switches");
    figure(std::string("wakeups_per_report_") + name + "_library", library.switchesPerReport(),
           "switches");
    if (periodNs == 0) {
        figure(std::string("throughput_") + name + "_bare",
               static_cast<double>(bare.reports) / bare.wallSeconds, "reports/s");
        figure(std::string("throughput_") + name + "_library",
               static_cast<double>(library.reports) / library.wallSeconds, "reports/s");
    }
    // The backlog drops the oldest reports when the dispatch thread falls
    // 4,096 behind (a starved thread on a loaded machine); the rest must
    // still arrive, in order.
    const bool intact =
        bare.complete && library.complete && bare.outOfOrder == 0 && library.outOfOrder == 0;
    figure(std::string("delivered_in_order_") + name, intact ? 1 : 0, "bool");
    figure(std::string("dropped_by_backlog_") + name, static_cast<double>(library.dropped),
           "reports");
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<int> size = bench::sizes(argc, argv,
                                               {{"PACED", 2000, 1, 10000000},
                                                {"SATURATED", 100000, 1, 100000000},
                                                {"ROUNDS", 3, 1, 1000}});
    const int paced = size[0];
    const int saturated = size[1];
    const int rounds = size[2];
    std::printf("cores: %u; %d rounds of %d paced and %d saturating reports per receiver\n",
                std::thread::hardware_concurrency(), rounds, paced, saturated);
    compare("1000hz", paced, 1000000, rounds);
    compare("saturated", saturated, 0, rounds);
    return 0;
}
