#include "sensor.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace tsdemu {
namespace {

const touchsdk::CalibrationRange kRange{0, 4095, 0, 4095};

TEST(Sensor, PerfectSensorRoundsAndClamps) {
    const Sensor sensor(kRange, SensorWarp{});
    const SensorPosition p = sensor.measure(100.4, 2000.6);
    EXPECT_EQ(p.x, 100.0);
    EXPECT_EQ(p.y, 2001.0);
    const SensorPosition outside = sensor.measure(-50, 5000);
    EXPECT_EQ(outside.x, 0.0);
    EXPECT_EQ(outside.y, 4095.0);

    const Sensor flipped({4095, 0, 10, 20}, SensorWarp{});
    EXPECT_EQ(flipped.measure(5000, 15).x, 4095.0);
    EXPECT_EQ(flipped.measure(0, 3).y, 10.0);
}

TEST(Sensor, WarpActsAboutTheRangeCentre) {
    SensorWarp shift;
    shift.dx = 0.1;  // a tenth of the half span
    EXPECT_EQ(Sensor(kRange, shift).measure(2047.5, 2047.5).x, std::round(2047.5 + 204.75));

    SensorWarp bow;
    bow.qx = 0.01;  // x bends with y^2: none on the centre line, most at the edges
    const Sensor bowed(kRange, bow);
    EXPECT_EQ(bowed.measure(1000, 2047.5).x, 1000.0);
    EXPECT_EQ(bowed.measure(1000, 0).x, std::round(1000 + 0.01 * 2047.5));
    EXPECT_EQ(bowed.measure(1000, 4095).x, std::round(1000 + 0.01 * 2047.5));
}

TEST(Sensor, TypicalDistortionIsVisibleButStaysOnScreen) {
    const Sensor sensor(kRange, typicalDistortion());
    double largest = 0.0;
    for (double x : {200.0, 2047.0, 3900.0}) {
        for (double y : {200.0, 2047.0, 3900.0}) {
            const SensorPosition p = sensor.measure(x, y);
            largest = std::max({largest, std::abs(p.x - x), std::abs(p.y - y)});
            EXPECT_GT(p.x, 0.0);
            EXPECT_LT(p.x, 4095.0);
            EXPECT_GT(p.y, 0.0);
            EXPECT_LT(p.y, 4095.0);
        }
    }
    EXPECT_GT(largest, 20.0);
}

}  // namespace
}  // namespace tsdemu
