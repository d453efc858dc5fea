#include "calibration_record_reading.h"

#include "common/little_endian.h"

namespace tsdemu {
namespace {

namespace layout = touchsdk::record_layout;

touchsdk::CalibrationRange readRange(const uint8_t* p) {
    using touchsdk::readLeFloat;
    return {readLeFloat(p), readLeFloat(p + 4), readLeFloat(p + 8), readLeFloat(p + 12)};
}

void decodeTerms(const touchsdk::CalibrationRecord& record, std::size_t terms,
                 std::size_t (*offset)(std::size_t, std::size_t), DecodedCalibration& out) {
    for (std::size_t term = 0; term < terms; ++term) {
        out.x[term] = touchsdk::readLeDouble(&record[offset(0, term)]);
        out.y[term] = touchsdk::readLeDouble(&record[offset(1, term)]);
    }
}

}  // namespace

DecodedCalibration decodeCalibrationRecord(const touchsdk::CalibrationRecord& record) {
    DecodedCalibration out;
    out.flags = record[layout::kFlags];
    out.range = readRange(&record[layout::kRange]);
    const uint8_t kind = out.flags & touchsdk::kModelKindMask;
    if (kind == touchsdk::kLinearKind) {
        decodeTerms(record, touchsdk::kLinearTermsPerAxis, layout::linearOffset, out);
    } else if (kind == touchsdk::kPolynomialKind) {
        decodeTerms(record, touchsdk::kTermsPerAxis, layout::polynomialOffset, out);
    }
    out.scale = touchsdk::readLeDouble(&record[layout::kScale]);
    out.valid = record[layout::kValid];
    return out;
}

touchsdk::ControllerParameters controllerParametersWithRange(
    const touchsdk::CalibrationRange& range) {
    touchsdk::ControllerParameters::Bytes bytes{};
    uint8_t* p = &bytes[touchsdk::kControllerRangeOffset];
    touchsdk::writeLeFloat(p, range.xBegin);
    touchsdk::writeLeFloat(p + 4, range.xEnd);
    touchsdk::writeLeFloat(p + 8, range.yBegin);
    touchsdk::writeLeFloat(p + 12, range.yEnd);
    return touchsdk::ControllerParameters(bytes);
}

}  // namespace tsdemu
