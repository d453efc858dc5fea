#include "touch_sweep.h"

#include <algorithm>
#include <cmath>

namespace tsdemu {
namespace {

constexpr int kStepsPerStroke = 20;
constexpr int kStrokes = 4;
// Strokes keep off the screen's very edge, where a real finger seldom is.
constexpr double kInset = 0.05;

ControlCommand commandFor(ControlVerb verb, unsigned number) {
    ControlCommand c;
    c.verb = verb;
    c.screen = number;
    c.value = 1;  // contact id; for Wait, set separately
    return c;
}

double along(float begin, float end, double share) {
    return begin + (end - begin) * (kInset + (1.0 - 2.0 * kInset) * share);
}

}  // namespace

void sweepTouches(ScreenSet& screens, unsigned number, const touchsdk::CalibrationRange& range,
                  double rateHz) {
    ControlCommand wait = commandFor(ControlVerb::Wait, number);
    wait.value = static_cast<unsigned>(std::max(1L, std::lround(1000.0 / rateHz)));
    for (int stroke = 0; !screens.stopped(); stroke = (stroke + 1) % kStrokes) {
        // Down the main diagonal, back up it, then the other one both ways.
        for (int step = 0; step < kStepsPerStroke && !screens.stopped(); ++step) {
            const double share = static_cast<double>(step) / (kStepsPerStroke - 1);
            const double s = stroke % 2 == 0 ? share : 1.0 - share;
            ControlCommand touch = commandFor(ControlVerb::Touch, number);
            touch.x = along(range.xBegin, range.xEnd, s);
            touch.y = along(range.yBegin, range.yEnd, stroke < 2 ? s : 1.0 - s);
            screens.run(touch);
            screens.run(wait);
        }
        screens.run(commandFor(ControlVerb::Lift, number));
        screens.run(wait);
    }
}

}  // namespace tsdemu
