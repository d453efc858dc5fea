#include "calibration/calibration_record.h"

#include "common/little_endian.h"

namespace touchsdk {

namespace {

CalibrationRange readRange(const uint8_t* p) {
    return {readLeFloat(p), readLeFloat(p + 4), readLeFloat(p + 8), readLeFloat(p + 12)};
}

void writeRange(uint8_t* p, const CalibrationRange& range) {
    writeLeFloat(p, range.xBegin);
    writeLeFloat(p + 4, range.xEnd);
    writeLeFloat(p + 8, range.yBegin);
    writeLeFloat(p + 12, range.yEnd);
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

void decodeTerms(const CalibrationRecord& record, std::size_t terms,
                 std::size_t (*offset)(std::size_t, std::size_t), DecodedCalibration& out) {
    for (std::size_t term = 0; term < terms; ++term) {
        out.x[term] = readLeDouble(&record[offset(0, term)]);
        out.y[term] = readLeDouble(&record[offset(1, term)]);
    }
}

}  // namespace

CalibrationRange ControllerParameters::range() const {
    return readRange(&bytes_[kControllerRangeOffset]);
}

void ControllerParameters::setRange(const CalibrationRange& range) {
    writeRange(&bytes_[kControllerRangeOffset], range);
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

DecodedCalibration decodeCalibrationRecord(const CalibrationRecord& record) {
    DecodedCalibration out;
    out.flags = record[record_layout::kFlags];
    out.range = readRange(&record[record_layout::kRange]);
    const uint8_t kind = out.flags & kModelKindMask;
    if (kind == kLinearKind) {
        decodeTerms(record, kLinearTermsPerAxis, record_layout::linearOffset, out);
    } else if (kind == kPolynomialKind) {
        decodeTerms(record, kTermsPerAxis, record_layout::polynomialOffset, out);
    }
    out.scale = readLeDouble(&record[record_layout::kScale]);
    out.valid = record[record_layout::kValid];
    return out;
}

}  // namespace touchsdk
