#include "calibration/calibration_model.h"

#include <cmath>

namespace touchsdk {

namespace {

// Fit index of each model coefficient in record term order: x*y and y^2
// trade places, on both axes.
constexpr std::array<std::size_t, kModelCoefficientCount> kPolynomialSource = {
    0, 1, 2, 4, 3, 5, 6, 7, 8, 9, 10, 11, 12, 14, 13, 15, 16, 17, 18, 19};
// A linear model: 1, y, x and an x*y slot left 0 (marked by the fit index
// of a term that a linear fit leaves 0) per axis.
constexpr std::size_t kZeroTerm = 3;
constexpr std::array<std::size_t, 2 * kLinearTermsPerAxis> kLinearSource = {
    0, 1, 2, kZeroTerm, 10, 11, 12, kZeroTerm + kMaxUnknowns};

float scaleOf(const FitResult& fit) {
    // The rounded coefficients, in single precision up to the two roots.
    const float xy = static_cast<float>(fit[1]);
    const float xx = static_cast<float>(fit[2]);
    const float yy = static_cast<float>(fit[11]);
    const float yx = static_cast<float>(fit[12]);
    const float product = (xy * xy + xx * xx) * (yy * yy + yx * yx);
    return static_cast<float>(std::sqrt(std::sqrt(static_cast<double>(product))));
}

template <std::size_t N>
void copyRounded(const FitResult& fit, const std::array<std::size_t, N>& source,
                 CalibrationModel& model) {
    for (std::size_t k = 0; k < N; ++k) model.coefficients[k] = static_cast<float>(fit[source[k]]);
}

}  // namespace

FitStatus buildCalibrationModel(const WorkingSample* samples, std::size_t count,
                              CalibrationModel& model) {
    FitResult fit{};
    int degree = kMaxFitDegree;
    FitStatus status = fitPolynomial(samples, count, degree, fit);
    while (status == FitStatus::TooFewSamples && --degree > 0) {
        status = fitPolynomial(samples, count, degree, fit);
    }
    if (status != FitStatus::Ok) return status;

    model = CalibrationModel{};
    if (degree == 1) {
        copyRounded(fit, kLinearSource, model);
        model.flags = kLinearFlags;
    } else {
        copyRounded(fit, kPolynomialSource, model);
        model.flags = kPolynomialFlags;
    }
    model.scale = scaleOf(fit);
    return FitStatus::Ok;
}

bool isFiniteModel(const CalibrationModel& model) {
    for (const float c : model.coefficients) {
        if (!std::isfinite(c)) return false;
    }
    return std::isfinite(model.scale);
}

}  // namespace touchsdk
