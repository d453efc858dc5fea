#include "geometry.h"

#include <gtest/gtest.h>

#include <cmath>

namespace tsdcal {
namespace {

// For every rotation, the pixel the turned picture holds at the place that
// toDisplay names is the picture's own pixel there: the targets the program
// announces are where the person sees them.
TEST(View, TurnedPictureAndAnnouncedPositionsAgree) {
    const Rect area{30, 20, 64, 40};
    for (Rotation r : {Rotation::k0, Rotation::k90, Rotation::k180, Rotation::k270}) {
        const View view(area, r);
        Canvas picture(view.logical().width, view.logical().height, 0);
        const PointF marks[] = {{0.5, 0.5}, {5.5, 2.5}, {view.logical().width - 0.5, 7.5}};
        for (std::size_t i = 0; i < 3; ++i) {
            picture.set(static_cast<int>(marks[i].x), static_cast<int>(marks[i].y),
                        static_cast<Color>(i + 1));
        }
        const Canvas output = view.toOutput(picture);
        ASSERT_EQ(output.width(), area.width);
        for (std::size_t i = 0; i < 3; ++i) {
            const PointF d = view.toDisplay(marks[i]);
            EXPECT_EQ(output.at(static_cast<int>(std::floor(d.x)) - area.x,
                                static_cast<int>(std::floor(d.y)) - area.y),
                      static_cast<Color>(i + 1))
                << "rotation " << static_cast<int>(r) << " mark " << i;
        }
    }
    // Clockwise: the picture's top-left corner goes to the area's top-right.
    const PointF corner = View(area, Rotation::k90).toDisplay({0, 0});
    EXPECT_DOUBLE_EQ(corner.x, area.x + area.width);
    EXPECT_DOUBLE_EQ(corner.y, area.y);
}

TEST(Geometry, GridsAndGeometryStrings) {
    const Size view{800, 480};
    for (int count : {4, 5, 9, 16, 25}) {
        const std::vector<PointF> grid = calibrationGrid(count, view);
        ASSERT_EQ(grid.size(), static_cast<std::size_t>(count));
        for (const PointF& p : grid) {
            EXPECT_GT(p.x, 40);
            EXPECT_LT(p.x, 760);
            EXPECT_GT(p.y, 24);
            EXPECT_LT(p.y, 456);
        }
    }
    EXPECT_TRUE(calibrationGrid(7, view).empty());
    EXPECT_DOUBLE_EQ(calibrationGrid(5, view)[2].x, 400.5) << "the centre";

    EXPECT_TRUE(insideDisplay({0, 0, 800, 480}, view));
    EXPECT_FALSE(insideDisplay({1, 0, 800, 480}, view));
    EXPECT_FALSE(insideDisplay({-1, 0, 80, 48}, view));
}

}  // namespace
}  // namespace tsdcal
