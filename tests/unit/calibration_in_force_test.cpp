#include "calibration_in_force.h"

#include <gtest/gtest.h>

#include <array>

namespace tsdemu {
namespace {

using touchsdk::CalibrationModel;
using touchsdk::CalibrationRecord;
using Image = std::array<uint8_t, kCalibrationSlotImageSize>;

Image imageOf(const CalibrationRecord& record, uint8_t marker = 1) {
    Image image{};
    image[0] = marker;
    std::copy(record.begin(), record.end(), image.begin() + 1);
    image.back() = 0xEE;  // filler is never part of the record
    return image;
}

CalibrationModel shiftModel(float dx, float dy) {
    CalibrationModel m;
    m.flags = touchsdk::kLinearFlags;
    m.coefficients = {dx, 0, 1, 0, dy, 1, 0, 0};
    m.scale = 1.0f;
    return m;
}

TEST(CalibrationInForce, RecordNeedsTheMarker) {
    const CalibrationRecord record = touchsdk::encodeCalibrationRecord(shiftModel(1, 2), 1);
    EXPECT_EQ(recordOfImage(imageOf(record).data()), record);
    EXPECT_FALSE(recordOfImage(imageOf(record, 0).data()));
    EXPECT_FALSE(recordOfImage(imageOf(record, 2).data()));
}

TEST(CalibrationInForce, SwitchSelectsPreviewElseValidActive) {
    const Image active = imageOf(touchsdk::encodeCalibrationRecord(shiftModel(10, 0), 1));
    const Image preview = imageOf(touchsdk::encodeCalibrationRecord(shiftModel(20, 0), 1));
    const Image reset = imageOf(touchsdk::resetCalibrationRecord());
    const Image erased{};

    auto shiftOf = [](const std::optional<touchsdk::DecodedCalibration>& c) {
        return c ? c->x[0] : -1.0;
    };
    EXPECT_EQ(shiftOf(calibrationInForce(active.data(), preview.data(), true)), 20.0);
    EXPECT_EQ(shiftOf(calibrationInForce(active.data(), preview.data(), false)), 10.0);
    EXPECT_EQ(shiftOf(calibrationInForce(reset.data(), preview.data(), false)), -1.0);
    EXPECT_EQ(shiftOf(calibrationInForce(erased.data(), preview.data(), false)), -1.0);
    EXPECT_EQ(shiftOf(calibrationInForce(active.data(), erased.data(), true)), -1.0);
}

TEST(CalibrationInForce, EvaluatesInRecordTermOrder) {
    CalibrationModel m;
    m.flags = touchsdk::kPolynomialFlags;
    // X = 1 + x*y (fourth term); Y = y^2 (fifth term) + x^3 (last term).
    m.coefficients[0] = 1;
    m.coefficients[3] = 1;
    m.coefficients[14] = 1;
    m.coefficients[19] = 1;
    const auto decoded = touchsdk::decodeCalibrationRecord(touchsdk::encodeCalibrationRecord(m, 1));
    const ScreenPoint p = applyCalibration(decoded, {2, 3});
    EXPECT_EQ(p.x, 7.0);
    EXPECT_EQ(p.y, 17.0);

    const auto linear =
        touchsdk::decodeCalibrationRecord(touchsdk::encodeCalibrationRecord(shiftModel(5, -5), 1));
    const ScreenPoint q = applyCalibration(linear, {100, 200});
    EXPECT_EQ(q.x, 105.0);
    EXPECT_EQ(q.y, 195.0);

    const auto none = touchsdk::decodeCalibrationRecord(touchsdk::resetCalibrationRecord());
    const ScreenPoint r = applyCalibration(none, {100, 200});
    EXPECT_EQ(r.x, 100.0);
    EXPECT_EQ(r.y, 200.0);
}

TEST(CalibrationInForce, ControllerParametersCarryTheRangeAfterTheMarker) {
    const auto image = controllerParametersImage({0, 4095, 100, -1});
    EXPECT_EQ(image[0], 1);
    // 0.0, 4095.0, 100.0, -1.0 as little-endian float32, at record byte 16.
    const std::array<uint8_t, 16> range = {0x00, 0x00, 0x00, 0x00, 0x00, 0xF0, 0x7F, 0x45,
                                           0x00, 0x00, 0xC8, 0x42, 0x00, 0x00, 0x80, 0xBF};
    EXPECT_TRUE(std::equal(range.begin(), range.end(), image.begin() + 17));
}

}  // namespace
}  // namespace tsdemu
