// How long each export takes to give up once its screen is gone: the screen
// disappears at every step of the export's exchanges in turn (every
// feature-report call from then on fails with ENODEV, as after an unplug),
// and the time from the first failing call to the export's return is taken.
//
//   tools/bench-unplug
// Prints lines "FIGURE <name> <value> <unit>".
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <vector>

#include "bench_args.h"
#include "preload.h"
#include "testbed.h"
#include "touchsdk.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Export {
    const char* name;
    std::function<TsdResult(TouchScreenHandle)> call;
};

const CalibrationPoint kIdentity[] = {{0, 0, 0, 0}, {1, 0, 1, 0}, {0, 1, 0, 1}};

const std::vector<Export>& exports() {
    static uint8_t mode = 0;
    static const std::vector<Export> list = {
        {"get_working_mode", [](auto h) { return TsdGetTouchScreenWorkingMode(h, &mode); }},
        {"set_working_mode", [](auto h) { return TsdSetTouchScreenWorkingMode(h, 1); }},
        {"get_data_mode", [](auto h) { return TsdGetTouchScreenDataMode(h, &mode); }},
        {"set_data_mode", [](auto h) { return TsdSetTouchScreenDataMode(h, 1); }},
        {"get_hid_mode", [](auto h) { return TsdGetTouchScreenHidMode(h, &mode); }},
        {"set_hid_mode", [](auto h) { return TsdSetTouchScreenHidMode(h, 1); }},
        {"restart", [](auto h) { return TsdRestartTouchScreen(h); }},
        {"preview",
         [](auto h) { return TsdCalibrationFullScreenPreview(h, 0, 4095, 0, 4095, kIdentity, 3); }},
        {"apply_preview", [](auto h) { return TsdCalibrationApplyPreview(h); }},
        {"cancel_preview", [](auto h) { return TsdCalibrationCancelPreview(h); }},
        {"reset", [](auto h) { return TsdCalibrationReset(h); }},
    };
    return list;
}

double milliseconds(Clock::duration span) {
    return std::chrono::duration<double, std::milli>(span).count();
}

// Unplugs at each step of one export until the export outruns the unplug;
// answers the time from unplug to return at each step.
std::vector<double> unplugAtEveryStep(tsdemu::ScreenModel& model, TouchScreenHandle handle,
                                      const Export& e) {
    std::vector<double> latencies;
    for (uint32_t step = 0;; ++step) {
        model.clearFaults();
        model.unplugAfterIoctls(step);
        const TsdResult result = e.call(handle);
        const Clock::time_point returned = Clock::now();
        const auto unplugged = model.unpluggedAt();
        if (!unplugged) {
            if (result != TSD_OK) std::fprintf(stderr, "%s failed on a present screen\n", e.name);
            return latencies;
        }
        if (result == TSD_OK) std::fprintf(stderr, "%s succeeded on a gone screen\n", e.name);
        latencies.push_back(milliseconds(returned - *unplugged));
    }
}

}  // namespace

int main(int argc, char** argv) {
    bench::sizes(argc, argv, {});
    tsdemu::ensureUmockdevPreload(argv);
    tsdemu::Testbed testbed;
    tsdemu::EmulatedScreen& screen = testbed.plug();
    screen.model().setModuleList({0x81, 0x82});
    TouchScreenHandle handle = nullptr;
    if (TsdOpenTouchScreenA(screen.syspath().c_str(), &handle) != TSD_OK) {
        std::fprintf(stderr, "cannot open the emulated screen\n");
        return 1;
    }
    std::vector<double> all;
    for (const Export& e : exports()) {
        const std::vector<double> latencies = unplugAtEveryStep(screen.model(), handle, e);
        const double worst = *std::max_element(latencies.begin(), latencies.end());
        std::printf("FIGURE unplug_worst_%s %.2f ms\n", e.name, worst);
        all.insert(all.end(), latencies.begin(), latencies.end());
    }
    std::sort(all.begin(), all.end());
    std::printf("FIGURE unplug_points %zu count\n", all.size());
    std::printf("FIGURE unplug_median %.3f ms\n", all[all.size() / 2]);
    std::printf("FIGURE unplug_worst %.2f ms\n", all.back());
    const auto late = std::count_if(all.begin(), all.end(), [](double ms) { return ms > 20.0; });
    std::printf("FIGURE unplug_over_20ms %td count\n", late);
    TsdCloseTouchScreen(handle);
    return 0;
}
