#pragma once

#include <cstdint>
#include <vector>

#include "calibration/calibration_record.h"
#include "input_reports.h"
#include "sensor.h"

namespace tsdemu {

// A 12-bit panel unless a test says otherwise.
constexpr touchsdk::CalibrationRange kDefaultCoordinateRange{0.0f, 4095.0f, 0.0f, 4095.0f};

// Where the controller module keeps what calibration needs.
namespace calibration_blocks {
constexpr uint16_t kControllerParameters = 1;
constexpr uint16_t kControllerParametersCount = 5;
constexpr uint16_t kActive = 6;
constexpr uint16_t kPreview = 22;
constexpr uint16_t kSlotCount = 6;
}  // namespace calibration_blocks

// What a contact at one true position yields: the touch report in
// calibrated coordinates and the raw-touch report as measured.
struct SensorReports {
    std::vector<uint8_t> touch;
    std::vector<uint8_t> raw;
};

// The slot images and switch that decide which calibration a report gets.
struct StoredCalibration {
    const uint8_t* activeImage;
    const uint8_t* previewImage;
    bool previewOn;
};

// The sensor and the calibration stage of a screen: a contact at a true
// position is measured (with the sensor's warp), reported raw in 0x34 and,
// through the calibration in force, in 0x36.
class CalibratedSensor {
public:
    const touchsdk::CalibrationRange& range() const { return range_; }
    void setRange(const touchsdk::CalibrationRange& range) { range_ = range; }
    void setWarp(const SensorWarp& warp) { warp_ = warp; }

    SensorReports reportsAt(double trueX, double trueY, const Contact& contact,
                            const StoredCalibration& stored, uint16_t scanTime) const;

private:
    touchsdk::CalibrationRange range_ = kDefaultCoordinateRange;
    SensorWarp warp_;
};

}  // namespace tsdemu
