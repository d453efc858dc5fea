#include "calibration_in_force.h"

#include <gtest/gtest.h>

namespace tsdemu {
namespace {

using touchsdk::CalibrationModel;

CalibrationModel shiftModel(float dx, float dy) {
    CalibrationModel m;
    m.flags = touchsdk::kLinearFlags;
    m.coefficients = {dx, 0, 1, 0, dy, 1, 0, 0};
    m.scale = 1.0f;
    return m;
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
    const SensorPosition p = applyCalibration(decoded, {2, 3});
    EXPECT_EQ(p.x, 7.0);
    EXPECT_EQ(p.y, 17.0);

    const auto linear =
        touchsdk::decodeCalibrationRecord(touchsdk::encodeCalibrationRecord(shiftModel(5, -5), 1));
    const SensorPosition q = applyCalibration(linear, {100, 200});
    EXPECT_EQ(q.x, 105.0);
    EXPECT_EQ(q.y, 195.0);

    const auto none = touchsdk::decodeCalibrationRecord(touchsdk::resetCalibrationRecord());
    const SensorPosition r = applyCalibration(none, {100, 200});
    EXPECT_EQ(r.x, 100.0);
    EXPECT_EQ(r.y, 200.0);
}

}  // namespace
}  // namespace tsdemu
