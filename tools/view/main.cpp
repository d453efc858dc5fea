// tsd-view: a live picture of the touches on the display the screen lies
// on. See tsd-view(1).
#include <csignal>
#include <cstdio>

#include "command_line.h"
#include "display.h"
#include "exit_status.h"
#include "library_screen.h"
#include "stop_signals.h"
#include "view_options.h"
#include "viewer.h"

namespace {

using tsdtool::Exit;
using tsdtool::Failure;

std::string geometryText(const tsdcal::Rect& r) {
    return std::to_string(r.width) + "x" + std::to_string(r.height) + "+" + std::to_string(r.x) +
           "+" + std::to_string(r.y);
}

tsdcal::Rect drawnArea(const tsdview::ViewOptions& options, const tsdcal::Size& size) {
    const tsdcal::Rect area =
        options.geometry.value_or(tsdcal::Rect{0, 0, size.width, size.height});
    if (!tsdcal::insideDisplay(area, size)) {
        tsdtool::usageError("the geometry " + geometryText(area) +
                            " does not lie inside the display (" + std::to_string(size.width) +
                            "x" + std::to_string(size.height) + ")");
    }
    return area;
}

tsdview::ViewLimits limitsOf(const tsdview::ViewOptions& options) {
    tsdview::ViewLimits limits;
    if (options.timeoutSeconds) {
        limits.idleMs = static_cast<int64_t>(*options.timeoutSeconds * 1000.0);
    }
    limits.frames = options.frames;
    return limits;
}

int view(int argc, char** argv) {
    const tsdtool::Options given = tsdtool::parseOptions(argc, argv, tsdview::viewOptionEntries());
    if (tsdtool::answerHelpOrVersion(given, "tsd-view", tsdview::viewUsage())) {
        return code(Exit::Ok);
    }
    tsdview::ViewOptions options = tsdview::viewOptions(given);
    // A closed pipe on stderr must not end the program without its message.
    std::signal(SIGPIPE, SIG_IGN);
    tsdtool::StopSignals signals;
    const tsdtool::Screen chosen = tsdtool::chooseScreen(options.screen);
    std::string error;
    const std::unique_ptr<tsdcal::LibraryScreen> screen =
        tsdcal::LibraryScreen::open(chosen, error);
    if (!screen) throw Failure(Exit::Failed, error);
    if (!screen->listenToKeys()) throw Failure(Exit::Failed, "cannot receive the virtual keys");
    options.display.title = "tsd-view";
    const std::unique_ptr<tsdcal::Display> display = tsdcal::openDisplay(options.display, error);
    if (!display) throw Failure(Exit::Failed, error);
    const tsdcal::View view(drawnArea(options, display->size()), options.rotation);
    tsdview::Viewer viewer(*screen, *display, signals, view,
                           {chosen.serial.value_or(""), screen->range()}, limitsOf(options));
    const tsdview::Ending ending = viewer.run();
    if (ending.failed) throw Failure(Exit::Failed, ending.message);
    if (!ending.message.empty()) std::fprintf(stderr, "tsd-view: %s\n", ending.message.c_str());
    return code(Exit::Ok);
}

}  // namespace

int main(int argc, char** argv) { return tsdtool::runTool("tsd-view", view, argc, argv); }
