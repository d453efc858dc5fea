#include "calibration/calibration_mapping.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace touchsdk {
namespace {

constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kNan = std::numeric_limits<float>::quiet_NaN();

TEST(CalibrationMapping, EqualRangesLeaveTargetsUnchanged) {
    const CalibrationRange screen{0, 4095, 0, 4095};
    const auto m = makeTargetMapping(screen, screen);
    ASSERT_TRUE(m);
    EXPECT_EQ(m->gx, 1.0f);
    EXPECT_EQ(m->ox, 0.0f);
    const WorkingSample s = mapSample(*m, {12.5f, 7.0f, 100.25f, 3000.0f});
    EXPECT_EQ(s.x, 12.5);
    EXPECT_EQ(s.y, 7.0);
    EXPECT_EQ(s.u, 100.25);
    EXPECT_EQ(s.v, 3000.0);
}

TEST(CalibrationMapping, MapsInSinglePrecisionEndForEnd) {
    // gx = 32767 / 1920 as a float; the product and sum are rounded to
    // float too (in double the result would be 21059.62395833...).
    const auto m = makeTargetMapping({0, 32767, 0, 32767}, {0, 1920, 0, 1080});
    ASSERT_TRUE(m);
    EXPECT_EQ(mapSample(*m, {0, 0, 1234.0f, 0}).u, 21059.623046875);

    // Reversed caller ends: the caller's begin still lands on the screen's begin.
    const auto flipped = makeTargetMapping({100, 4000, 0, 100}, {810, 10, 1, 0});
    ASSERT_TRUE(flipped);
    const WorkingSample atBegin = mapSample(*flipped, {0, 0, 810, 1});
    const WorkingSample atEnd = mapSample(*flipped, {0, 0, 10, 0});
    EXPECT_EQ(atBegin.u, 100.0);
    EXPECT_EQ(atBegin.v, 0.0);
    EXPECT_EQ(atEnd.u, 4000.0);
    EXPECT_EQ(atEnd.v, 100.0);
}

TEST(CalibrationMapping, RefusesUnusableRanges) {
    const CalibrationRange screen{0, 4095, 0, 4095};
    const CalibrationRange refused[] = {
        {5, 5, 0, 1},     {0, 1, 3, 3},    {kNan, 1, 0, 1},   {0, kInf, 0, 1},
        {0, 1, -kInf, 1}, {0, 1, 0, kNan}, {0, 1e-36f, 0, 1},  // the gain overflows a float
    };
    for (const CalibrationRange& caller : refused) {
        EXPECT_FALSE(makeTargetMapping(screen, caller))
            << caller.xBegin << " " << caller.xEnd << " " << caller.yBegin << " " << caller.yEnd;
    }
    EXPECT_FALSE(makeTargetMapping({0, kNan, 0, 1}, {0, 1, 0, 1}));
    EXPECT_FALSE(isUsableCallerRange({1, 1, 0, 1}));
    EXPECT_TRUE(isUsableCallerRange({1, 0, 0, 1}));
}

TEST(CalibrationMapping, RefusesNonFiniteSamples) {
    EXPECT_TRUE(isFinitePoint({1, 2, 3, 4}));
    EXPECT_FALSE(isFinitePoint({kNan, 2, 3, 4}));
    EXPECT_FALSE(isFinitePoint({1, kInf, 3, 4}));
    EXPECT_FALSE(isFinitePoint({1, 2, -kInf, 4}));
    EXPECT_FALSE(isFinitePoint({1, 2, 3, kNan}));

    const auto m = makeTargetMapping({0, 1e30f, 0, 1}, {0, 1, 0, 1});
    ASSERT_TRUE(m);
    const CalibrationPoint points[] = {{1, 1, 0.5f, 0.5f}, {1, 1, 1e9f, 0}};
    EXPECT_TRUE(mapSamples(*m, points, 1));
    EXPECT_FALSE(mapSamples(*m, points, 2));  // 1e30 * 1e9 overflows
}

}  // namespace
}  // namespace touchsdk
