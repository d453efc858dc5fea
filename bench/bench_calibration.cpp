// Prints the time of one TsdCalibrationFullScreenPreview with 16 points
// against the emulated screen, its ratio to one TsdGetTouchScreenDataMode
// (a preview is 15 exchanges, so about 15 is expected), and how close
// touches land to their targets on a distorted screen once calibrated with
// 9, 16 and 25 targets.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "bench_args.h"
#include "calibration_in_force.h"
#include "calibration_sensor.h"
#include "calibration_targets.h"
#include "common/little_endian.h"
#include "preload.h"
#include "testbed.h"
#include "touchsdk.h"

namespace {

using Clock = std::chrono::steady_clock;
using tsdemu::CalibrationTarget;

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

template <typename Call>
double microseconds(Call&& call, bool& ok) {
    const Clock::time_point start = Clock::now();
    ok = ok && call() == TSD_OK;
    return std::chrono::duration<double, std::micro>(Clock::now() - start).count();
}

tsdemu::SensorPosition positionIn(const std::vector<uint8_t>& report) {
    return {static_cast<double>(touchsdk::readLe16(&report[3])),
            static_cast<double>(touchsdk::readLe16(&report[5]))};
}

std::vector<CalibrationPoint> collect(tsdemu::ScreenModel& model,
                                      const std::vector<CalibrationTarget>& targets) {
    std::vector<CalibrationPoint> points;
    for (const CalibrationTarget& t : targets) {
        const tsdemu::SensorPosition at =
            positionIn(model.touchReportAt(t.screenX, t.screenY).touch);
        points.push_back(
            {static_cast<float>(at.x), static_cast<float>(at.y), t.callerX, t.callerY});
    }
    return points;
}

TsdResult preview(TouchScreenHandle handle, const std::vector<CalibrationPoint>& points) {
    const touchsdk::CalibrationRange& r = tsdemu::kFlippedCallerRange;
    return TsdCalibrationFullScreenPreview(handle, r.xBegin, r.xEnd, r.yBegin, r.yEnd,
                                           points.data(), static_cast<uint32_t>(points.size()));
}

// Reported: the whole units of the touch reports. Stored record: the
// preview record evaluated at the measured positions, before the screen
// rounds its output.
void printResiduals(tsdemu::ScreenModel& model, TouchScreenHandle handle, int perSide) {
    const auto targets =
        tsdemu::targetGrid(perSide, tsdemu::kFlippedCallerRange, tsdemu::kDefaultCoordinateRange);
    TsdCalibrationCancelPreview(handle);
    if (preview(handle, collect(model, targets)) != TSD_OK) {
        std::printf("%2d targets: preview failed\n", perSide * perSide);
        return;
    }
    const auto image =
        model.blockBytes(tsdemu::kControllerModule, tsdemu::calibration_blocks::kPreview,
                         tsdemu::calibration_blocks::kSlotCount);
    const auto stored = tsdemu::calibrationInForce(image.data(), image.data(), true);
    tsdemu::Residuals reported;
    tsdemu::Residuals exact;
    for (const CalibrationTarget& t : targets) {
        const tsdemu::SensorReports reports = model.touchReportAt(t.screenX, t.screenY);
        const tsdemu::SensorPosition landed = positionIn(reports.touch);
        reported.add(landed.x - t.screenX, landed.y - t.screenY);
        const tsdemu::SensorPosition calibrated =
            tsdemu::applyCalibration(*stored, positionIn(reports.raw));
        exact.add(calibrated.x - t.screenX, calibrated.y - t.screenY);
    }
    std::printf(
        "%2d targets: reported max %.3f rms %.3f   stored record max %.3f rms %.3f"
        " (screen units)\n",
        perSide * perSide, reported.max(), reported.rms(), exact.max(), exact.rms());
}

}  // namespace

int main(int argc, char** argv) {
    bench::sizes(argc, argv, {});
    tsdemu::ensureUmockdevPreload(argv);
    tsdemu::Testbed testbed;
    tsdemu::EmulatedScreen& screen = testbed.plug();
    tsdemu::ScreenModel& model = screen.model();
    model.setSensorWarp(tsdemu::typicalDistortion());
    TouchScreenHandle handle = nullptr;
    if (TsdOpenTouchScreenA(screen.syspath().c_str(), &handle) != TSD_OK) return 1;

    // The two calls alternate, so that load from elsewhere on the machine
    // weighs on both alike.
    constexpr int kRounds = 200;
    const auto points = collect(
        model, tsdemu::targetGrid(4, tsdemu::kFlippedCallerRange, tsdemu::kDefaultCoordinateRange));
    std::vector<double> query;
    std::vector<double> full;
    bool ok = true;
    uint8_t mode = 0;
    for (int i = 0; i < kRounds && ok; ++i) {
        query.push_back(microseconds([&] { return TsdGetTouchScreenDataMode(handle, &mode); }, ok));
        full.push_back(microseconds([&] { return preview(handle, points); }, ok));
    }
    if (!ok) return 1;
    std::printf("TsdGetTouchScreenDataMode          median %8.1f us (n=%d)\n", median(query),
                kRounds);
    std::printf("TsdCalibrationFullScreenPreview 16 median %8.1f us (n=%d)\n", median(full),
                kRounds);
    std::printf("ratio of medians, preview / query  %8.2f (15 exchanges; target <= 16)\n",
                median(full) / median(query));

    for (int perSide : {3, 4, 5}) printResiduals(model, handle, perSide);
    TsdCloseTouchScreen(handle);
    return 0;
}
