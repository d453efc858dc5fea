// tsd-calibrate: the on-screen calibration program. See tsd-calibrate(1).
#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdio>

#include "command_line.h"
#include "display.h"
#include "event_log.h"
#include "exit_status.h"
#include "flow.h"
#include "library_screen.h"
#include "options.h"
#include "report.h"
#include "second_correction.h"
#include "stop_signals.h"

namespace {

using tsdtool::Exit;

int fail(const std::string& message) {
    std::fprintf(stderr, "tsd-calibrate: %s\n", message.c_str());
    return tsdtool::code(Exit::Failed);
}

// A stable press holds still within half a percent of the panel: a finger's
// tremor, not a slide.
tsdcal::PressRules pressRules(const touchsdk::CalibrationRange& r) {
    tsdcal::PressRules rules;
    rules.maxSpread = 0.005 * std::max(std::abs(r.xEnd - r.xBegin), std::abs(r.yEnd - r.yBegin));
    return rules;
}

// The screen cannot be asked whether a preview is on, and a calibrator
// killed outright (SIGKILL, a power cut of the host) leaves its preview
// behind; cancelling one that is not there changes nothing.
void clearLeftoverPreview(tsdcal::LibraryScreen& screen, const tsdcal::EventLog& log) {
    const bool cleared = screen.cancel();
    std::fprintf(stderr, "tsd-calibrate: %s\n",
                 cleared ? "cancelled any calibration preview left on the screen"
                         : "warning: could not cancel a preview left on the screen");
    log.emit("preview", tsdcal::EventLog::text("state", cleared ? "cleared" : "clear-failed"));
}

constexpr const char* kOutcomeNames[] = {"kept", "failed", "cancelled", "timed-out"};
constexpr Exit kOutcomeStatus[] = {Exit::Ok, Exit::Failed, Exit::Cancelled, Exit::TimedOut};

int run(const tsdcal::Options& options) {
    const tsdtool::StopSignals signals;
    const tsdtool::Screen chosen = tsdtool::chooseScreen(options.screen);
    std::string error;
    const std::unique_ptr<tsdcal::LibraryScreen> screen =
        tsdcal::LibraryScreen::open(chosen, error);
    if (!screen) return fail(error);
    const std::unique_ptr<tsdcal::Display> display = tsdcal::openDisplay(options.display, error);
    if (!display) return fail(error);
    const tsdcal::Size size = display->size();
    const tsdcal::Rect area =
        options.geometry.value_or(tsdcal::Rect{0, 0, size.width, size.height});
    if (!tsdcal::insideDisplay(area, size)) {
        return fail("the geometry " + std::to_string(area.width) + "x" +
                    std::to_string(area.height) + "+" + std::to_string(area.x) + "+" +
                    std::to_string(area.y) + " does not lie inside the display (" +
                    std::to_string(size.width) + "x" + std::to_string(size.height) + ")");
    }
    for (const std::string& warning : tsdcal::secondCorrections(screen->syspath())) {
        std::fprintf(stderr, "tsd-calibrate: warning: %s\n", warning.c_str());
    }

    const tsdcal::View view(area, options.rotation);
    tsdcal::FlowSettings settings;
    settings.points = options.points;
    settings.thresholdPx = options.thresholdPx;
    settings.timeoutMs = static_cast<int64_t>(options.timeoutSeconds * 1000.0);
    settings.doubleTapMs = static_cast<int64_t>(options.doubleTapMs);
    settings.rules = pressRules(screen->range());
    const tsdcal::EventLog log(options.verbose);
    const touchsdk::CalibrationRange& r = screen->range();
    log.emit("screen",
             tsdcal::EventLog::text("syspath", screen->syspath()) + "," +
                 tsdcal::EventLog::numbers("range", {r.xBegin, r.xEnd, r.yBegin, r.yEnd}) + "," +
                 tsdcal::EventLog::numbers("area", {double(area.x), double(area.y),
                                                    double(area.width), double(area.height)}) +
                 "," + tsdcal::EventLog::text("rotate", options.rotationText));
    clearLeftoverPreview(*screen, log);

    tsdcal::EventLoop loop(*screen, *display, signals);
    tsdcal::CalibrationFlow flow(*display, loop, *screen, view, settings, log);
    const tsdcal::Outcome outcome = flow.run();
    const auto which = static_cast<std::size_t>(outcome);
    if (!options.report.empty() && !flow.lastRun().targets.empty()) {
        const tsdcal::ReportContext context{screen->syspath(), screen->range(), view,
                                            options.rotationText, kOutcomeNames[which]};
        if (!tsdcal::writeReport(options.report, flow.lastRun(), context, flow.callerRange(),
                                 error)) {
            std::fprintf(stderr, "tsd-calibrate: %s\n", error.c_str());
        }
    }
    if (outcome == tsdcal::Outcome::kKept) {
        std::fprintf(stderr, "tsd-calibrate: calibration kept\n");
    } else {
        std::fprintf(stderr, "tsd-calibrate: %s; the screen is back on the calibration it had\n",
                     flow.reason().c_str());
    }
    return tsdtool::code(kOutcomeStatus[which]);
}

int calibrateMain(int argc, char** argv) {
    const std::optional<tsdcal::Options> options = tsdcal::parseOptions(argc, argv);
    if (!options) return 0;
    // A closed pipe on stdout must not kill the program with the preview on.
    std::signal(SIGPIPE, SIG_IGN);
    return run(*options);
}

}  // namespace

int main(int argc, char** argv) {
    return tsdtool::runTool("tsd-calibrate", calibrateMain, argc, argv);
}
