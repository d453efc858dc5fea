#include <cmath>
#include <memory>
#include <vector>

#include "calibration_fixture.h"
#include "calibration_sensor.h"
#include "calibration_targets.h"
#include "calibration_touch_collector.h"

namespace tsdtest {
namespace {

using tsdemu::CalibrationTarget;

struct Landing {
    double x;
    double y;
};

// A distorted screen calibrated as an application would: show targets,
// take the positions the screen reports for them, hand both over.
class CalibrationEndToEnd : public OpenScreenTest {
protected:
    void SetUp() override {
        OpenScreenTest::SetUp();
        model().setSensorWarp(tsdemu::typicalDistortion());
        collector = std::make_unique<TouchCollector>(handle);
        ASSERT_TRUE(collector->ready());
    }

    void TearDown() override {
        collector.reset();
        OpenScreenTest::TearDown();
    }

    std::vector<CalibrationTarget> grid(int perSide) const {
        return tsdemu::targetGrid(perSide, tsdemu::kFlippedCallerRange,
                                  tsdemu::kDefaultCoordinateRange);
    }

    // Where the library delivers a contact at a target: the screen sends
    // its touch report, the reader and dispatch threads decode it.
    Landing touch(const CalibrationTarget& t) {
        screen->pushReport(model().touchReportAt(t.screenX, t.screenY).touch);
        TouchPoint point{};
        EXPECT_TRUE(collector->next(point)) << "no touch delivered";
        return {point.x, point.y};
    }

    TsdResult calibrate(const std::vector<CalibrationTarget>& targets) {
        std::vector<CalibrationPoint> points;
        for (const CalibrationTarget& t : targets) {
            const Landing reported = touch(t);
            points.push_back({static_cast<float>(reported.x), static_cast<float>(reported.y),
                              t.callerX, t.callerY});
        }
        const touchsdk::CalibrationRange& r = tsdemu::kFlippedCallerRange;
        return TsdCalibrationFullScreenPreview(handle, r.xBegin, r.xEnd, r.yBegin, r.yEnd,
                                               points.data(), static_cast<uint32_t>(points.size()));
    }

    // The largest distance, per axis, from a touch to its target.
    double worstMiss(const std::vector<CalibrationTarget>& targets) {
        double worst = 0.0;
        for (const CalibrationTarget& t : targets) {
            const Landing at = touch(t);
            worst = std::max({worst, std::abs(at.x - t.screenX), std::abs(at.y - t.screenY)});
        }
        return worst;
    }

    std::unique_ptr<TouchCollector> collector;
};

TEST_F(CalibrationEndToEnd, PreviewPutsTouchesOnTheirTargets) {
    for (int perSide : {3, 4, 5}) {
        SCOPED_TRACE(perSide * perSide);
        const auto targets = grid(perSide);
        ASSERT_EQ(TsdCalibrationCancelPreview(handle), TSD_OK);
        ASSERT_GT(worstMiss(targets), 20.0) << "the sensor is visibly off";
        ASSERT_EQ(calibrate(targets), TSD_OK);
        EXPECT_LE(worstMiss(targets), 0.5);
    }
}

TEST_F(CalibrationEndToEnd, CancelRestoresTheActiveCalibration) {
    const auto targets = grid(4);
    const double uncalibrated = worstMiss(targets);
    ASSERT_EQ(calibrate(targets), TSD_OK);
    ASSERT_EQ(TsdCalibrationCancelPreview(handle), TSD_OK);
    EXPECT_EQ(worstMiss(targets), uncalibrated);
}

TEST_F(CalibrationEndToEnd, ApplyMakesItPermanentAndResetRemovesIt) {
    const auto targets = grid(5);
    const double uncalibrated = worstMiss(targets);
    ASSERT_EQ(calibrate(targets), TSD_OK);
    ASSERT_EQ(TsdCalibrationApplyPreview(handle), TSD_OK);
    EXPECT_LE(worstMiss(targets), 0.5);

    // A later preview that is cancelled leaves the applied calibration.
    const std::vector<CalibrationPoint> identity = {{0, 0, 0, 0}, {1, 0, 1, 0}, {0, 1, 0, 1}};
    ASSERT_EQ(TsdCalibrationFullScreenPreview(handle, 0, 4095, 0, 4095, identity.data(), 3),
              TSD_OK);
    EXPECT_EQ(worstMiss(targets), uncalibrated);
    ASSERT_EQ(TsdCalibrationCancelPreview(handle), TSD_OK);
    EXPECT_LE(worstMiss(targets), 0.5);

    ASSERT_EQ(TsdCalibrationReset(handle), TSD_OK);
    EXPECT_EQ(worstMiss(targets), uncalibrated);
}

}  // namespace
}  // namespace tsdtest
