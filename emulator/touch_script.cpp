#include "touch_script.h"

#include <cmath>

namespace tsdemu {
namespace {

using std::chrono::microseconds;

microseconds period(double rateHz) {
    return microseconds(static_cast<int64_t>(std::llround(1e6 / rateHz)));
}

uint16_t between(uint16_t from, uint16_t to, int step, int steps) {
    if (steps <= 1) return to;
    const double share = static_cast<double>(step) / static_cast<double>(steps - 1);
    return static_cast<uint16_t>(std::lround(from + (to - from) * share));
}

Contact contactAt(uint8_t id, ScreenPoint point, bool touching) {
    Contact contact;
    contact.id = id;
    contact.x = point.x;
    contact.y = point.y;
    contact.touching = touching;
    return contact;
}

ScriptedReport scripted(uint8_t reportId, microseconds at, const std::vector<Contact>& contacts) {
    return {at, contactReport(reportId, contacts, scanTimeAt(at))};
}

}  // namespace

uint16_t scanTimeAt(microseconds at) { return static_cast<uint16_t>(at.count() / 100); }

TouchScript movingContact(ScreenPoint from, ScreenPoint to, int steps, double rateHz,
                          uint8_t reportId) {
    TouchScript script;
    const microseconds step = period(rateHz);
    for (int i = 0; i < steps; ++i) {
        const ScreenPoint point{between(from.x, to.x, i, steps), between(from.y, to.y, i, steps)};
        script.push_back(scripted(reportId, step * i, {contactAt(1, point, true)}));
    }
    script.push_back(scripted(reportId, step * steps, {contactAt(1, to, false)}));
    return script;
}

TouchScript twoContacts(ScreenPoint first, ScreenPoint second, int reports, double rateHz) {
    TouchScript script;
    const microseconds step = period(rateHz);
    for (int i = 0; i <= reports; ++i) {
        const bool touching = i < reports;
        script.push_back(scripted(kTouchReportId, step * i,
                                  {contactAt(1, first, touching), contactAt(2, second, touching)}));
    }
    return script;
}

TouchScript tap(ScreenPoint at, microseconds hold) {
    return {scripted(kTouchReportId, microseconds(0), {contactAt(1, at, true)}),
            scripted(kTouchReportId, hold, {contactAt(1, at, false)})};
}

}  // namespace tsdemu
