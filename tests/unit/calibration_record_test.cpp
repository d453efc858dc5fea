#include "calibration/calibration_record.h"

#include <gtest/gtest.h>

#include <string>

#include "calibration/calibration_record_reading.h"
#include "controller_parameters.h"

namespace touchsdk {
namespace {

// Records are read back the way the emulated screen reads them.
using touchsdk::decodeCalibrationRecord;
using touchsdk::DecodedCalibration;

std::string hex(const uint8_t* bytes, std::size_t count) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (std::size_t i = 0; i < count; ++i) {
        out += digits[bytes[i] >> 4];
        out += digits[bytes[i] & 0x0F];
    }
    return out;
}

std::string hexRange(const CalibrationRecord& r, std::size_t begin, std::size_t end) {
    return hex(&r[begin], end - begin);
}

std::string zeros(std::size_t bytes) { return std::string(2 * bytes, '0'); }

constexpr char kOne[] = "000000000000F03F";        // 1.0 as little-endian float64
constexpr char kTwo[] = "0000000000000040";        // 2.0
constexpr char kMinusHalf[] = "000000000000E0BF";  // -0.5
constexpr char kHundredth[] = "00000040E17A843F";  // 0.01f widened

CalibrationModel linearIdentity() {
    CalibrationModel m;
    m.flags = kLinearFlags;
    m.coefficients = {0, 0, 1, 0, 0, 1, 0, 0};
    m.scale = 1.0f;
    return m;
}

TEST(CalibrationRecord, LinearRecordGoldenBytes) {
    CalibrationModel model = linearIdentity();
    // A linear record stores 8 coefficients; whatever lies beyond must not leak.
    model.coefficients[8] = 99.0f;
    model.coefficients[19] = 99.0f;
    const CalibrationRecord r = encodeCalibrationRecord(model, 1);

    EXPECT_EQ(hexRange(r, 0, 17), "0D" + zeros(16));
    EXPECT_EQ(hexRange(r, 17, 49), zeros(8) + zeros(8) + kOne + zeros(8));
    EXPECT_EQ(hexRange(r, 49, 81), zeros(8) + kOne + zeros(8) + zeros(8));
    EXPECT_EQ(hexRange(r, 81, 177), zeros(96));
    EXPECT_EQ(hexRange(r, 177, 186), std::string(kOne) + "01");
}

TEST(CalibrationRecord, PolynomialRecordGoldenBytes) {
    CalibrationModel model;
    model.flags = kPolynomialFlags;
    model.coefficients[0] = 1.0f;
    model.coefficients[3] = 0.01f;  // x*y of X, fourth in record term order
    model.coefficients[9] = -0.5f;  // x^3 of X
    model.coefficients[10] = 2.0f;
    model.coefficients[19] = 1.0f;
    model.scale = 2.0f;
    const CalibrationRecord r = encodeCalibrationRecord(model, 1);

    EXPECT_EQ(hexRange(r, 0, 17), "0F" + zeros(16));
    EXPECT_EQ(hexRange(r, 17, 97), kOne + zeros(16) + kHundredth + zeros(40) + kMinusHalf);
    EXPECT_EQ(hexRange(r, 97, 177), kTwo + zeros(64) + kOne);
    EXPECT_EQ(hexRange(r, 177, 186), std::string(kTwo) + "01");
}

TEST(CalibrationRecord, ResetRecordIsAllZero) {
    const CalibrationRecord r = resetCalibrationRecord();
    EXPECT_EQ(hexRange(r, 0, kCalibrationRecordSize), zeros(kCalibrationRecordSize));
    EXPECT_FALSE(decodeCalibrationRecord(r).hasModel());
}

TEST(CalibrationRecord, DecodeWidensLinearAndKeepsPolynomialTermOrder) {
    const DecodedCalibration linear =
        decodeCalibrationRecord(encodeCalibrationRecord(linearIdentity(), 1));
    EXPECT_TRUE(linear.hasModel());
    EXPECT_EQ(linear.x, (std::array<double, kTermsPerAxis>{0, 0, 1, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(linear.y, (std::array<double, kTermsPerAxis>{0, 1, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(linear.scale, 1.0);
    EXPECT_EQ(linear.valid, 1);

    CalibrationModel model;
    model.flags = kPolynomialFlags;
    for (std::size_t k = 0; k < kModelCoefficientCount; ++k)
        model.coefficients[k] = static_cast<float>(k);
    const DecodedCalibration poly = decodeCalibrationRecord(encodeCalibrationRecord(model, 0));
    for (std::size_t j = 0; j < kTermsPerAxis; ++j) {
        EXPECT_EQ(poly.x[j], static_cast<double>(j));
        EXPECT_EQ(poly.y[j], static_cast<double>(j + kTermsPerAxis));
    }
    EXPECT_EQ(poly.valid, 0);
}

TEST(CalibrationRecord, DecodeIgnoresCoefficientsOfUnknownKinds) {
    CalibrationRecord r = encodeCalibrationRecord(linearIdentity(), 1);
    r[record_layout::kFlags] = 0x0B;  // model bit set, kind 1
    const DecodedCalibration d = decodeCalibrationRecord(r);
    EXPECT_FALSE(d.hasModel());
    EXPECT_EQ(d.x, (std::array<double, kTermsPerAxis>{}));
}

TEST(ControllerParameters, RangeLiesAtBytes16To31) {
    ControllerParameters::Bytes bytes{};
    // 0.0, 4095.0, 100.0, -1.0 as little-endian float32
    const uint8_t range[16] = {0x00, 0x00, 0x00, 0x00, 0x00, 0xF0, 0x7F, 0x45,
                               0x00, 0x00, 0xC8, 0x42, 0x00, 0x00, 0x80, 0xBF};
    std::copy(range, range + 16, bytes.begin() + 16);
    const CalibrationRange r = ControllerParameters(bytes).range();
    EXPECT_EQ(r.xBegin, 0.0f);
    EXPECT_EQ(r.xEnd, 4095.0f);
    EXPECT_EQ(r.yBegin, 100.0f);
    EXPECT_EQ(r.yEnd, -1.0f);

    EXPECT_EQ(tsdemu::controllerParametersWithRange(r).bytes(), bytes);
}

}  // namespace
}  // namespace touchsdk
