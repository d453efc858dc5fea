#include "calibration_sensor.h"

#include <limits>

#include "calibration_in_force.h"

namespace tsdemu {

namespace {

uint16_t reportCoordinate(double value, float begin, float end) {
    const double clamped = clampToRange(value, begin, end);
    const double limit = std::numeric_limits<uint16_t>::max();
    if (!(clamped >= 0.0)) return 0;  // also NaN from a record gone wrong
    return static_cast<uint16_t>(clamped > limit ? limit : clamped);
}

Contact placed(Contact contact, const SensorPosition& at, const touchsdk::CalibrationRange& range) {
    contact.x = reportCoordinate(at.x, range.xBegin, range.xEnd);
    contact.y = reportCoordinate(at.y, range.yBegin, range.yEnd);
    return contact;
}

}  // namespace

SensorReports CalibratedSensor::reportsAt(double trueX, double trueY, const Contact& contact,
                                          const StoredCalibration& stored,
                                          uint16_t scanTime) const {
    const SensorPosition measured = Sensor(range_, warp_).measure(trueX, trueY);
    SensorPosition calibrated = measured;
    const auto inForce =
        calibrationInForce(stored.activeImage, stored.previewImage, stored.previewOn);
    if (inForce) calibrated = applyCalibration(*inForce, measured);
    return {touchReport({placed(contact, calibrated, range_)}, scanTime),
            rawTouchReport({placed(contact, measured, range_)}, scanTime)};
}

}  // namespace tsdemu
