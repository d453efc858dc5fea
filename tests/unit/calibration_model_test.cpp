#include "calibration/calibration_model.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace touchsdk {
namespace {

using Coefficients = std::vector<double>;

void expectCoefficients(const CalibrationModel& model, std::size_t first,
                        const Coefficients& expected, double tolerance) {
    for (std::size_t k = 0; k < expected.size(); ++k) {
        EXPECT_NEAR(model.coefficients[first + k], expected[k], tolerance)
            << "coefficient " << first + k;
    }
}

TEST(CalibrationModel, ThreeSamplesGiveTheIdentityLinearModel) {
    const std::vector<WorkingSample> samples = {{0, 0, 0, 0}, {1, 0, 1, 0}, {0, 1, 0, 1}};
    CalibrationModel model;
    ASSERT_EQ(buildCalibrationModel(samples.data(), samples.size(), model), FitStatus::Ok);
    EXPECT_EQ(model.flags, kLinearFlags);
    // Linear layout: X 1, y, x, x*y then Y 1, y, x, x*y.
    expectCoefficients(model, 0, {0, 0, 1, 0, 0, 1, 0, 0}, 0.0);
    EXPECT_EQ(model.scale, 1.0f);
}

TEST(CalibrationModel, FiveSamplesGiveTheLinearWorkedExample) {
    std::vector<WorkingSample> samples;
    for (const auto& [x, y] :
         {std::pair{0.0, 0.0}, {100.0, 0.0}, {0.0, 100.0}, {100.0, 100.0}, {50.0, 50.0}}) {
        samples.push_back({x, y, 2 * x + 5, 3 * y - 1});
    }
    CalibrationModel model;
    ASSERT_EQ(buildCalibrationModel(samples.data(), samples.size(), model), FitStatus::Ok);
    EXPECT_EQ(model.flags, kLinearFlags);
    expectCoefficients(model, 0, {5, 0, 2, 0, -1, 3, 0, 0}, 1e-4);
    EXPECT_FLOAT_EQ(model.scale, 2.4494898f);
}

TEST(CalibrationModel, GridModelPutsXyBeforeYSquared) {
    std::vector<WorkingSample> samples;
    for (double x : {0.0, 10.0, 20.0, 30.0}) {
        for (double y : {0.0, 10.0, 20.0, 30.0}) {
            samples.push_back(
                {x, y, 1 + 2 * x + 3 * y + 0.01 * x * y + 0.02 * y * y, 4 - x + 0.5 * y});
        }
    }
    CalibrationModel model;
    ASSERT_EQ(buildCalibrationModel(samples.data(), samples.size(), model), FitStatus::Ok);
    EXPECT_EQ(model.flags, kPolynomialFlags);
    // Record order: 1, y, x, x*y, y^2, x^2, y^3, x*y^2, x^2*y, x^3.
    expectCoefficients(model, 0, {1, 3, 2, 0.01, 0.02, 0, 0, 0, 0, 0}, 1e-6);
    expectCoefficients(model, 10, {4, 0.5, -1, 0, 0, 0, 0, 0, 0, 0}, 1e-6);
}

// Points in general position, so that no fit below is singular.
std::vector<WorkingSample> scattered(std::size_t count) {
    std::vector<WorkingSample> samples;
    uint32_t state = 12345;
    auto next = [&state] {
        state = state * 1103515245u + 12345u;
        return static_cast<double>((state >> 16) % 1000);
    };
    for (std::size_t i = 0; i < count; ++i) {
        const double x = next();
        const double y = next();
        samples.push_back(
            {x, y, 0.001 * x * x * x + 0.01 * x * x + y, x - 0.002 * y * y + 1e-6 * y * y * y});
    }
    return samples;
}

struct DegreeCase {
    std::size_t count;
    FitStatus status;
    uint8_t flags;
    bool quadratic;  // a non-zero x^2 term is expected
    bool cubic;      // a non-zero cubic term is expected
};

TEST(CalibrationModel, DegreeFollowsSampleCount) {
    const DegreeCase cases[] = {
        {0, FitStatus::TooFewSamples, 0, false, false},
        {1, FitStatus::TooFewSamples, 0, false, false},
        {2, FitStatus::TooFewSamples, 0, false, false},
        {3, FitStatus::Ok, kLinearFlags, false, false},
        {5, FitStatus::Ok, kLinearFlags, false, false},
        {6, FitStatus::Ok, kPolynomialFlags, true, false},
        {9, FitStatus::Ok, kPolynomialFlags, true, false},
        {10, FitStatus::Ok, kPolynomialFlags, true, true},
        {40, FitStatus::Ok, kPolynomialFlags, true, true},
    };
    for (const DegreeCase& c : cases) {
        SCOPED_TRACE(c.count);
        const auto samples = scattered(c.count);
        CalibrationModel model;
        ASSERT_EQ(buildCalibrationModel(samples.data(), samples.size(), model), c.status);
        if (c.status != FitStatus::Ok) continue;
        EXPECT_EQ(model.flags, c.flags);
        if (c.flags == kLinearFlags) {
            EXPECT_EQ(model.coefficients[3], 0.0f);
            EXPECT_EQ(model.coefficients[7], 0.0f);
            for (std::size_t k = 8; k < kModelCoefficientCount; ++k)
                EXPECT_EQ(model.coefficients[k], 0.0f) << k;
            continue;
        }
        EXPECT_EQ(model.coefficients[5] != 0.0f, c.quadratic);  // x^2 of X
        EXPECT_EQ(model.coefficients[9] != 0.0f, c.cubic);      // x^3 of X
        EXPECT_EQ(model.coefficients[16] != 0.0f, c.cubic);     // y^3 of Y
    }
}

TEST(CalibrationModel, SingularFitIsNotRetriedAtLowerDegree) {
    // With every touchY 0 the y terms vanish; a linear fit in x alone would
    // be possible, but the singular cubic is final.
    std::vector<WorkingSample> samples;
    for (int i = 0; i < 10; ++i) samples.push_back({i * 3.0, 0.0, i * 1.0, 1.0});
    CalibrationModel model;
    EXPECT_EQ(buildCalibrationModel(samples.data(), samples.size(), model), FitStatus::Singular);
    samples.resize(6);
    EXPECT_EQ(buildCalibrationModel(samples.data(), samples.size(), model), FitStatus::Singular);
}

TEST(CalibrationModel, OverflowingCoefficientsMakeANonFiniteModel) {
    // A slope of 1e60 does not fit a 32-bit float.
    const std::vector<WorkingSample> samples = {
        {0, 0, 0, 0}, {1e-30, 0, 1e30, 0}, {0, 1e-30, 0, 1e30}};
    CalibrationModel model;
    ASSERT_EQ(buildCalibrationModel(samples.data(), samples.size(), model), FitStatus::Ok);
    EXPECT_FALSE(isFiniteModel(model));

    CalibrationModel finite;
    finite.flags = kLinearFlags;
    EXPECT_TRUE(isFiniteModel(finite));
    finite.scale = NAN;
    EXPECT_FALSE(isFiniteModel(finite));
    finite.scale = 1.0f;
    finite.coefficients[19] = -INFINITY;
    EXPECT_FALSE(isFiniteModel(finite));
}

}  // namespace
}  // namespace touchsdk
