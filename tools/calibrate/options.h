#pragma once

#include <optional>
#include <string>

#include "display.h"
#include "flow.h"

namespace tsdcal {

struct Options {
    std::string device;  // syspath; empty: the first screen found
    DisplayChoice display;
    std::optional<Rect> geometry;  // empty: the whole display
    Rotation rotation = Rotation::k0;
    std::string rotationText = "0";
    int points = 9;
    double thresholdPx = 2.0;
    double timeoutSeconds = 15.0;
    std::string report;
    bool verbose = false;
    bool help = false;
};

// Fills `options`; false with `error` set for anything not understood.
bool parseOptions(int argc, char** argv, Options& options, std::string& error);
const char* usageText();

}  // namespace tsdcal
