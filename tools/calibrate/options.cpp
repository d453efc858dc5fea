#include "options.h"

#include "command_line.h"
#include "exit_status.h"
#include "values.h"

namespace tsdcal {
namespace {

using tsdtool::usageError;

constexpr const char* kUsage =
    "usage: tsd-calibrate [--points 4|5|9|16|25] [--device SCREEN | --serial TEXT]\n"
    "                     [--backend auto|sdl|fb|image] [--output OUTPUT]\n"
    "                     [--geometry WxH+X+Y] [--rotate 0|90|180|270]\n"
    "                     [--threshold PIXELS] [--timeout SECONDS] [--double-tap MS]\n"
    "                     [--report FILE]\n"
    "                     [--image-size WxH] [--frame-format png|ppm] [--verbose]\n"
    "Shows targets, fits the screen's calibration from the touches, lets the\n"
    "result be checked and keeps it only when asked to. SCREEN is an index from\n"
    "'tsdctl list', a /dev/hidrawN or a sysfs path. Escape, or a corner of the\n"
    "screen held for 3 seconds, cancels.\n"
    "\nexit status: 0 kept, 1 failed, 2 usage, 3 no such screen, 4 access denied,\n"
    "5 cancelled, 6 timed out\n";

const std::vector<tsdtool::OptionSpec> kOptions = {
    {"device", 'd', true},  {"serial", 0, true},     {"backend", 0, true},
    {"output", 'o', true},  {"image-size", 0, true}, {"frame-format", 0, true},
    {"geometry", 0, true},  {"rotate", 0, true},     {"points", 'p', true},
    {"threshold", 0, true}, {"timeout", 0, true},    {"double-tap", 0, true},
    {"report", 0, true},    {"verbose", 'v', false},
};

Rect rectOf(const tsdtool::Geometry& g) { return {g.x, g.y, g.width, g.height}; }

void takeDisplay(const tsdtool::Options& given, DisplayChoice& display) {
    display.backend = given.value("backend").value_or(display.backend);
    display.output = given.value("output").value_or(display.output);
    display.frameFormat = given.value("frame-format").value_or(display.frameFormat);
    if (const auto size = given.value("image-size")) {
        const auto g = tsdtool::parseGeometry(*size, false);
        if (!g) usageError("--image-size takes WxH, not " + *size);
        display.imageSize = {g->width, g->height};
    }
}

void takeGeometry(const tsdtool::Options& given, Options& o) {
    if (const auto text = given.value("geometry")) {
        const auto g = tsdtool::parseGeometry(*text, true);
        if (!g) usageError("--geometry takes WxH+X+Y, not " + *text);
        o.geometry = rectOf(*g);
    }
    if (const auto text = given.value("rotate")) {
        const auto r = parseRotation(*text);
        if (!r) usageError("--rotate takes 0, 90, 180 or 270, not " + *text);
        o.rotation = *r;
        o.rotationText = *text;
    }
}

void takeNumbers(const tsdtool::Options& given, Options& o) {
    if (const auto text = given.value("points")) {
        const auto n = tsdtool::parseUnsigned(*text, 100);
        if (!n || !isOfferedGridSize(static_cast<int>(*n))) {
            usageError("--points takes 4, 5, 9, 16 or 25, not " + *text);
        }
        o.points = static_cast<int>(*n);
    }
    if (const auto text = given.value("threshold")) {
        o.thresholdPx = tsdtool::numberOption("--threshold", *text, 0.01, 10000);
    }
    if (const auto text = given.value("timeout")) {
        o.timeoutSeconds = tsdtool::numberOption("--timeout", *text, 0.1, 3600);
    }
    if (const auto text = given.value("double-tap")) {
        o.doubleTapMs = tsdtool::numberOption("--double-tap", *text, 0, 10000);
    }
}

}  // namespace

std::optional<Options> parseOptions(int argc, char** argv) {
    const tsdtool::Options given = tsdtool::parseOptions(argc, argv, kOptions);
    if (tsdtool::answerHelpOrVersion(given, "tsd-calibrate", kUsage)) return std::nullopt;
    if (!given.words().empty()) usageError("unexpected \"" + given.words().front() + "\"");
    Options o;
    o.screen.word = given.value("device");
    o.screen.serial = given.value("serial");
    if (o.screen.word && !tsdtool::looksLikeScreen(*o.screen.word)) {
        usageError("--device takes an index, a /dev/hidrawN or a sysfs path, not " +
                   *o.screen.word);
    }
    takeDisplay(given, o.display);
    takeGeometry(given, o);
    takeNumbers(given, o);
    o.report = given.value("report").value_or("");
    o.verbose = given.has("verbose");
    return o;
}

}  // namespace tsdcal
