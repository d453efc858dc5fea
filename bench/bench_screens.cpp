// Many screens at once: 1, 2, 4, 8 and 16 sources each streaming 1,000
// reports/s, each with its own callback manager. Reports whether any report
// was lost or reordered, the receiving side's CPU per report and the
// push->callback latency, each size next to one screen in the same run, and
// the same for bare poll+read threads, one per screen: how much of the
// growth is the machine's (scheduling many threads on few cores) rather
// than the library's.
// Socket pairs stand in for the hidraw nodes: the emulator serves every
// node from one worker thread, which would measure itself, not the library.
//
//   tools/bench-screens [seconds per round] [rounds] [largest size]
#include <sys/prctl.h>

#include <cstdio>
#include <memory>
#include <thread>
#include <vector>

#include "bench_support.h"

namespace {

using namespace bench;

constexpr int64_t kPeriodNs = 1000000;  // 1,000 reports/s per screen

// What the rounds at one size added up to.
struct Outcome {
    double cpuSeconds = 0;
    double reports = 0;
    std::vector<double> latenciesUs;
    bool intact = true;

    double cpuPerReportUs() const { return cpuSeconds * 1e6 / reports; }
    double p99us() const { return percentile(latenciesUs, 0.99); }
};

// Screens are not in step with each other: their reports are spread evenly
// over each millisecond rather than all sent at its start.
template <typename Receiver>
void stream(int screens, int seconds, Outcome& outcome) {
    const int perScreen = seconds * 1000;
    std::vector<std::unique_ptr<Arrivals>> arrivals;
    std::vector<std::unique_ptr<Receiver>> libraries;
    for (int s = 0; s < screens; ++s) {
        arrivals.push_back(std::make_unique<Arrivals>(static_cast<std::size_t>(perScreen)));
        libraries.push_back(std::make_unique<Receiver>(*arrivals.back()));
    }
    std::vector<std::vector<int64_t>> sentAt(
        static_cast<std::size_t>(screens),
        std::vector<int64_t>(static_cast<std::size_t>(perScreen)));
    std::vector<std::vector<uint8_t>> reports;
    for (int i = 0; i < perScreen; ++i)
        reports.push_back(reportWithSequence(static_cast<uint16_t>(i)));
    std::this_thread::sleep_for(50ms);
    const OthersCpu cpu;
    const int64_t start = nowNs();
    for (int i = 0; i < perScreen; ++i) {
        for (int s = 0; s < screens; ++s) {
            sleepUntil(start + i * kPeriodNs + s * kPeriodNs / screens);
            const auto index = static_cast<std::size_t>(s);
            sentAt[index][static_cast<std::size_t>(i)] = nowNs();
            libraries[index]->pair.send(reports[static_cast<std::size_t>(i)]);
        }
    }
    for (int s = 0; s < screens; ++s) {
        Arrivals& screen = *arrivals[static_cast<std::size_t>(s)];
        outcome.intact = screen.waitFor(static_cast<std::size_t>(perScreen), 10s) &&
                         screen.outOfOrder() == 0 && outcome.intact;
        for (int i = 0; i < perScreen; ++i) {
            const int64_t sent = sentAt[static_cast<std::size_t>(s)][static_cast<std::size_t>(i)];
            outcome.latenciesUs.push_back(
                static_cast<double>(screen.at(static_cast<std::size_t>(i)) - sent) / 1000.0);
        }
    }
    outcome.cpuSeconds += cpu.seconds();
    outcome.reports += static_cast<double>(perScreen) * screens;
}

// One size's figures, each next to the same receiver with one screen.
void report(const std::string& name, const Outcome& outcome, const Outcome& one) {
    figure(name + "_cpu_per_report", outcome.cpuPerReportUs(), "us");
    figure(name + "_cpu_ratio_to_1", outcome.cpuPerReportUs() / one.cpuPerReportUs(), "x");
    figure(name + "_latency_p50", percentile(outcome.latenciesUs, 0.50), "us");
    figure(name + "_latency_p99", outcome.p99us(), "us");
    figure(name + "_latency_p99_ratio_to_1", outcome.p99us() / one.p99us(), "x");
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<int> size = bench::sizes(
        argc, argv, {{"SECONDS", 2, 1, 3600}, {"ROUNDS", 2, 1, 1000}, {"LARGEST", 16, 1, 256}});
    const int seconds = size[0];
    const int rounds = size[1];
    const int largest = size[2];
    // The writer sleeps between reports; without this the default 50 us of
    // timer slack would bunch them.
    prctl(PR_SET_TIMERSLACK, 1UL);
    std::printf("cores: %u; %d rounds of %d s at 1,000 reports/s per screen\n",
                std::thread::hardware_concurrency(), rounds, seconds);
    std::vector<int> sizes;
    for (int screens = 1; screens <= largest; screens *= 2) sizes.push_back(screens);
    std::vector<Outcome> library(sizes.size());
    std::vector<Outcome> bare(sizes.size());
    // Sizes and receivers take turns round by round, so that load from
    // other processes falls on all of them alike.
    for (int r = 0; r < rounds; ++r) {
        for (std::size_t i = 0; i < sizes.size(); ++i) {
            stream<LibraryOnSocket>(sizes[i], seconds, library[i]);
            stream<BareReader>(sizes[i], seconds, bare[i]);
        }
    }
    bool intact = true;
    for (std::size_t i = 0; i < sizes.size(); ++i) {
        intact = intact && library[i].intact && bare[i].intact;
        const std::string name = "screens_" + std::to_string(sizes[i]);
        report(name, library[i], library.front());
        report(name + "_bare", bare[i], bare.front());
        figure(name + "_delivered_intact", library[i].intact ? 1 : 0, "bool");
    }
    return intact ? 0 : 1;
}
