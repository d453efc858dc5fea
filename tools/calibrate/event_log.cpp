#include "event_log.h"

#include <cstdio>

namespace tsdcal {

void EventLog::emit(const std::string& name, const std::string& members) const {
    if (!enabled_) return;
    std::printf("{\"event\":\"%s\"%s%s}\n", name.c_str(), members.empty() ? "" : ",",
                members.c_str());
    // A driving script waits for each line before it touches.
    std::fflush(stdout);
}

std::string EventLog::number(const char* key, double value) {
    char buffer[96];
    std::snprintf(buffer, sizeof buffer, "\"%s\":%.6g", key, value);
    return buffer;
}

std::string EventLog::text(const char* key, const std::string& value) {
    std::string escaped;
    for (char c : value) {
        if (c == '"' || c == '\\') escaped += '\\';
        if (static_cast<unsigned char>(c) >= 0x20) escaped += c;
    }
    return std::string("\"") + key + "\":\"" + escaped + "\"";
}

std::string EventLog::point(const char* key, const PointF& p) {
    char buffer[96];
    std::snprintf(buffer, sizeof buffer, "\"%s\":[%.6g,%.6g]", key, p.x, p.y);
    return buffer;
}

}  // namespace tsdcal
