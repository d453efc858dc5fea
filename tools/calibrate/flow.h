#pragma once

#include <string>
#include <vector>

#include "display.h"
#include "event_log.h"
#include "input.h"
#include "misclick.h"
#include "scenes.h"

namespace tsdcal {

struct FlowSettings {
    int points = 9;
    double thresholdPx = 2.0;   // largest verification error that may be kept
    int64_t timeoutMs = 15000;  // without progress: cancel
    int64_t doubleTapMs = 500;  // a second touch at the same place this soon
    PressRules rules;           // spread in screen units
};

enum class Outcome { kKept, kFailed, kCancelled, kTimedOut };

// Cancelling from the screen, for kiosks without a keyboard: a stable press
// held this long in a corner region this share of the view's size, well
// outside the targets' inset. Judged when the finger lifts.
constexpr int64_t kCornerHoldMs = 3000;
constexpr double kCornerShare = 0.05;

// A position in screen units in the view's pixels, as a calibration fitted
// with the view's pixels as the caller's range delivers it.
PointF screenToView(const PointF& p, const touchsdk::CalibrationRange& screen, const Size& view);

// One calibration target with the press taken for it.
struct TargetRecord {
    PointF target;  // the person's view
    Press press;    // raw, screen units
};

// What the last attempt collected, for the report.
struct CalibrationRun {
    std::vector<TargetRecord> targets;
    std::vector<Landing> landings;
    int attempts = 0;
};

// The pairs handed to the library: the raw median of each press and its
// target in the view's pixels.
std::vector<CalibrationPoint> calibrationPoints(const CalibrationRun& run);

// Targets, fit and preview, verification, keep: the whole conversation with
// the person, against any display, input and screen. A preview it switched
// on is switched off again on every way out but Keep.
class CalibrationFlow {
public:
    CalibrationFlow(Display& display, Input& input, ScreenControl& screen, const View& view,
                    const FlowSettings& settings, const EventLog& log);

    Outcome run();
    // Why the flow failed or was cancelled, for the person.
    const std::string& reason() const { return reason_; }
    const CalibrationRun& lastRun() const { return run_; }
    // The range the targets are given in: the view's pixels.
    touchsdk::CalibrationRange callerRange() const;

private:
    enum class Step { kGoOn, kCancelled, kFailed, kTimedOut };
    enum class Choice { kKeep, kRetry, kCancel };

    Outcome attempt(bool& retry);
    Step collect();
    Step takeTarget(std::size_t index, const std::vector<PointF>& grid);
    Step verify();
    Step choose(Choice& choice);
    Step waitPress(bool raw, Press& press);
    Step stopFor(const InputEvent& event);
    bool heldInCorner(const Press& press) const;
    static Outcome outcomeOf(Step step);
    Step show(const Canvas& picture);
    bool isDoubleTap(const Press& press) const;
    void logTarget(const char* phase, std::size_t index, std::size_t count, const PointF& target);
    void logRejected(const char* phase, std::size_t index, const char* why);
    void progress() { deadlineMs_ = input_.nowMs() + settings_.timeoutMs; }

    Display& display_;
    Input& input_;
    ScreenControl& screen_;
    View view_;
    FlowSettings settings_;
    const EventLog& log_;
    touchsdk::CalibrationRange range_;
    double tolerance_;  // screen units: misclick and double-tap distance
    MisclickGuard guard_;
    PressTracker tracker_;
    CalibrationRun run_;
    std::string reason_;
    int64_t deadlineMs_ = 0;
    bool haveLast_ = false;
    Press last_;  // the last press taken, for telling a double tap
};

}  // namespace tsdcal
