#include "flow.h"

#include <algorithm>
#include <cmath>

namespace tsdcal {
namespace {

// A second press this soon after the last one, near where it was, is the
// same finger tapping twice rather than a touch on the next target.
// Misclicks: a share of the closest spacing of two targets.
constexpr double kToleranceShare = 0.4;

MisclickGuard::Nominal nominalMap(const View& view, const touchsdk::CalibrationRange& s) {
    const Rect& a = view.area();
    const double spanX = static_cast<double>(s.xEnd) - s.xBegin;
    const double spanY = static_cast<double>(s.yEnd) - s.yBegin;
    return {spanX / a.width, spanY / a.height, spanX / a.height, spanY / a.width};
}

double toleranceFor(const View& view, const touchsdk::CalibrationRange& range, int points) {
    const MisclickGuard::Nominal n = nominalMap(view, range);
    const std::vector<PointF> grid = calibrationGrid(points, view.logical());
    double closest = INFINITY;
    for (std::size_t i = 0; i < grid.size(); ++i) {
        for (std::size_t j = i + 1; j < grid.size(); ++j) {
            const PointF a = view.toDisplay(grid[i]);
            const PointF b = view.toDisplay(grid[j]);
            closest = std::min(closest, std::hypot(n.xPerX * (a.x - b.x), n.yPerY * (a.y - b.y)));
        }
    }
    return kToleranceShare * closest;
}

}  // namespace

// The preview maps the view's pixels onto the screen's range end for end;
// this undoes that.
PointF screenToView(const PointF& p, const touchsdk::CalibrationRange& s, const Size& view) {
    return {(p.x - s.xBegin) / (static_cast<double>(s.xEnd) - s.xBegin) * view.width,
            (p.y - s.yBegin) / (static_cast<double>(s.yEnd) - s.yBegin) * view.height};
}

std::vector<CalibrationPoint> calibrationPoints(const CalibrationRun& run) {
    std::vector<CalibrationPoint> points;
    for (const TargetRecord& t : run.targets) {
        points.push_back({static_cast<float>(t.press.median.x),
                          static_cast<float>(t.press.median.y), static_cast<float>(t.target.x),
                          static_cast<float>(t.target.y)});
    }
    return points;
}

CalibrationFlow::CalibrationFlow(Display& display, Input& input, ScreenControl& screen,
                                 const View& view, const FlowSettings& settings,
                                 const EventLog& log)
    : display_(display),
      input_(input),
      screen_(screen),
      view_(view),
      settings_(settings),
      log_(log),
      range_(screen.range()),
      tolerance_(toleranceFor(view, range_, settings.points)),
      guard_(nominalMap(view, range_), tolerance_),
      tracker_(settings.rules) {}

touchsdk::CalibrationRange CalibrationFlow::callerRange() const {
    const Size s = view_.logical();
    return {0.0f, static_cast<float>(s.width), 0.0f, static_cast<float>(s.height)};
}

Outcome CalibrationFlow::run() {
    for (;;) {
        bool retry = false;
        const Outcome outcome = attempt(retry);
        if (!retry) {
            const char* names[] = {"kept", "failed", "cancelled", "timed-out"};
            log_.emit("result", EventLog::text("outcome", names[static_cast<int>(outcome)]));
            return outcome;
        }
    }
}

// The preview is on only between a successful switch and Keep; every other
// way out of this function switches it off.
Outcome CalibrationFlow::attempt(bool& retry) {
    ++run_.attempts;
    run_.targets.clear();
    run_.landings.clear();
    progress();
    Step step = collect();
    if (step != Step::kGoOn) return outcomeOf(step);

    const std::vector<CalibrationPoint> points = calibrationPoints(run_);
    struct PreviewOff {
        ScreenControl& screen;
        const EventLog& log;
        bool on = true;
        ~PreviewOff() {
            if (!on) return;
            const bool off = screen.cancel();
            log.emit("preview", EventLog::text("state", off ? "cancelled" : "cancel-failed"));
        }
    } previewOff{screen_, log_};
    if (!screen_.preview(callerRange(), points)) {
        reason_ =
            "the screen did not take the calibration preview (no answer, or the touches "
            "were too few or in a line)";
        return Outcome::kFailed;
    }
    log_.emit("preview", EventLog::text("state", "on"));
    progress();
    step = verify();
    Choice choice = Choice::kCancel;
    if (step == Step::kGoOn) step = choose(choice);
    if (step != Step::kGoOn) return outcomeOf(step);
    if (choice == Choice::kCancel) {
        reason_ = "cancelled; the calibration in force is unchanged";
        return Outcome::kCancelled;
    }
    if (choice == Choice::kRetry) {
        retry = true;
        return Outcome::kCancelled;
    }
    if (!screen_.apply()) {
        reason_ = "the screen did not store the calibration";
        return Outcome::kFailed;
    }
    previewOff.on = false;
    log_.emit("preview", EventLog::text("state", "kept"));
    show(drawClosingScene(view_.logical(), "CALIBRATION STORED"));
    return Outcome::kKept;
}

CalibrationFlow::Step CalibrationFlow::collect() {
    guard_.clear();
    haveLast_ = false;
    const std::vector<PointF> grid = calibrationGrid(settings_.points, view_.logical());
    for (std::size_t i = 0; i < grid.size(); ++i) {
        const Step step = takeTarget(i, grid);
        if (step != Step::kGoOn) return step;
    }
    return Step::kGoOn;
}

CalibrationFlow::Step CalibrationFlow::takeTarget(std::size_t index,
                                                  const std::vector<PointF>& grid) {
    TargetScene scene;
    scene.instruction = "TOUCH THE CENTRE OF THE TARGET AND HOLD STILL";
    scene.target = grid[index];
    scene.index = static_cast<int>(index);
    scene.count = static_cast<int>(grid.size());
    const PointF onDisplay = view_.toDisplay(grid[index]);
    for (;;) {
        Step step = show(drawTargetScene(view_.logical(), scene));
        if (step != Step::kGoOn) return step;
        logTarget("calibrate", index, grid.size(), grid[index]);
        Press press;
        step = waitPress(true, press);
        if (step != Step::kGoOn) return step;
        if (!press.stable) {
            scene.message = "HOLD YOUR FINGER STILL A LITTLE LONGER";
            logRejected("calibrate", index, "unstable");
        } else if (isDoubleTap(press)) {
            scene.message = "THAT WAS A DOUBLE TAP: TOUCH THE NEW TARGET ONCE";
            logRejected("calibrate", index, "double-tap");
        } else if (!guard_.plausible(onDisplay, press.median)) {
            scene.message = "MISSED: TOUCH THE CENTRE OF THE TARGET";
            logRejected("calibrate", index, "misclick");
        } else {
            guard_.accept(onDisplay, press.median);
            run_.targets.push_back({grid[index], press});
            last_ = press;
            haveLast_ = true;
            log_.emit("accepted",
                      EventLog::number("index", static_cast<double>(index)) + "," +
                          EventLog::point("touch", press.median) + "," +
                          EventLog::number("samples", static_cast<double>(press.samples)));
            progress();
            return Step::kGoOn;
        }
    }
}

CalibrationFlow::Step CalibrationFlow::verify() {
    const std::vector<PointF> targets = verificationTargets(view_.logical());
    for (std::size_t i = 0; i < targets.size(); ++i) {
        TargetScene scene;
        scene.instruction = "CHECK: TOUCH THE NEW TARGET";
        scene.target = targets[i];
        scene.index = static_cast<int>(i);
        scene.count = static_cast<int>(targets.size());
        scene.landings = run_.landings;
        for (;;) {
            Step step = show(drawTargetScene(view_.logical(), scene));
            if (step != Step::kGoOn) return step;
            logTarget("verify", i, targets.size(), targets[i]);
            Press press;
            step = waitPress(false, press);
            if (step != Step::kGoOn) return step;
            if (press.stable) {
                const PointF landed = screenToView(press.median, range_, view_.logical());
                run_.landings.push_back({targets[i], landed, distance(landed, targets[i])});
                log_.emit("landed",
                          EventLog::number("index", static_cast<double>(i)) + "," +
                              EventLog::point("at", landed) + "," +
                              EventLog::number("distance", run_.landings.back().distance));
                progress();
                break;
            }
            scene.message = "HOLD YOUR FINGER STILL A LITTLE LONGER";
            logRejected("verify", i, "unstable");
        }
    }
    return Step::kGoOn;
}

CalibrationFlow::Step CalibrationFlow::choose(Choice& choice) {
    double worst = 0.0;
    for (const Landing& l : run_.landings) worst = std::max(worst, l.distance);
    const bool passed = worst <= settings_.thresholdPx;
    const std::vector<Button> buttons = choiceButtons(view_.logical(), passed);
    Step step = show(
        drawChoiceScene(view_.logical(), run_.landings, settings_.thresholdPx, passed, buttons));
    if (step != Step::kGoOn) return step;
    log_.emit("verified", std::string("\"passed\":") + (passed ? "true" : "false") + "," +
                              EventLog::number("largest", worst) + "," +
                              EventLog::text("frame", display_.lastFrame()));
    for (const Button& b : buttons) {
        const PointF centre{b.rect.x + b.rect.width / 2.0, b.rect.y + b.rect.height / 2.0};
        log_.emit("button", EventLog::text("name", b.name) + "," + EventLog::point("at", centre) +
                                "," + EventLog::point("display", view_.toDisplay(centre)));
    }
    for (;;) {
        Press press;
        step = waitPress(false, press);
        if (step != Step::kGoOn) return step;
        const PointF at = screenToView(press.median, range_, view_.logical());
        for (const Button& b : buttons) {
            if (!press.stable || !b.contains(at)) continue;
            choice = b.name == "keep"    ? Choice::kKeep
                     : b.name == "retry" ? Choice::kRetry
                                         : Choice::kCancel;
            log_.emit("chosen", EventLog::text("name", b.name));
            return Step::kGoOn;
        }
        logRejected("choose", 0, "outside-buttons");
    }
}

CalibrationFlow::Step CalibrationFlow::waitPress(bool raw, Press& press) {
    tracker_.reset();
    for (;;) {
        const InputEvent event = input_.next(deadlineMs_);
        if (event.kind != InputEvent::Kind::kTouch) return stopFor(event);
        // A lift ends the press whichever report carries it first.
        if (event.touch.raw != raw && event.touch.down) continue;
        if (std::optional<Press> done = tracker_.feed(event.touch)) {
            press = *done;
            if (!heldInCorner(press)) return Step::kGoOn;
            log_.emit("corner-hold", EventLog::point("at", press.median));
            reason_ = "cancelled from the screen (a corner held)";
            return Step::kCancelled;
        }
    }
}

// Raw or through the preview, the press is near enough to the view's
// pixels for a region this coarse.
bool CalibrationFlow::heldInCorner(const Press& press) const {
    if (!press.stable || press.upMs - press.downMs < kCornerHoldMs) return false;
    const Size view = view_.logical();
    const PointF at = screenToView(press.median, range_, view);
    const double marginX = kCornerShare * view.width;
    const double marginY = kCornerShare * view.height;
    const bool nearSide = at.x < marginX || at.x > view.width - marginX;
    const bool nearEnd = at.y < marginY || at.y > view.height - marginY;
    return nearSide && nearEnd;
}

Outcome CalibrationFlow::outcomeOf(Step step) {
    if (step == Step::kCancelled) return Outcome::kCancelled;
    if (step == Step::kTimedOut) return Outcome::kTimedOut;
    return Outcome::kFailed;
}

CalibrationFlow::Step CalibrationFlow::stopFor(const InputEvent& event) {
    switch (event.kind) {
        case InputEvent::Kind::kEscape:
            reason_ = "cancelled";
            return Step::kCancelled;
        case InputEvent::Kind::kSignal:
            reason_ = "stopped by a signal";
            return Step::kCancelled;
        case InputEvent::Kind::kTimedOut:
            reason_ =
                "timed out: no touch for " + std::to_string(settings_.timeoutMs / 1000) + " s";
            return Step::kTimedOut;
        case InputEvent::Kind::kScreenGone:
            reason_ = "the screen went away (unplugged?)";
            return Step::kFailed;
        case InputEvent::Kind::kTouch:
            break;
    }
    return Step::kGoOn;
}

CalibrationFlow::Step CalibrationFlow::show(const Canvas& picture) {
    if (display_.show(view_.toOutput(picture), view_.area())) return Step::kGoOn;
    reason_ = "cannot show the picture";
    return Step::kFailed;
}

bool CalibrationFlow::isDoubleTap(const Press& press) const {
    return haveLast_ && press.downMs - last_.upMs <= settings_.doubleTapMs &&
           distance(press.median, last_.median) <= tolerance_;
}

void CalibrationFlow::logTarget(const char* phase, std::size_t index, std::size_t count,
                                const PointF& target) {
    log_.emit("target", EventLog::text("phase", phase) + "," +
                            EventLog::number("index", static_cast<double>(index)) + "," +
                            EventLog::number("count", static_cast<double>(count)) + "," +
                            EventLog::point("at", target) + "," +
                            EventLog::point("display", view_.toDisplay(target)) + "," +
                            EventLog::text("frame", display_.lastFrame()));
}

void CalibrationFlow::logRejected(const char* phase, std::size_t index, const char* why) {
    log_.emit("rejected", EventLog::text("phase", phase) + "," +
                              EventLog::number("index", static_cast<double>(index)) + "," +
                              EventLog::text("reason", why));
}

}  // namespace tsdcal
