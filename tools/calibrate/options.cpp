#include "options.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

namespace tsdcal {
namespace {

bool parseNumber(const std::string& text, double& out) {
    char* end = nullptr;
    out = std::strtod(text.c_str(), &end);
    return !text.empty() && *end == '\0' && std::isfinite(out);
}

bool parseSize(const std::string& text, Size& out) {
    const std::optional<Rect> r = parseGeometry(text);
    if (!r || text.find('+') != std::string::npos) return false;
    out = {r->width, r->height};
    return true;
}

// One option with its value; false with `error` set when the value is bad.
bool apply(const std::string& name, const std::string& value, Options& o, std::string& error) {
    double number = 0;
    if (name == "--device") {
        o.device = value;
    } else if (name == "--backend") {
        o.display.backend = value;
    } else if (name == "--output") {
        o.display.output = value;
    } else if (name == "--image-size") {
        if (!parseSize(value, o.display.imageSize)) error = "--image-size takes WxH, not " + value;
    } else if (name == "--frame-format") {
        o.display.frameFormat = value;
    } else if (name == "--geometry") {
        o.geometry = parseGeometry(value);
        if (!o.geometry) error = "--geometry takes WxH+X+Y, not " + value;
    } else if (name == "--rotate") {
        const auto r = parseRotation(value);
        if (r) o.rotation = *r, o.rotationText = value;
        else error = "--rotate takes 0, 90, 180 or 270, not " + value;
    } else if (name == "--points") {
        if (!parseNumber(value, number) || !isOfferedGridSize(static_cast<int>(number)) ||
            number != std::floor(number)) {
            error = "--points takes 4, 5, 9, 16 or 25, not " + value;
        } else {
            o.points = static_cast<int>(number);
        }
    } else if (name == "--threshold") {
        if (!parseNumber(value, o.thresholdPx) || o.thresholdPx <= 0) {
            error = "--threshold takes a distance in pixels above 0, not " + value;
        }
    } else if (name == "--timeout") {
        if (!parseNumber(value, o.timeoutSeconds) || o.timeoutSeconds <= 0 || o.timeoutSeconds > 3600) {
            error = "--timeout takes seconds, above 0 and up to 3600, not " + value;
        }
    } else if (name == "--report") {
        o.report = value;
    } else {
        error = "unknown option " + name;
    }
    return error.empty();
}

}  // namespace

const char* usageText() {
    return "usage: tsd-calibrate [--points 4|5|9|16|25] [--device SYSPATH]\n"
           "                     [--backend auto|sdl|fb|image] [--output OUTPUT]\n"
           "                     [--geometry WxH+X+Y] [--rotate 0|90|180|270]\n"
           "                     [--threshold PIXELS] [--timeout SECONDS] [--report FILE]\n"
           "                     [--image-size WxH] [--frame-format png|ppm] [--verbose]\n"
           "Shows targets, fits the screen's calibration from the touches, lets the\n"
           "result be checked and keeps it only when asked to.\n"
           "Exit status: 0 kept, 1 failed, 2 cancelled or timed out.\n";
}

bool parseOptions(int argc, char** argv, Options& options, std::string& error) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            options.help = true;
            continue;
        }
        if (arg == "--verbose" || arg == "-v") {
            options.verbose = true;
            continue;
        }
        std::string name = arg;
        std::string value;
        const std::size_t equals = arg.find('=');
        if (arg.rfind("--", 0) == 0 && equals != std::string::npos) {
            name = arg.substr(0, equals);
            value = arg.substr(equals + 1);
        } else if (i + 1 < argc) {
            value = argv[++i];
        } else {
            error = arg.rfind("--", 0) == 0 ? arg + " needs a value" : "unexpected argument " + arg;
            return false;
        }
        if (!apply(name, value, options, error)) return false;
    }
    return true;
}

}  // namespace tsdcal
