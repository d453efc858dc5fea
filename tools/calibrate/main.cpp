// tsd-calibrate: the on-screen calibration program. See tsd-calibrate(1).
#include <algorithm>
#include <csignal>
#include <cstdio>

#include "display.h"
#include "event_log.h"
#include "flow.h"
#include "library_screen.h"
#include "options.h"
#include "report.h"
#include "second_correction.h"
#include "signals.h"

namespace {

constexpr int kExitKept = 0;
constexpr int kExitFailed = 1;
constexpr int kExitCancelled = 2;

int fail(const std::string& message) {
    std::fprintf(stderr, "tsd-calibrate: %s\n", message.c_str());
    return kExitFailed;
}

// A stable press holds still within half a percent of the panel: a finger's
// tremor, not a slide.
tsdcal::PressRules pressRules(const touchsdk::CalibrationRange& r) {
    tsdcal::PressRules rules;
    rules.maxSpread = 0.005 * std::max(std::abs(r.xEnd - r.xBegin), std::abs(r.yEnd - r.yBegin));
    return rules;
}

int run(const tsdcal::Options& options) {
    tsdcal::SignalPipe signals;
    if (!signals.ok()) return fail("cannot watch for signals");
    std::string error;
    const std::unique_ptr<tsdcal::LibraryScreen> screen =
        tsdcal::LibraryScreen::open(options.device, error);
    if (!screen) return fail(error);
    const std::unique_ptr<tsdcal::Display> display = tsdcal::openDisplay(options.display, error);
    if (!display) return fail(error);
    const tsdcal::Size size = display->size();
    const tsdcal::Rect area = options.geometry.value_or(tsdcal::Rect{0, 0, size.width, size.height});
    if (!tsdcal::insideDisplay(area, size)) {
        return fail("the geometry " + std::to_string(area.width) + "x" + std::to_string(area.height) +
                    "+" + std::to_string(area.x) + "+" + std::to_string(area.y) +
                    " does not lie inside the display (" + std::to_string(size.width) + "x" +
                    std::to_string(size.height) + ")");
    }
    for (const std::string& warning : tsdcal::secondCorrections(screen->syspath())) {
        std::fprintf(stderr, "tsd-calibrate: warning: %s\n", warning.c_str());
    }

    const tsdcal::View view(area, options.rotation);
    tsdcal::FlowSettings settings;
    settings.points = options.points;
    settings.thresholdPx = options.thresholdPx;
    settings.timeoutMs = static_cast<int64_t>(options.timeoutSeconds * 1000.0);
    settings.rules = pressRules(screen->range());
    const tsdcal::EventLog log(options.verbose);
    const touchsdk::CalibrationRange& r = screen->range();
    log.emit("screen", tsdcal::EventLog::text("syspath", screen->syspath()) + ",\"range\":[" +
                           std::to_string(r.xBegin) + "," + std::to_string(r.xEnd) + "," +
                           std::to_string(r.yBegin) + "," + std::to_string(r.yEnd) + "]," +
                           "\"area\":[" + std::to_string(area.x) + "," + std::to_string(area.y) +
                           "," + std::to_string(area.width) + "," + std::to_string(area.height) +
                           "]," + tsdcal::EventLog::text("rotate", options.rotationText));

    tsdcal::EventLoop loop(*screen, *display, signals);
    tsdcal::CalibrationFlow flow(*display, loop, *screen, view, settings, log);
    const tsdcal::Outcome outcome = flow.run();
    const char* outcomeText = outcome == tsdcal::Outcome::kKept     ? "kept"
                              : outcome == tsdcal::Outcome::kFailed ? "failed"
                                                                    : "cancelled";
    if (!options.report.empty() && !flow.lastRun().targets.empty()) {
        const tsdcal::ReportContext context{screen->syspath(), screen->range(), view,
                                            options.rotationText, outcomeText};
        if (!tsdcal::writeReport(options.report, flow.lastRun(), context, flow.callerRange(), error)) {
            std::fprintf(stderr, "tsd-calibrate: %s\n", error.c_str());
        }
    }
    if (outcome == tsdcal::Outcome::kKept) {
        std::fprintf(stderr, "tsd-calibrate: calibration kept\n");
        return kExitKept;
    }
    std::fprintf(stderr, "tsd-calibrate: %s; the screen is back on the calibration it had\n",
                 flow.reason().c_str());
    return outcome == tsdcal::Outcome::kFailed ? kExitFailed : kExitCancelled;
}

}  // namespace

int main(int argc, char** argv) {
    tsdcal::Options options;
    std::string error;
    if (!tsdcal::parseOptions(argc, argv, options, error)) {
        std::fprintf(stderr, "tsd-calibrate: %s\n%s", error.c_str(), tsdcal::usageText());
        return kExitFailed;
    }
    if (options.help) {
        std::fputs(tsdcal::usageText(), stdout);
        return kExitKept;
    }
    // A closed pipe on stdout must not kill the program with the preview on.
    std::signal(SIGPIPE, SIG_IGN);
    try {
        return run(options);
    } catch (const std::exception& e) {
        return fail(std::string("unexpected failure: ") + e.what());
    }
}
