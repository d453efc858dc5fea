#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace touchsdk {

// One sample in the fit: the reported position (x, y) and its target (u, v)
// already in the screen's own units.
struct WorkingSample {
    double x = 0.0;
    double y = 0.0;
    double u = 0.0;
    double v = 0.0;
};

constexpr int kMaxFitDegree = 3;
constexpr std::size_t kMaxUnknowns = 10;  // terms of a cubic in two variables
constexpr std::size_t kFitResultSize = 2 * kMaxUnknowns;

// How a fit ended. It stays inside the library; callers see a failure.
enum class FitStatus : uint8_t { Ok = 0, TooFewSamples = 16, Singular = 255 };

// X polynomial in elements 0-9, Y in 10-19, each in fit term order:
// 1, y, x, y^2, x*y, x^2, y^3, x*y^2, x^2*y, x^3. Missing terms are 0.
using FitResult = std::array<double, kFitResultSize>;

constexpr std::size_t unknownsForDegree(int degree) {
    return static_cast<std::size_t>((degree + 1) * (degree + 2) / 2);
}
static_assert(unknownsForDegree(kMaxFitDegree) == kMaxUnknowns);

// The normal equations of both axes, sharing one matrix.
struct NormalEquations {
    std::size_t size = 0;
    std::array<std::array<double, kMaxUnknowns>, kMaxUnknowns> a{};
    std::array<double, kMaxUnknowns> bx{};
    std::array<double, kMaxUnknowns> by{};
};

// Gauss-Jordan elimination in place. A pivot that is exactly 0 is replaced
// by the first row below with a non-zero entry in its column; there is no
// other pivoting and no row scaling. Leaves the diagonal form in `system`.
[[nodiscard]] FitStatus solveGaussJordan(NormalEquations& system);

// Least-squares fit of the samples' (u, v) as polynomials of degree
// `degree` (1 to 3) in (x, y) by the normal equations.
[[nodiscard]] FitStatus fitPolynomial(const WorkingSample* samples, std::size_t count, int degree,
                                      FitResult& out);

}  // namespace touchsdk
