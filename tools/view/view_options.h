#pragma once

#include <optional>
#include <string>

#include "display.h"
#include "geometry.h"

namespace tsdview {

struct ViewOptions {
    std::string device;  // syspath; empty: the first screen found
    tsdcal::DisplayChoice display;
    std::optional<tsdcal::Rect> geometry;  // empty: the whole display
    tsdcal::Rotation rotation = tsdcal::Rotation::k0;
    std::optional<double> timeoutSeconds;  // without a touch; empty: never
    std::optional<long> frames;            // pictures shown; empty: no limit
    bool help = false;
    bool version = false;
};

// Fills `options`; false with `error` set for anything not understood.
bool parseViewOptions(int argc, char** argv, ViewOptions& options, std::string& error);
const char* viewUsage();

}  // namespace tsdview
