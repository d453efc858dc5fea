#include "view_options.h"

#include <getopt.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace tsdview {
namespace {

enum OptionId : int {
    kDevice = 256,
    kBackend,
    kOutput,
    kImageSize,
    kFrameFormat,
    kGeometry,
    kRotate,
    kTimeout,
    kFrames,
    kVersion,
};

constexpr option kOptions[] = {
    {"device", required_argument, nullptr, kDevice},
    {"backend", required_argument, nullptr, kBackend},
    {"output", required_argument, nullptr, kOutput},
    {"image-size", required_argument, nullptr, kImageSize},
    {"frame-format", required_argument, nullptr, kFrameFormat},
    {"geometry", required_argument, nullptr, kGeometry},
    {"rotate", required_argument, nullptr, kRotate},
    {"timeout", required_argument, nullptr, kTimeout},
    {"frames", required_argument, nullptr, kFrames},
    {"help", no_argument, nullptr, 'h'},
    {"version", no_argument, nullptr, kVersion},
    {nullptr, 0, nullptr, 0},
};

std::optional<double> number(const std::string& text, double low, double high) {
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || !std::isfinite(value) || value < low || value > high) {
        return {};
    }
    return value;
}

// One option with its value; an empty result when it is understood.
std::string apply(int id, const std::string& value, ViewOptions& o) {
    switch (id) {
        case kDevice:
            o.device = value;
            return {};
        case kBackend:
            o.display.backend = value;
            return {};
        case kOutput:
            o.display.output = value;
            return {};
        case kFrameFormat:
            o.display.frameFormat = value;
            if (value == "png" || value == "ppm") return {};
            return "--frame-format takes png or ppm, not " + value;
        case kImageSize: {
            const std::optional<tsdcal::Rect> r = tsdcal::parseGeometry(value);
            if (!r || value.find('+') != std::string::npos) return "--image-size takes WxH, not " + value;
            o.display.imageSize = {r->width, r->height};
            return {};
        }
        case kGeometry:
            o.geometry = tsdcal::parseGeometry(value);
            return o.geometry ? "" : "--geometry takes WxH+X+Y, not " + value;
        case kRotate: {
            const std::optional<tsdcal::Rotation> r = tsdcal::parseRotation(value);
            o.rotation = r.value_or(tsdcal::Rotation::k0);
            return r ? "" : "--rotate takes 0, 90, 180 or 270, not " + value;
        }
        case kTimeout:
            o.timeoutSeconds = number(value, 0.001, 86400);
            return o.timeoutSeconds ? "" : "--timeout takes seconds, above 0 and up to 86400, not " + value;
        case kFrames: {
            const std::optional<double> n = number(value, 1, 1e9);
            if (!n || *n != std::floor(*n)) return "--frames takes a whole number from 1, not " + value;
            o.frames = static_cast<long>(*n);
            return {};
        }
        default:
            return "unknown option";
    }
}

}  // namespace

const char* viewUsage() {
    return "usage: tsd-view [--device SYSPATH] [--backend auto|sdl|fb|image] [--output OUTPUT]\n"
           "                [--geometry WxH+X+Y] [--rotate 0|90|180|270]\n"
           "                [--timeout SECONDS] [--frames N]\n"
           "                [--image-size WxH] [--frame-format png|ppm]\n"
           "Shows each touch on the display the screen lies on: rings where the\n"
           "calibration puts them, crosses where the sensor measured them, the\n"
           "last second's trail, the virtual keys and the report rate. Escape ends.\n"
           "Exit status: 0 done, 1 failed (the screen went away), 2 usage,\n"
           "3 no such screen, 4 access denied.\n";
}

bool parseViewOptions(int argc, char** argv, ViewOptions& options, std::string& error) {
    optind = 0;  // a fresh scan, with GNU's permutation
    opterr = 0;
    for (;;) {
        const int id = getopt_long(argc, argv, ":h", kOptions, nullptr);
        if (id == -1) break;
        // getopt has stepped past the option that it complains about.
        const std::string word = argv[std::max(optind - 1, 1)];
        if (id == 'h') {
            options.help = true;
        } else if (id == kVersion) {
            options.version = true;
        } else if (id == ':') {
            error = word + " needs a value";
        } else if (id == '?') {
            error = "unknown option " + word;
        } else {
            error = apply(id, optarg, options);
        }
        if (!error.empty()) return false;
    }
    if (optind < argc) {
        error = std::string("unexpected argument ") + argv[optind];
        return false;
    }
    return true;
}

}  // namespace tsdview
