#include "controller_parameters.h"

#include "common/little_endian.h"

namespace tsdemu {

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
