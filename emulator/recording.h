#pragma once

#include <istream>
#include <optional>
#include <string>

#include "screen_set.h"
#include "touch_script.h"

// A recording of a real screen (written by `tsdctl record`): its identity,
// its report descriptor, its coordinate range and its input reports with
// their timing. Text, line by line:
//
//   tsd-record 1
//   # comments anywhere
//   vendor E2C4
//   product 0001
//   serial TEXT              (optional: the rest of the line)
//   descriptor 05 0d ...     (hex, spaces optional)
//   range X0 X1 Y0 Y1        (optional)
//   report MICROSECONDS HEX  (one per input report, time since the first)
namespace tsdemu {

struct Recording {
    ScreenSetup setup;
    TouchScript reports;
};

// The recording, or nullopt with `error` naming the line at fault.
std::optional<Recording> readRecording(std::istream& in, std::string& error);

}  // namespace tsdemu
