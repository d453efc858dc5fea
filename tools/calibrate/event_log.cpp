#include "event_log.h"

#include <cstdio>

#include "json.h"

namespace tsdcal {

void EventLog::emit(const std::string& name, const std::string& members) const {
    if (!enabled_) return;
    const std::string line =
        "{\"event\":" + tsdtool::jsonString(name) + (members.empty() ? "" : ",") + members + "}\n";
    std::fputs(line.c_str(), stdout);
    // A driving script waits for each line before it touches.
    std::fflush(stdout);
}

std::string EventLog::number(const char* key, double value) {
    return tsdtool::jsonString(key) + ":" + tsdtool::jsonNumber(value);
}

std::string EventLog::text(const char* key, const std::string& value) {
    return tsdtool::jsonString(key) + ":" + tsdtool::jsonString(value);
}

std::string EventLog::point(const char* key, const PointF& p) {
    return tsdtool::jsonString(key) + ":" + tsdtool::jsonNumbers({p.x, p.y});
}

std::string EventLog::numbers(const char* key, std::initializer_list<double> values) {
    return tsdtool::jsonString(key) + ":" + tsdtool::jsonNumbers(values);
}

}  // namespace tsdcal
