#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "display.h"
#include "library_screen.h"
#include "live_picture.h"
#include "live_state.h"
#include "stop_signals.h"

namespace tsdview {

struct ViewLimits {
    std::optional<int64_t> idleMs;  // ends after this long without a touch or key
    std::optional<long> frames;     // ends once this many pictures were shown
};

// Why the viewer ended; `message` is for the person, empty when nothing
// needs saying.
struct Ending {
    bool failed = false;
    std::string message;
};

// Shows what the screen reports until asked to stop. Draws only when
// something changed or is fading, so that it sleeps while nobody touches.
class Viewer {
public:
    Viewer(tsdcal::LibraryScreen& screen, tsdcal::Display& display, tsdtool::StopSignals& signals,
           const tsdcal::View& view, ScreenFacts facts, ViewLimits limits)
        : screen_(screen),
          display_(display),
          signals_(signals),
          view_(view),
          facts_(std::move(facts)),
          limits_(limits),
          picture_(view.logical().width, view.logical().height) {}

    Ending run();

private:
    std::optional<Ending> drawIfDue(int64_t nowMs);
    int waitMs(int64_t nowMs) const;
    void receive(int64_t nowMs);

    tsdcal::LibraryScreen& screen_;
    tsdcal::Display& display_;
    tsdtool::StopSignals& signals_;
    tsdcal::View view_;
    ScreenFacts facts_;
    ViewLimits limits_;
    LiveState state_;
    // Drawn over in place: a full-screen buffer allocated afresh for each
    // picture costs more in page faults than the drawing itself.
    tsdcal::Canvas picture_;
    bool changed_ = true;  // the first picture is due at once
    bool gone_ = false;
    long shown_ = 0;
    int64_t lastDrawMs_ = 0;
    int64_t lastActivityMs_ = 0;
    int64_t lastPresenceCheckMs_ = 0;
};

}  // namespace tsdview
