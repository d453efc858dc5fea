#include "json.h"

#include <cmath>
#include <cstdio>

namespace tsdtool {

std::string jsonString(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string jsonNumber(double value) {
    if (!std::isfinite(value)) return "null";
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", value);
    return text;
}

std::string jsonNumbers(std::initializer_list<double> values) {
    std::string out = "[";
    for (double value : values) {
        if (out.size() > 1) out += ",";
        out += jsonNumber(value);
    }
    return out + "]";
}

JsonObject& JsonObject::field(const std::string& key, const std::string& json) {
    if (!body_.empty()) body_ += ",";
    body_ += jsonString(key) + ":" + json;
    return *this;
}

JsonObject& JsonObject::add(const std::string& key, const std::string& value) {
    return field(key, jsonString(value));
}

JsonObject& JsonObject::add(const std::string& key, const char* value) {
    return field(key, jsonString(value));
}

JsonObject& JsonObject::add(const std::string& key, double value) {
    return field(key, jsonNumber(value));
}

JsonObject& JsonObject::add(const std::string& key, long long value) {
    return field(key, std::to_string(value));
}

JsonObject& JsonObject::add(const std::string& key, bool value) {
    return field(key, value ? "true" : "false");
}

JsonObject& JsonObject::addNull(const std::string& key) { return field(key, "null"); }

JsonObject& JsonObject::addRaw(const std::string& key, const std::string& json) {
    return field(key, json);
}

}  // namespace tsdtool
