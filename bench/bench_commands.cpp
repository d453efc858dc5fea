// Cost of one mode command through the library against the emulated screen,
// next to the bare feature-report round trip it is built on.
//
//   tools/bench-commands [rounds]
#include <fcntl.h>
#include <linux/hidraw.h>
#include <sys/ioctl.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "bench_args.h"
#include "common/unique_fd.h"
#include "preload.h"
#include "testbed.h"
#include "touchsdk.h"

namespace {

using Clock = std::chrono::steady_clock;

template <typename Body>
double timeMicroseconds(Body&& body) {
    const Clock::time_point start = Clock::now();
    if (!body()) {
        std::fprintf(stderr, "a round failed\n");
        std::exit(1);
    }
    return std::chrono::duration<double, std::micro>(Clock::now() - start).count();
}

double median(std::vector<double> samples) {
    const auto middle = samples.begin() + static_cast<std::ptrdiff_t>(samples.size() / 2);
    std::nth_element(samples.begin(), middle, samples.end());
    return *middle;
}

// The data-mode query, framed by hand, and the GET that fetches its answer.
bool rawPair(int fd) {
    std::array<uint8_t, 64> request{0x55, 0x1E, 0x80, 0xE1, 0x00, 0x61};
    std::array<uint8_t, 64> answer{0x55};
    if (::ioctl(fd, HIDIOCSFEATURE(64), request.data()) < 0) return false;
    if (::ioctl(fd, HIDIOCGFEATURE(64), answer.data()) < 0) return false;
    return answer[1] == 0x4B;
}

}  // namespace

int main(int argc, char** argv) {
    tsdemu::ensureUmockdevPreload(argv);
    const int rounds = bench::sizes(argc, argv, {{"ROUNDS", 2000, 1, 10000000}})[0];

    tsdemu::Testbed testbed;
    tsdemu::EmulatedScreen& screen = testbed.plug();
    TouchScreenHandle handle = nullptr;
    if (TsdOpenTouchScreenA(screen.syspath().c_str(), &handle) != TSD_OK) {
        std::fprintf(stderr, "cannot open the emulated screen\n");
        return 1;
    }
    touchsdk::UniqueFd raw(::open(screen.devnode().c_str(), O_RDWR | O_CLOEXEC));
    if (!raw) {
        std::fprintf(stderr, "cannot open %s\n", screen.devnode().c_str());
        return 1;
    }

    auto command = [&] {
        uint8_t mode = 0;
        return TsdGetTouchScreenDataMode(handle, &mode) == TSD_OK;
    };
    auto pair = [&] { return rawPair(raw.get()); };
    // Alternate the two so that load from other processes falls on both alike.
    std::vector<double> commandTimes;
    std::vector<double> pairTimes;
    for (int i = 0; i < 100; ++i) {
        timeMicroseconds(command);
        timeMicroseconds(pair);
    }
    for (int i = 0; i < rounds; ++i) {
        commandTimes.push_back(timeMicroseconds(command));
        pairTimes.push_back(timeMicroseconds(pair));
    }
    const double commandMedian = median(commandTimes);
    const double pairMedian = median(pairTimes);

    std::printf("rounds                          %d\n", rounds);
    std::printf("TsdGetTouchScreenDataMode       %.1f us (median)\n", commandMedian);
    std::printf("HIDIOCSFEATURE + HIDIOCGFEATURE %.1f us (median)\n", pairMedian);
    std::printf("ratio                           %.3f (target <= 1.2)\n",
                commandMedian / pairMedian);
    TsdCloseTouchScreen(handle);
    return 0;
}
