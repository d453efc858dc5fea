#include "calibration/calibration_fit.h"

#include <gtest/gtest.h>

#include <vector>

namespace touchsdk {
namespace {

NormalEquations systemOf(std::vector<std::vector<double>> a, std::vector<double> bx,
                         std::vector<double> by) {
    NormalEquations s;
    s.size = a.size();
    for (std::size_t r = 0; r < a.size(); ++r) {
        for (std::size_t c = 0; c < a.size(); ++c) s.a[r][c] = a[r][c];
        s.bx[r] = bx[r];
        s.by[r] = by[r];
    }
    return s;
}

std::vector<double> solution(const NormalEquations& s, const std::array<double, kMaxUnknowns>& b) {
    std::vector<double> out;
    for (std::size_t i = 0; i < s.size; ++i) out.push_back(b[i] / s.a[i][i]);
    return out;
}

TEST(GaussJordan, ZeroFirstPivotIsExchangedWithTheRowBelow) {
    NormalEquations s = systemOf({{0, 1}, {2, 0}}, {5, 4}, {7, 6});
    ASSERT_EQ(solveGaussJordan(s), FitStatus::Ok);
    EXPECT_EQ(solution(s, s.bx), (std::vector<double>{2, 5}));
    EXPECT_EQ(solution(s, s.by), (std::vector<double>{3, 7}));
}

TEST(GaussJordan, ZeroPivotArisingDuringEliminationIsExchanged) {
    // After the first column is cleared, row 1 is (0, 0, 1): its pivot is an
    // exact 0 while row 2 still holds a 1 in that column.
    NormalEquations s = systemOf({{1, 1, 0}, {1, 1, 1}, {0, 1, 1}}, {3, 6, 5}, {0, 0, 1});
    ASSERT_EQ(solveGaussJordan(s), FitStatus::Ok);
    EXPECT_EQ(solution(s, s.bx), (std::vector<double>{1, 2, 3}));
    EXPECT_EQ(solution(s, s.by), (std::vector<double>{-1, 1, 0}));
}

TEST(GaussJordan, ZeroColumnIsSingular) {
    NormalEquations twoEqual = systemOf({{1, 1}, {1, 1}}, {1, 1}, {1, 1});
    EXPECT_EQ(solveGaussJordan(twoEqual), FitStatus::Singular);
    NormalEquations zeroFirst = systemOf({{0, 0}, {0, 1}}, {1, 1}, {1, 1});
    EXPECT_EQ(solveGaussJordan(zeroFirst), FitStatus::Singular);
}

std::vector<WorkingSample> gridSamples(double (*u)(double, double), double (*v)(double, double)) {
    std::vector<WorkingSample> samples;
    for (double x : {0.0, 10.0, 20.0, 30.0}) {
        for (double y : {0.0, 10.0, 20.0, 30.0}) samples.push_back({x, y, u(x, y), v(x, y)});
    }
    return samples;
}

TEST(FitPolynomial, CubicFitOnGridRecoversTermsInFitOrder) {
    const auto samples =
        gridSamples([](double x, double y) { return 1 + 2 * x + 3 * y + 0.01 * x * y; },
                    [](double x, double y) { return 4 - x + 0.5 * y; });
    FitResult out{};
    ASSERT_EQ(fitPolynomial(samples.data(), samples.size(), 3, out), FitStatus::Ok);
    // Fit order: 1, y, x, y^2, x*y, x^2, y^3, x*y^2, x^2*y, x^3.
    const double x[] = {1, 3, 2, 0, 0.01, 0, 0, 0, 0, 0};
    const double y[] = {4, 0.5, -1, 0, 0, 0, 0, 0, 0, 0};
    for (std::size_t k = 0; k < kMaxUnknowns; ++k) {
        EXPECT_NEAR(out[k], x[k], 1e-9) << "X term " << k;
        EXPECT_NEAR(out[kMaxUnknowns + k], y[k], 1e-9) << "Y term " << k;
    }
}

TEST(FitPolynomial, LeastSquaresOverOverdeterminedLinearData) {
    // Four corners with targets off a plane by +-1: the best plane averages.
    const std::vector<WorkingSample> samples = {
        {0, 0, 1, 0}, {2, 0, -1, 0}, {0, 2, -1, 0}, {2, 2, 1, 0}};
    FitResult out{};
    ASSERT_EQ(fitPolynomial(samples.data(), samples.size(), 1, out), FitStatus::Ok);
    EXPECT_NEAR(out[0], 0.0, 1e-12);
    EXPECT_NEAR(out[1], 0.0, 1e-12);
    EXPECT_NEAR(out[2], 0.0, 1e-12);
    for (std::size_t k = 3; k < kFitResultSize; ++k) EXPECT_EQ(out[k], 0.0) << k;
}

TEST(FitPolynomial, RefusesFewerSamplesThanTerms) {
    const std::vector<WorkingSample> nine(9, WorkingSample{1, 2, 3, 4});
    FitResult out{};
    EXPECT_EQ(fitPolynomial(nine.data(), nine.size(), 3, out), FitStatus::TooFewSamples);
    EXPECT_EQ(fitPolynomial(nine.data(), 5, 2, out), FitStatus::TooFewSamples);
    EXPECT_EQ(fitPolynomial(nine.data(), 2, 1, out), FitStatus::TooFewSamples);
    EXPECT_EQ(fitPolynomial(nullptr, 0, 1, out), FitStatus::TooFewSamples);
}

TEST(FitPolynomial, SamplesOnOneLineAreSingular) {
    std::vector<WorkingSample> samples;
    for (int i = 0; i < 10; ++i) samples.push_back({i * 7.0, 0.0, i * 1.0, 0.0});
    FitResult out{};
    EXPECT_EQ(fitPolynomial(samples.data(), samples.size(), 3, out), FitStatus::Singular);
}

}  // namespace
}  // namespace touchsdk
