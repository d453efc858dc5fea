#pragma once

// The one JSON writer of the tools: objects built field by field, in the
// order added. Numbers that JSON cannot hold (NaN, infinities) are written
// as null, so that a reader never meets `nan`.
#include <initializer_list>
#include <string>

namespace tsdtool {

std::string jsonString(const std::string& text);
std::string jsonNumber(double value);
std::string jsonNumbers(std::initializer_list<double> values);  // an array

class JsonObject {
public:
    JsonObject& add(const std::string& key, const std::string& value);
    JsonObject& add(const std::string& key, const char* value);
    JsonObject& add(const std::string& key, double value);
    // long long: every unsigned value fits, also where long has 32 bits.
    JsonObject& add(const std::string& key, long long value);
    JsonObject& add(const std::string& key, unsigned value) {
        return add(key, static_cast<long long>(value));
    }
    JsonObject& add(const std::string& key, int value) {
        return add(key, static_cast<long long>(value));
    }
    JsonObject& add(const std::string& key, bool value);
    JsonObject& addNull(const std::string& key);
    // `json` is already JSON text (an object or an array).
    JsonObject& addRaw(const std::string& key, const std::string& json);
    std::string str() const { return "{" + body_ + "}"; }

private:
    JsonObject& field(const std::string& key, const std::string& json);
    std::string body_;
};

}  // namespace tsdtool
