#include "press.h"

#include <gtest/gtest.h>

#include "misclick.h"

namespace tsdcal {
namespace {

struct Step {
    bool down;
    uint8_t id;
    double x, y;
};

std::optional<Press> play(const std::vector<Step>& steps) {
    PressTracker tracker({5, 10.0});
    std::optional<Press> out;
    int64_t ms = 0;
    for (const Step& s : steps) {
        TouchSample sample;
        sample.down = s.down;
        sample.id = s.id;
        sample.x = s.x;
        sample.y = s.y;
        sample.ms = ms += 10;
        if (auto p = tracker.feed(sample)) out = p;
    }
    return out;
}

TEST(PressTracker, TakesTheMedianOfTheRunWhereTheFingerSettled) {
    // Slides in from far away, then rests with a little tremor and one
    // outlier inside the spread.
    const auto press = play({{true, 1, 500, 500},
                             {true, 1, 300, 300},
                             {true, 1, 101, 200},
                             {true, 1, 100, 203},
                             {true, 1, 109, 201},
                             {true, 1, 102, 199},
                             {true, 1, 100, 200},
                             {true, 2, 900, 900},
                             {false, 2, 0, 0},
                             {true, 1, 103, 202},
                             {false, 1, 0, 0}});
    ASSERT_TRUE(press);
    EXPECT_TRUE(press->stable);
    EXPECT_EQ(press->samples, 6u) << "the slide and the second finger stay out";
    EXPECT_DOUBLE_EQ(press->median.x, 101.5);
    EXPECT_DOUBLE_EQ(press->median.y, 200.5);
}

TEST(PressTracker, ATapTooShortOrTooRestlessIsNotStable) {
    const auto brief = play({{true, 1, 100, 100},
                             {true, 1, 100, 100},
                             {true, 1, 100, 100},
                             {true, 1, 100, 100},
                             {false, 1, 0, 0}});
    ASSERT_TRUE(brief);
    EXPECT_FALSE(brief->stable);
    const auto wandering = play({{true, 1, 100, 100},
                                 {true, 1, 112, 100},
                                 {true, 1, 124, 100},
                                 {true, 1, 136, 100},
                                 {true, 1, 148, 100},
                                 {true, 1, 160, 100},
                                 {false, 1, 0, 0}});
    ASSERT_TRUE(wandering);
    EXPECT_FALSE(wandering->stable);
}

// A panel mounted 3% large and 20 units off, y running the other way: the
// guard learns it from earlier targets and still tells a touch on the wrong
// target from a touch on the right one.
TEST(MisclickGuard, FollowsWhatEarlierTargetsShowAndRefusesAWrongTarget) {
    MisclickGuard guard({10.0, 10.0, 10.0, 10.0}, 0.4 * 1000.0);
    auto panel = [](const PointF& t) { return PointF{10.3 * t.x + 20, 4800 - 10.3 * t.y}; };
    const std::vector<PointF> row = {{50, 40}, {150, 40}, {250, 40}};
    EXPECT_TRUE(guard.plausible(row[0], {4000, 4000})) << "the first target has no prediction";
    for (const PointF& t : row) {
        ASSERT_TRUE(guard.plausible(t, panel(t)));
        guard.accept(t, panel(t));
    }
    const PointF next{50, 140};
    EXPECT_TRUE(guard.plausible(next, panel(next))) << "the y direction is not known yet";
    EXPECT_FALSE(guard.plausible(next, panel({150, 140})));
    guard.accept(next, panel(next));
    const PointF last{250, 240};
    EXPECT_TRUE(guard.plausible(last, panel(last)));
    EXPECT_FALSE(guard.plausible(last, panel({150, 240})));
    EXPECT_FALSE(guard.plausible(last, panel({250, 140})));
}

// A panel mounted turned: its x runs down the display, its y right to left.
// Every target of a 3x3 grid is taken in the order the calibrator shows
// them, and a touch on a wrong target is still refused.
TEST(MisclickGuard, TakesAPanelMountedTurned) {
    MisclickGuard guard({10.0, 10.0, 10.0, 10.0}, 0.4 * 1000.0);
    auto panel = [](const PointF& t) { return PointF{9.7 * t.y + 150, 3200 - 10.2 * t.x}; };
    const std::vector<PointF> grid = {{50, 40},   {150, 40}, {250, 40},  {50, 140}, {150, 140},
                                      {250, 140}, {50, 240}, {150, 240}, {250, 240}};
    for (const PointF& t : grid) {
        ASSERT_TRUE(guard.plausible(t, panel(t))) << t.x << "," << t.y;
        if (t.y > 40) {
            EXPECT_FALSE(guard.plausible(t, panel({t.x, t.y - 100})));
            EXPECT_FALSE(guard.plausible(t, panel({t.x == 250 ? 50.0 : 250.0, t.y})));
        }
        guard.accept(t, panel(t));
    }
}

}  // namespace
}  // namespace tsdcal
