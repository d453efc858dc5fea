#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "calibration/calibration_record.h"
#include "common/little_endian.h"
#include "hex_bytes.h"
#include "screen_model.h"

namespace tsdemu {
namespace {

using touchsdk::CalibrationModel;

struct Position {
    uint16_t x;
    uint16_t y;
    bool operator==(const Position& o) const { return x == o.x && y == o.y; }
};

Position positionIn(const std::vector<uint8_t>& report) {
    return {touchsdk::readLe16(&report[3]), touchsdk::readLe16(&report[5])};
}

std::vector<uint8_t> slotImageOf(const CalibrationModel& model, uint8_t valid) {
    const auto record = touchsdk::encodeCalibrationRecord(model, valid);
    std::vector<uint8_t> image(calibration_blocks::kSlotCount * kBlockBytes, 0);
    image[0] = 1;
    std::copy(record.begin(), record.end(), image.begin() + 1);
    return image;
}

CalibrationModel shiftBy(float dx, float dy) {
    CalibrationModel m;
    m.flags = touchsdk::kLinearFlags;
    m.coefficients = {dx, 0, 1, 0, dy, 1, 0, 0};
    return m;
}

class CalibrationScreen : public ::testing::Test {
protected:
    void switchPreview(bool on) {
        const auto report = hexReport(on ? "55 3C 80 E5 01 01 67" : "55 3C 80 E5 01 00 66");
        ASSERT_EQ(model.setFeature(report.data(), report.size()), 64);
        ASSERT_EQ(model.previewSwitch(), on ? 1 : 0);
    }
    Position touchAt(double x, double y) { return positionIn(model.touchReportAt(x, y).touch); }
    Position rawAt(double x, double y) { return positionIn(model.touchReportAt(x, y).raw); }

    ScreenModel model{ScreenIdentity{}};
};

TEST_F(CalibrationScreen, StatesItsRangeInControllerParameters) {
    const auto seeded = model.blockBytes(kControllerModule, 1, 5);
    EXPECT_EQ(seeded[0], 1);
    // 0.0, 4095.0, 0.0, 4095.0 at record bytes 16-31, after the marker.
    EXPECT_EQ(std::vector<uint8_t>(seeded.begin() + 17, seeded.begin() + 33),
              hexBytes("00 00 00 00 00 F0 7F 45 00 00 00 00 00 F0 7F 45"));

    model.setCoordinateRange({0, 32767, 32767, 0});
    const auto changed = model.blockBytes(kControllerModule, 1, 5);
    EXPECT_EQ(std::vector<uint8_t>(changed.begin() + 17, changed.begin() + 33),
              hexBytes("00 00 00 00 00 FE FF 46 00 FE FF 46 00 00 00 00"));
    EXPECT_EQ(touchAt(30000, 20000), (Position{30000, 20000}));
}

TEST_F(CalibrationScreen, ReportsAContactAtItsMeasuredPosition) {
    Contact contact;
    contact.id = 7;
    const SensorReports reports = model.touchReportAt(1000, 2000, contact);
    ASSERT_EQ(reports.touch.size(), 24u);
    ASSERT_EQ(reports.raw.size(), 24u);
    EXPECT_EQ(reports.touch[0], 0x36);
    EXPECT_EQ(reports.raw[0], 0x34);
    EXPECT_EQ(reports.touch[2], 7);
    EXPECT_EQ(positionIn(reports.touch), (Position{1000, 2000}));
    EXPECT_EQ(positionIn(reports.raw), (Position{1000, 2000}));
    EXPECT_NE(model.touchReportAt(0, 0).touch[21], reports.touch[21]) << "scan time advances";

    SensorWarp shifted;
    shifted.dx = 0.01;  // 20.475 units on a 0..4095 axis
    model.setSensorWarp(shifted);
    EXPECT_EQ(rawAt(1000, 2000), (Position{1020, 2000}));
}

TEST_F(CalibrationScreen, TouchReportsFollowTheCalibrationInForce) {
    model.setBlockBytes(kControllerModule, 6, slotImageOf(shiftBy(10, -10), 1));
    model.setBlockBytes(kControllerModule, 22, slotImageOf(shiftBy(-5, 5), 1));
    EXPECT_EQ(touchAt(1000, 2000), (Position{1010, 1990})) << "valid active record";
    EXPECT_EQ(rawAt(1000, 2000), (Position{1000, 2000})) << "raw touches stay raw";

    switchPreview(true);
    EXPECT_EQ(touchAt(1000, 2000), (Position{995, 2005})) << "preview record";
    switchPreview(false);
    EXPECT_EQ(touchAt(1000, 2000), (Position{1010, 1990}));

    model.setBlockBytes(kControllerModule, 6, slotImageOf(shiftBy(10, -10), 0));
    EXPECT_EQ(touchAt(1000, 2000), (Position{1000, 2000})) << "active record not valid";

    model.setBlockBytes(kControllerModule, 22, std::vector<uint8_t>(6 * kBlockBytes, 0));
    switchPreview(true);
    EXPECT_EQ(touchAt(1000, 2000), (Position{1000, 2000})) << "preview slot without a marker";
}

TEST_F(CalibrationScreen, CalibratedPositionsStayInRange) {
    model.setBlockBytes(kControllerModule, 6, slotImageOf(shiftBy(-500, 500), 1));
    EXPECT_EQ(touchAt(100, 3900), (Position{0, 4095}));
    CalibrationModel broken = shiftBy(0, 0);
    broken.coefficients[0] = NAN;
    model.setBlockBytes(kControllerModule, 6, slotImageOf(broken, 1));
    EXPECT_EQ(touchAt(100, 3900).x, 0);
}

}  // namespace
}  // namespace tsdemu
