#pragma once

#include <bitset>
#include <cstdint>
#include <deque>
#include <map>
#include <optional>

#include "geometry.h"
#include "library_screen.h"

namespace tsdview {

// How long a contact's path stays visible, fading out.
constexpr int64_t kTrailMs = 1000;

struct TrailPoint {
    tsdcal::PointF at;  // screen units, calibrated
    int64_t ms = 0;
    bool joined = false;  // drawn as a line from the point before: same stroke
};

// One contact as the two callbacks last described it. Positions are in the
// screen's units: the calibrated one from the touch callback, the measured
// one from the raw-touch callback.
struct Contact {
    bool down = false;  // by the touch callback
    bool rawDown = false;
    std::optional<tsdcal::PointF> touch;
    std::optional<tsdcal::PointF> raw;
    double width = 0.0;  // screen units; 0: not reported
    double height = 0.0;
    std::deque<TrailPoint> trail;  // oldest first
};

// What the screen has said lately: the contacts, the virtual keys and the
// report rate. Time comes in with each call, so that it can be replayed.
class LiveState {
public:
    void feed(const tsdcal::TouchSample& sample);
    void feedKey(const tsdcal::KeySample& key);
    // Forgets what has faded by `nowMs`: trail points, lifted contacts
    // whose trail is gone, reports outside the rate's window. True when
    // anything went.
    bool expire(int64_t nowMs);

    const std::map<uint8_t, Contact>& contacts() const { return contacts_; }
    // Every key seen, and whether it is held.
    const std::map<uint8_t, bool>& keys() const { return keys_; }
    int contactsDown() const;
    // Touch reports received in the last second.
    int reportsPerSecond() const { return static_cast<int>(reportTimes_.size()); }
    // Whether the picture changes by itself (a trail fades, the rate
    // drops); when not, it stays as it is until the screen reports.
    bool fading() const;

private:
    void countReport(const tsdcal::TouchSample& sample);

    std::map<uint8_t, Contact> contacts_;
    std::map<uint8_t, bool> keys_;
    std::deque<int64_t> reportTimes_;  // arrivals within the last second
    std::optional<uint16_t> lastScanTime_;
    std::bitset<256> idsInReport_;
};

}  // namespace tsdview
