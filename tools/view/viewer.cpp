#include "viewer.h"

#include <poll.h>

#include <algorithm>
#include <cstdio>

namespace tsdview {
namespace {

// Pictures follow the screen at most this often: smooth to the eye, and a
// full-screen software redraw stays a small share of a board's processor
// under a screen reporting at 100-200 Hz.
constexpr int64_t kFrameMs = 33;
// While a trail fades by itself, a modest rate is smooth enough.
constexpr int64_t kFadeFrameMs = 50;
// How often, while waiting, the screen's presence is looked at: removal
// may be announced late or not at all.
constexpr int64_t kPresenceCheckMs = 1000;

}  // namespace

Ending Viewer::run() {
    lastActivityMs_ = tsdcal::steadyNowMs();
    lastPresenceCheckMs_ = lastActivityMs_;
    for (;;) {
        if (signals_.take() || display_.stopRequested()) return {};
        const int64_t now = tsdcal::steadyNowMs();
        if (state_.expire(now)) changed_ = true;
        if (std::optional<Ending> ending = drawIfDue(now)) return *ending;
        if (gone_) return {true, "the screen went away (unplugged?)"};
        if (limits_.idleMs && now - lastActivityMs_ >= *limits_.idleMs) {
            char text[48];
            std::snprintf(text, sizeof text, "no touch for %g s",
                          static_cast<double>(*limits_.idleMs) / 1000.0);
            return Ending{false, text};
        }
        pollfd fds[3] = {
            {screen_.fd(), POLLIN, 0}, {signals_.fd(), POLLIN, 0}, {display_.inputFd(), POLLIN, 0}};
        ::poll(fds, display_.inputFd() >= 0 ? 3 : 2, waitMs(now));
        if ((fds[0].revents & POLLIN) != 0) receive(tsdcal::steadyNowMs());
        if (tsdcal::steadyNowMs() - lastPresenceCheckMs_ >= kPresenceCheckMs) {
            lastPresenceCheckMs_ = tsdcal::steadyNowMs();
            if (!screen_.present()) gone_ = true;
        }
    }
}

std::optional<Ending> Viewer::drawIfDue(int64_t nowMs) {
    const int64_t since = nowMs - lastDrawMs_;
    const bool due = (changed_ && since >= kFrameMs) || (state_.fading() && since >= kFadeFrameMs);
    if (!due) return {};
    drawLive(picture_, state_, facts_, nowMs);
    const bool shown = view_.rotation() == tsdcal::Rotation::k0
                           ? display_.show(picture_, view_.area())
                           : display_.show(view_.toOutput(picture_), view_.area());
    if (!shown) {
        return Ending{true, "cannot show the picture"};
    }
    changed_ = false;
    lastDrawMs_ = nowMs;
    if (limits_.frames && ++shown_ >= *limits_.frames) return Ending{};
    return {};
}

// Until the next picture is due, the idle time runs out, the presence
// check or the display's own events; indefinitely long when nothing moves.
int Viewer::waitMs(int64_t nowMs) const {
    int64_t wait = kPresenceCheckMs - (nowMs - lastPresenceCheckMs_);
    if (changed_) wait = std::min(wait, kFrameMs - (nowMs - lastDrawMs_));
    if (state_.fading()) wait = std::min(wait, kFadeFrameMs - (nowMs - lastDrawMs_));
    if (limits_.idleMs) wait = std::min(wait, *limits_.idleMs - (nowMs - lastActivityMs_));
    if (display_.pumpIntervalMs() >= 0) wait = std::min<int64_t>(wait, display_.pumpIntervalMs());
    return static_cast<int>(std::max<int64_t>(wait, 0));
}

void Viewer::receive(int64_t nowMs) {
    bool gone = false;
    const std::deque<tsdcal::TouchSample> touches = screen_.take(gone);
    const std::deque<tsdcal::KeySample> keys = screen_.takeKeys();
    gone_ = gone_ || gone;
    for (const tsdcal::TouchSample& sample : touches) state_.feed(sample);
    for (const tsdcal::KeySample& key : keys) state_.feedKey(key);
    if (touches.empty() && keys.empty()) return;
    changed_ = true;
    lastActivityMs_ = nowMs;
}

}  // namespace tsdview
