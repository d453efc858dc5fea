#pragma once

#include <optional>
#include <string>

#include "command_line.h"
#include "display.h"
#include "geometry.h"
#include "screens.h"

namespace tsdview {

struct ViewOptions {
    tsdtool::ScreenSelection screen;  // neither: the only screen attached
    tsdcal::DisplayChoice display;
    std::optional<tsdcal::Rect> geometry;  // empty: the whole display
    tsdcal::Rotation rotation = tsdcal::Rotation::k0;
    std::optional<double> timeoutSeconds;  // without a touch; empty: never
    std::optional<long> frames;            // pictures shown; empty: no limit
};

// The options after --help and --version were answered; ends with a usage
// failure for anything not understood.
ViewOptions viewOptions(const tsdtool::Options& given);
std::vector<tsdtool::OptionEntry> viewOptionEntries();
const char* viewUsage();

}  // namespace tsdview
