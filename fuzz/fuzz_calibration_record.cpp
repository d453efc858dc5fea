// The calibration record: any stored record decodes without harm, and any
// model the host may compute survives encode and decode bit for bit.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "calibration/calibration_record.h"
#include "calibration/calibration_record_reading.h"
#include "fuzz_check.h"

using namespace touchsdk;

namespace {

bool sameValue(double decoded, float stored) {
    if (std::isnan(stored)) return std::isnan(decoded);
    return decoded == static_cast<double>(stored);
}

CalibrationModel modelFrom(const uint8_t* data, std::size_t size) {
    uint8_t bytes[1 + sizeof(float) * (kModelCoefficientCount + 1)] = {};
    std::memcpy(bytes, data, std::min(size, sizeof bytes));
    CalibrationModel model;
    // Mostly the two kinds the host writes; now and then any flags byte.
    const uint8_t choice = bytes[0];
    model.flags = choice < 96 ? kLinearFlags : choice < 192 ? kPolynomialFlags : choice;
    std::memcpy(model.coefficients.data(), bytes + 1, sizeof(float) * kModelCoefficientCount);
    std::memcpy(&model.scale, bytes + 1 + sizeof(float) * kModelCoefficientCount, sizeof(float));
    return model;
}

void checkRoundTrip(const CalibrationModel& model) {
    const CalibrationRecord record = encodeCalibrationRecord(model, 1);
    const DecodedCalibration decoded = decodeCalibrationRecord(record);
    FUZZ_CHECK(decoded.flags == model.flags && decoded.valid == 1);
    FUZZ_CHECK(sameValue(decoded.scale, model.scale));
    if (!decoded.hasModel()) return;
    const bool linear = (model.flags & kModelKindMask) == kLinearKind;
    const std::size_t terms = linear ? kLinearTermsPerAxis : kTermsPerAxis;
    for (std::size_t term = 0; term < kTermsPerAxis; ++term) {
        if (term >= terms) {
            FUZZ_CHECK(decoded.x[term] == 0.0 && decoded.y[term] == 0.0);
            continue;
        }
        FUZZ_CHECK(sameValue(decoded.x[term], model.coefficients[term]));
        FUZZ_CHECK(sameValue(decoded.y[term], model.coefficients[terms + term]));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    CalibrationRecord stored{};
    std::memcpy(stored.data(), data, std::min(size, stored.size()));
    const DecodedCalibration decoded = decodeCalibrationRecord(stored);
    FUZZ_CHECK(decoded.valid == stored[record_layout::kValid]);
    checkRoundTrip(modelFrom(data, size));
    return 0;
}
