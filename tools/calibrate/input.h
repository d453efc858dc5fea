#pragma once

#include <cstdint>
#include <vector>

#include "library_internals.h"
#include "press.h"
#include "touchsdk.h"

namespace tsdcal {

struct InputEvent {
    enum class Kind {
        kTouch,
        kEscape,      // the person asked to stop
        kSignal,      // SIGINT, SIGTERM or SIGHUP
        kScreenGone,  // unplugged
        kTimedOut,
    };
    Kind kind = Kind::kTimedOut;
    TouchSample touch;
};

// Everything the flow waits for, in arrival order.
class Input {
public:
    virtual ~Input() = default;
    virtual int64_t nowMs() const = 0;
    // The next event, or kTimedOut once the steady clock reaches deadlineMs.
    virtual InputEvent next(int64_t deadlineMs) = 0;
};

// The calibration operations of one screen.
class ScreenControl {
public:
    virtual ~ScreenControl() = default;
    virtual touchsdk::CalibrationRange range() const = 0;
    virtual bool preview(const touchsdk::CalibrationRange& caller,
                         const std::vector<CalibrationPoint>& points) = 0;
    virtual bool apply() = 0;
    virtual bool cancel() = 0;
};

}  // namespace tsdcal
