#include "calibration/calibration_record.h"

#include "common/little_endian.h"

namespace touchsdk {

namespace {

CalibrationRange readRange(const uint8_t* p) {
    return {readLeFloat(p), readLeFloat(p + 4), readLeFloat(p + 8), readLeFloat(p + 12)};
}

void encodeLinear(const CalibrationModel& model, CalibrationRecord& record) {
    for (std::size_t axis = 0; axis < 2; ++axis) {
        for (std::size_t term = 0; term < kLinearTermsPerAxis; ++term) {
            const float value = model.coefficients[axis * kLinearTermsPerAxis + term];
            writeLeDouble(&record[record_layout::linearOffset(axis, term)], value);
        }
    }
}

void encodePolynomial(const CalibrationModel& model, CalibrationRecord& record) {
    for (std::size_t k = 0; k < kModelCoefficientCount; ++k) {
        writeLeDouble(&record[record_layout::coefficientOffset(k)], model.coefficients[k]);
    }
}

}  // namespace

CalibrationRange ControllerParameters::range() const {
    return readRange(&bytes_[kControllerRangeOffset]);
}

CalibrationRecord encodeCalibrationRecord(const CalibrationModel& model, uint8_t valid) {
    CalibrationRecord record{};
    record[record_layout::kFlags] = model.flags;
    const uint8_t kind = model.flags & kModelKindMask;
    if (kind == kLinearKind) encodeLinear(model, record);
    if (kind == kPolynomialKind) encodePolynomial(model, record);
    writeLeDouble(&record[record_layout::kScale], model.scale);
    record[record_layout::kValid] = valid;
    return record;
}

CalibrationRecord resetCalibrationRecord() {
    CalibrationRecord record{};
    record[record_layout::kValid] = 0;
    return record;
}

}  // namespace touchsdk
