#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace touchsdk {

// A coordinate range: the screen's own (from its controller parameters) or
// the one in which a caller gives its calibration targets. Ends pair up end
// for end; nothing requires begin < end.
struct CalibrationRange {
    float xBegin = 0.0f;
    float xEnd = 0.0f;
    float yBegin = 0.0f;
    float yEnd = 0.0f;
};

// ---- Controller parameters: read only; only the coordinate range is ours.
constexpr std::size_t kControllerParametersSize = 150;
constexpr std::size_t kControllerRangeOffset = 16;
constexpr std::size_t kRangeFieldSize = 16;
static_assert(kControllerRangeOffset + kRangeFieldSize <= kControllerParametersSize);

// A view of the 150 parameter bytes as the screen stores them.
class ControllerParameters {
public:
    using Bytes = std::array<uint8_t, kControllerParametersSize>;

    ControllerParameters() : bytes_{} {}
    explicit ControllerParameters(const Bytes& bytes) : bytes_(bytes) {}

    Bytes& bytes() { return bytes_; }
    const Bytes& bytes() const { return bytes_; }
    CalibrationRange range() const;

private:
    Bytes bytes_;
};

// ---- The calibration record kept in the active and preview slots.
constexpr std::size_t kCalibrationRecordSize = 186;
using CalibrationRecord = std::array<uint8_t, kCalibrationRecordSize>;

constexpr std::size_t kTermsPerAxis = 10;
constexpr std::size_t kModelCoefficientCount = 2 * kTermsPerAxis;
// Terms per axis that a linear record stores: 1, y, x and an x*y slot kept 0.
constexpr std::size_t kLinearTermsPerAxis = 4;

namespace record_layout {
constexpr std::size_t kFlags = 0;
constexpr std::size_t kRange = 1;
constexpr std::size_t kCoefficients = 17;
constexpr std::size_t kCoefficientSize = 8;
constexpr std::size_t kScale = 177;
constexpr std::size_t kValid = 185;

constexpr std::size_t coefficientOffset(std::size_t index) {
    return kCoefficients + kCoefficientSize * index;
}
// Where coefficient `term` of axis 0 (X) or 1 (Y) lies, per record kind.
constexpr std::size_t polynomialOffset(std::size_t axis, std::size_t term) {
    return coefficientOffset(axis * kTermsPerAxis + term);
}
constexpr std::size_t linearOffset(std::size_t axis, std::size_t term) {
    return coefficientOffset(axis * kLinearTermsPerAxis + term);
}

static_assert(kRange + kRangeFieldSize == kCoefficients);
static_assert(coefficientOffset(kModelCoefficientCount) == kScale);
static_assert(kScale + 8 == kValid);
static_assert(kValid + 1 == kCalibrationRecordSize);
static_assert(kCalibrationRecordSize == 186);
static_assert(polynomialOffset(1, 0) == 97 && polynomialOffset(1, 9) == 169);
static_assert(linearOffset(1, 0) == 49 && linearOffset(1, 3) + 8 == 81);
}  // namespace record_layout

// flags: bit 0 model present, bits 1-2 model kind, bits 3-4 range mode + 1.
constexpr uint8_t kModelPresentFlag = 0x01;
constexpr uint8_t kModelKindMask = 0x06;
constexpr uint8_t kLinearKind = 0x04;      // kind 2
constexpr uint8_t kPolynomialKind = 0x06;  // kind 3
constexpr uint8_t kNoRangeCarried = 0x08;  // range mode + 1 == 1
constexpr uint8_t kLinearFlags = kModelPresentFlag | kLinearKind | kNoRangeCarried;
constexpr uint8_t kPolynomialFlags = kModelPresentFlag | kPolynomialKind | kNoRangeCarried;
static_assert(kLinearFlags == 13 && kPolynomialFlags == 15);

// What the host computes: coefficients in record term order per axis
// (1, y, x, x*y, y^2, x^2, y^3, x*y^2, x^2*y, x^3), X axis first.
struct CalibrationModel {
    uint8_t flags = 0;
    std::array<float, kModelCoefficientCount> coefficients{};
    float scale = 0.0f;
};

CalibrationRecord encodeCalibrationRecord(const CalibrationModel& model, uint8_t valid);

// The reset record: nothing in it but a `valid` byte of 0.
CalibrationRecord resetCalibrationRecord();

}  // namespace touchsdk
