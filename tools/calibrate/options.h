#pragma once

#include <optional>
#include <string>

#include "display.h"
#include "flow.h"
#include "screens.h"

namespace tsdcal {

struct Options {
    tsdtool::ScreenSelection screen;  // neither: the only screen attached
    DisplayChoice display;
    std::optional<Rect> geometry;  // empty: the whole display
    Rotation rotation = Rotation::k0;
    std::string rotationText = "0";
    int points = 9;
    double thresholdPx = 2.0;
    double timeoutSeconds = 15.0;
    double doubleTapMs = 500.0;
    std::string report;
    bool verbose = false;
};

// The options of the command line; ends with a usage failure for anything
// not understood. Nullopt when --help or --version was answered.
std::optional<Options> parseOptions(int argc, char** argv);

}  // namespace tsdcal
