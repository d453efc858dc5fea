#include "calibration/calibration_record_reading.h"

#include "common/little_endian.h"

namespace touchsdk {
namespace {

namespace layout = record_layout;

CalibrationRange readRange(const uint8_t* p) {
    return {readLeFloat(p), readLeFloat(p + 4), readLeFloat(p + 8), readLeFloat(p + 12)};
}

void decodeTerms(const CalibrationRecord& record, std::size_t terms,
                 std::size_t (*offset)(std::size_t, std::size_t), DecodedCalibration& out) {
    for (std::size_t term = 0; term < terms; ++term) {
        out.x[term] = readLeDouble(&record[offset(0, term)]);
        out.y[term] = readLeDouble(&record[offset(1, term)]);
    }
}

}  // namespace

DecodedCalibration decodeCalibrationRecord(const CalibrationRecord& record) {
    DecodedCalibration out;
    out.flags = record[layout::kFlags];
    out.range = readRange(&record[layout::kRange]);
    const uint8_t kind = out.flags & kModelKindMask;
    if (kind == kLinearKind) {
        decodeTerms(record, kLinearTermsPerAxis, layout::linearOffset, out);
    } else if (kind == kPolynomialKind) {
        decodeTerms(record, kTermsPerAxis, layout::polynomialOffset, out);
    }
    out.scale = readLeDouble(&record[layout::kScale]);
    out.valid = record[layout::kValid];
    return out;
}

}  // namespace touchsdk
