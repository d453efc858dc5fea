#include "live_state.h"

#include <algorithm>
#include <iterator>

namespace tsdview {

void LiveState::feed(const tsdcal::TouchSample& sample) {
    Contact& contact = contacts_[sample.id];
    const tsdcal::PointF at{sample.x, sample.y};
    if (sample.raw) {
        contact.raw = at;
        contact.rawDown = sample.down;
        return;
    }
    countReport(sample);
    // A finger put down again starts a new stroke, not a line from where it
    // lifted.
    const bool joined = contact.down && !contact.trail.empty();
    contact.down = sample.down;
    contact.touch = at;
    contact.width = sample.width;
    contact.height = sample.height;
    contact.trail.push_back({at, sample.ms, joined});
}

void LiveState::feedKey(const tsdcal::KeySample& key) { keys_[key.key] = key.down; }

// One report carries up to two contacts, each delivered by itself; they
// share the report's scan time and never repeat an ID. A screen that keeps
// its scan time still is counted by the repeated IDs.
void LiveState::countReport(const tsdcal::TouchSample& sample) {
    const bool sameReport = lastScanTime_ == sample.scanTime && !idsInReport_.test(sample.id);
    if (!sameReport) {
        idsInReport_.reset();
        reportTimes_.push_back(sample.ms);
    }
    idsInReport_.set(sample.id);
    lastScanTime_ = sample.scanTime;
}

bool LiveState::expire(int64_t nowMs) {
    bool any = false;
    while (!reportTimes_.empty() && nowMs - reportTimes_.front() >= 1000) {
        reportTimes_.pop_front();
        any = true;
    }
    for (auto it = contacts_.begin(); it != contacts_.end();) {
        std::deque<TrailPoint>& trail = it->second.trail;
        while (!trail.empty() && nowMs - trail.front().ms >= kTrailMs) {
            trail.pop_front();
            any = true;
        }
        if (!trail.empty()) trail.front().joined = false;
        // A held contact stays where it was last reported, however long ago.
        const bool held = it->second.down || it->second.rawDown;
        it = held || !trail.empty() ? std::next(it) : contacts_.erase(it);
    }
    return any;
}

int LiveState::contactsDown() const {
    return static_cast<int>(std::count_if(contacts_.begin(), contacts_.end(),
                                          [](const auto& entry) { return entry.second.down; }));
}

bool LiveState::fading() const {
    return !reportTimes_.empty() ||
           std::any_of(contacts_.begin(), contacts_.end(),
                       [](const auto& entry) { return !entry.second.trail.empty(); });
}

}  // namespace tsdview
