#include "calibration/calibration_fit.h"

namespace touchsdk {

namespace {

// Moments are needed up to total degree 2 * kMaxFitDegree.
constexpr std::size_t kMomentSide = 2 * kMaxFitDegree + 1;
using MomentTable = std::array<std::array<double, kMomentSide>, kMomentSide>;

struct Exponents {
    std::size_t x = 0;
    std::size_t y = 0;
};

// Unknown r of the fit: the r-th pair (i, t - i) for t = 0, 1, ... and
// i = 0 ... t, meaning x^i * y^(t - i).
constexpr std::array<Exponents, kMaxUnknowns> kUnknownTerms = [] {
    std::array<Exponents, kMaxUnknowns> terms{};
    std::size_t r = 0;
    for (std::size_t t = 0; r < kMaxUnknowns; ++t) {
        for (std::size_t i = 0; i <= t && r < kMaxUnknowns; ++i) terms[r++] = {i, t - i};
    }
    return terms;
}();
static_assert(kUnknownTerms[3].x == 0 && kUnknownTerms[3].y == 2, "y^2 is fit term 3");
static_assert(kUnknownTerms[4].x == 1 && kUnknownTerms[4].y == 1, "x*y is fit term 4");
static_assert(kUnknownTerms[9].x == 3 && kUnknownTerms[9].y == 0, "x^3 is fit term 9");

double power(double base, std::size_t exponent) {
    double value = 1.0;
    for (std::size_t i = 0; i < exponent; ++i) value *= base;
    return value;
}

struct Moments {
    MomentTable m{};
    MomentTable rx{};
    MomentTable ry{};
};

// Sums over the samples, in order, for every x^a * y^b with a + b <= 2d.
void accumulateMoments(const WorkingSample* samples, std::size_t count, int degree, Moments& out) {
    const std::size_t maxTotal = 2 * static_cast<std::size_t>(degree);
    for (std::size_t t = 0; t <= maxTotal; ++t) {
        for (std::size_t a = 0; a <= t; ++a) {
            const std::size_t b = t - a;
            double m = 0.0;
            double rx = 0.0;
            double ry = 0.0;
            for (std::size_t s = 0; s < count; ++s) {
                const double term = power(samples[s].x, a) * power(samples[s].y, b);
                m += term;
                rx += samples[s].u * term;
                ry += samples[s].v * term;
            }
            out.m[a][b] = m;
            out.rx[a][b] = rx;
            out.ry[a][b] = ry;
        }
    }
}

NormalEquations buildNormalEquations(const Moments& moments, std::size_t unknowns) {
    NormalEquations system;
    system.size = unknowns;
    for (std::size_t r = 0; r < unknowns; ++r) {
        const Exponents row = kUnknownTerms[r];
        for (std::size_t c = 0; c < unknowns; ++c) {
            const Exponents col = kUnknownTerms[c];
            system.a[r][c] = moments.m[row.x + col.x][row.y + col.y];
        }
        system.bx[r] = moments.rx[row.x][row.y];
        system.by[r] = moments.ry[row.x][row.y];
    }
    return system;
}

// Exchanges row k with the first row below whose column-k entry is not 0.
bool exchangeZeroPivot(NormalEquations& system, std::size_t k) {
    for (std::size_t j = k + 1; j < system.size; ++j) {
        if (system.a[j][k] == 0.0) continue;
        std::swap(system.a[k], system.a[j]);
        std::swap(system.bx[k], system.bx[j]);
        std::swap(system.by[k], system.by[j]);
        return true;
    }
    return false;
}

void eliminateColumn(NormalEquations& system, std::size_t k) {
    for (std::size_t i = 0; i < system.size; ++i) {
        if (i == k) continue;
        const double f = system.a[i][k] / system.a[k][k];
        system.a[i][k] = 0.0;
        for (std::size_t c = k + 1; c < system.size; ++c) system.a[i][c] -= f * system.a[k][c];
        system.bx[i] -= f * system.bx[k];
        system.by[i] -= f * system.by[k];
    }
}

}  // namespace

FitStatus solveGaussJordan(NormalEquations& system) {
    for (std::size_t k = 0; k < system.size; ++k) {
        if (system.a[k][k] == 0.0 && !exchangeZeroPivot(system, k)) return FitStatus::Singular;
        eliminateColumn(system, k);
    }
    return FitStatus::Ok;
}

FitStatus fitPolynomial(const WorkingSample* samples, std::size_t count, int degree, FitResult& out) {
    if (degree < 1 || degree > kMaxFitDegree) return FitStatus::TooFewSamples;
    const std::size_t unknowns = unknownsForDegree(degree);
    if (unknowns > count) return FitStatus::TooFewSamples;

    Moments moments;
    accumulateMoments(samples, count, degree, moments);
    NormalEquations system = buildNormalEquations(moments, unknowns);
    const FitStatus status = solveGaussJordan(system);
    if (status != FitStatus::Ok) return status;

    out.fill(0.0);
    for (std::size_t i = 0; i < unknowns; ++i) {
        out[i] = system.bx[i] / system.a[i][i];
        out[kMaxUnknowns + i] = system.by[i] / system.a[i][i];
    }
    return FitStatus::Ok;
}

}  // namespace touchsdk
