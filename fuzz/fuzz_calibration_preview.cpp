// The calibration preview with any caller range, points and count, on an
// emulated screen whose own coordinate range is fuzzed as well. A preview
// that succeeds had at least 3 samples and left on the screen a valid
// record with finite coefficients, and the preview switched on; one that
// fails leaves the screen's preview record and switch as they were.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "calibration/calibration_record.h"
#include "calibration/calibration_record_reading.h"
#include "device/device_handle.h"
#include "fuzz_check.h"
#include "fuzz_screen.h"
#include "screen_model.h"
#include "touchsdk.h"

using namespace touchsdk;

namespace {

constexpr uint8_t kController = 0x80;
constexpr uint16_t kPreviewFirstBlock = 22;
constexpr uint16_t kPreviewBlocks = 6;

class ModelScreen : public tsdfuzz::Screen {
public:
    explicit ModelScreen(tsdemu::ScreenModel& model) : model_(model) {}
    FeatureIo set(const FeatureReport& report) override {
        return model_.setFeature(report.data(), report.size()) < 0 ? FeatureIo::Failed
                                                                   : FeatureIo::Done;
    }
    FeatureIo get(FeatureReport& report) override {
        return model_.getFeature(report.data(), report.size()) < 0 ? FeatureIo::Failed
                                                                   : FeatureIo::Done;
    }

private:
    tsdemu::ScreenModel& model_;
};

// Now a plain value, now an edge: zero, huge, infinite, NaN, any bits.
float anyFloat(FuzzedDataProvider& input) {
    switch (input.ConsumeIntegralInRange<int>(0, 3)) {
        case 0:
            return static_cast<float>(input.ConsumeIntegralInRange<int>(-5000, 5000));
        case 1:
            return input.ConsumeFloatingPointInRange<float>(-1e4f, 1e4f);
        case 2:
            return input.ConsumeFloatingPoint<float>();
        default: {
            const auto bits = input.ConsumeIntegral<uint32_t>();
            float value;
            std::memcpy(&value, &bits, sizeof value);
            return value;
        }
    }
}

CalibrationRange anyRange(FuzzedDataProvider& input) {
    return {anyFloat(input), anyFloat(input), anyFloat(input), anyFloat(input)};
}

void checkStoredPreview(const std::vector<uint8_t>& image) {
    FUZZ_CHECK(image[0] == 1);
    CalibrationRecord record{};
    std::copy_n(image.begin() + 1, record.size(), record.begin());
    const DecodedCalibration decoded = decodeCalibrationRecord(record);
    FUZZ_CHECK(decoded.valid == 1 && decoded.hasModel());
    FUZZ_CHECK(std::isfinite(decoded.scale));
    for (std::size_t term = 0; term < kTermsPerAxis; ++term) {
        FUZZ_CHECK(std::isfinite(decoded.x[term]) && std::isfinite(decoded.y[term]));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    tsdemu::ScreenModel model{tsdemu::ScreenIdentity{}};
    model.setCoordinateRange(anyRange(input));
    const CalibrationRange caller = anyRange(input);
    std::vector<CalibrationPoint> points(input.ConsumeIntegralInRange<std::size_t>(0, 16));
    for (CalibrationPoint& point : points) {
        point = {anyFloat(input), anyFloat(input), anyFloat(input), anyFloat(input)};
    }
    const auto count = static_cast<uint32_t>(points.size());

    ModelScreen screen(model);
    tsdfuzz::useScreen(&screen);
    DeviceHandleRecord record;
    const std::vector<uint8_t> before =
        model.blockBytes(kController, kPreviewFirstBlock, kPreviewBlocks);
    const TsdResult result =
        TsdCalibrationFullScreenPreview(handleOf(&record), caller.xBegin, caller.xEnd,
                                        caller.yBegin, caller.yEnd, points.data(), count);
    tsdfuzz::useScreen(nullptr);

    const std::vector<uint8_t> after =
        model.blockBytes(kController, kPreviewFirstBlock, kPreviewBlocks);
    if (result == TSD_OK) {
        FUZZ_CHECK(count >= 3);
        checkStoredPreview(after);
        FUZZ_CHECK(model.previewSwitch() == 1);
    } else {
        FUZZ_CHECK(after == before && model.previewSwitch() == 0);
    }
    return 0;
}
