#pragma once

#include <string>
#include <vector>

namespace tsdcal {

// Corrections that the display stack would apply on top of the screen's
// own calibration, one line each for the person: a LIBINPUT_CALIBRATION_MATRIX
// that udev sets on the screen's input device, or an X coordinate
// transformation matrix other than the identity on it.
std::vector<std::string> secondCorrections(const std::string& hidrawSyspath);

}  // namespace tsdcal
