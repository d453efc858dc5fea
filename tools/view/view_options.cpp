#include "view_options.h"

#include "exit_status.h"
#include "values.h"

namespace tsdview {
namespace {

tsdcal::Rect rectOf(const tsdtool::Geometry& g) { return {g.x, g.y, g.width, g.height}; }

tsdcal::Rect geometryOption(const char* option, const std::string& text, bool offset) {
    const std::optional<tsdtool::Geometry> g = tsdtool::parseGeometry(text, offset);
    if (!g) {
        tsdtool::usageError(std::string(option) + " takes " + (offset ? "WxH+X+Y" : "WxH") +
                            ", not \"" + text + "\"");
    }
    return rectOf(*g);
}

std::string oneOf(const char* option, const std::string& text,
                  std::initializer_list<const char*> offered, const char* listed) {
    for (const char* choice : offered) {
        if (text == choice) return text;
    }
    tsdtool::usageError(std::string(option) + " takes " + listed + ", not \"" + text + "\"");
}

}  // namespace

std::vector<tsdtool::OptionEntry> viewOptionEntries() {
    return {{"device", 0, true},   {"serial", 0, true},     {"backend", 0, true},
            {"output", 0, true},   {"image-size", 0, true}, {"frame-format", 0, true},
            {"geometry", 0, true}, {"rotate", 0, true},     {"timeout", 0, true},
            {"frames", 0, true},   {"help", 'h', false},    {"version", 0, false}};
}

const char* viewUsage() {
    return "usage: tsd-view [SCREEN] [--serial TEXT] [--backend auto|sdl|fb|image]\n"
           "                [--output OUTPUT] [--geometry WxH+X+Y] [--rotate 0|90|180|270]\n"
           "                [--timeout SECONDS] [--frames N]\n"
           "                [--image-size WxH] [--frame-format png|ppm]\n"
           "Shows each touch on the display the screen lies on: rings where the\n"
           "calibration puts them, crosses where the sensor measured them, the\n"
           "last second's trail, the virtual keys and the report rate. Escape ends.\n"
           "SCREEN is an index from tsdctl list, a /dev/hidrawN or a sysfs path.\n"
           "Exit status: 0 done, 1 failed (the screen went away), 2 usage,\n"
           "3 no such screen, 4 access denied.\n";
}

ViewOptions viewOptions(const tsdtool::Options& given) {
    ViewOptions o;
    const std::vector<std::string>& words = given.words();
    if (words.size() > 1 || (!words.empty() && given.has("device"))) {
        tsdtool::usageError("name one screen");
    }
    if (!words.empty()) o.screen.word = words.front();
    if (auto v = given.value("device")) o.screen.word = *v;
    if (auto v = given.value("serial")) o.screen.serial = *v;
    if (auto v = given.value("backend")) {
        o.display.backend =
            oneOf("--backend", *v, {"auto", "sdl", "fb", "image"}, "auto, sdl, fb or image");
    }
    if (auto v = given.value("output")) o.display.output = *v;
    if (auto v = given.value("image-size")) {
        const tsdcal::Rect r = geometryOption("--image-size", *v, false);
        o.display.imageSize = {r.width, r.height};
    }
    if (auto v = given.value("frame-format")) {
        o.display.frameFormat = oneOf("--frame-format", *v, {"png", "ppm"}, "png or ppm");
    }
    if (auto v = given.value("geometry")) o.geometry = geometryOption("--geometry", *v, true);
    if (auto v = given.value("rotate")) {
        o.rotation = *tsdcal::parseRotation(
            oneOf("--rotate", *v, {"0", "90", "180", "270"}, "0, 90, 180 or 270"));
    }
    if (auto v = given.value("timeout")) {
        o.timeoutSeconds = tsdtool::numberOption("--timeout", *v, 0.001, 86400);
    }
    if (auto v = given.value("frames")) {
        o.frames = static_cast<long>(tsdtool::unsignedOption("--frames", *v, 1, 1000000000));
    }
    return o;
}

}  // namespace tsdview
