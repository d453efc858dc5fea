#include "calibration_in_force.h"

#include <algorithm>

#include "controller_parameters.h"

namespace tsdemu {

namespace {

constexpr uint8_t kRecordMarker = 1;

// Record term order: 1, y, x, x*y, y^2, x^2, y^3, x*y^2, x^2*y, x^3.
std::array<double, touchsdk::kTermsPerAxis> termsAt(double x, double y) {
    return {1.0, y, x, x * y, y * y, x * x, y * y * y, x * y * y, x * x * y, x * x * x};
}

double evaluate(const std::array<double, touchsdk::kTermsPerAxis>& coefficients,
                const std::array<double, touchsdk::kTermsPerAxis>& terms) {
    double sum = 0.0;
    for (std::size_t j = 0; j < terms.size(); ++j) sum += coefficients[j] * terms[j];
    return sum;
}

}  // namespace

std::optional<touchsdk::CalibrationRecord> recordOfImage(const uint8_t* image) {
    if (image[0] != kRecordMarker) return std::nullopt;
    touchsdk::CalibrationRecord record{};
    std::copy(image + 1, image + 1 + record.size(), record.begin());
    return record;
}

std::optional<touchsdk::DecodedCalibration> calibrationInForce(const uint8_t* activeImage,
                                                               const uint8_t* previewImage,
                                                               bool previewOn) {
    const auto record = recordOfImage(previewOn ? previewImage : activeImage);
    if (!record) return std::nullopt;
    touchsdk::DecodedCalibration decoded = touchsdk::decodeCalibrationRecord(*record);
    if (!previewOn && decoded.valid != 1) return std::nullopt;
    return decoded;
}

SensorPosition applyCalibration(const touchsdk::DecodedCalibration& calibration,
                                const SensorPosition& measured) {
    if (!calibration.hasModel()) return measured;
    const auto terms = termsAt(measured.x, measured.y);
    return {evaluate(calibration.x, terms), evaluate(calibration.y, terms)};
}

std::array<uint8_t, kControllerParametersImageSize> controllerParametersImage(
    const touchsdk::CalibrationRange& range) {
    const touchsdk::ControllerParameters parameters = controllerParametersWithRange(range);
    std::array<uint8_t, kControllerParametersImageSize> image{};
    image[0] = kRecordMarker;
    std::copy(parameters.bytes().begin(), parameters.bytes().end(), image.begin() + 1);
    return image;
}

}  // namespace tsdemu
