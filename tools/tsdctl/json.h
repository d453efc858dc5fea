#pragma once

#include <string>

namespace tsdctl {

// The version of the JSON output's schema, carried by every object tsdctl
// prints (see tsdctl(1)). Raised when a field changes meaning or goes away.
constexpr int kJsonSchemaVersion = 1;

// Builds one JSON object, fields in the order added.
class JsonObject {
public:
    JsonObject& add(const std::string& key, const std::string& value);
    JsonObject& add(const std::string& key, const char* value);
    JsonObject& add(const std::string& key, double value);
    JsonObject& add(const std::string& key, long value);
    JsonObject& add(const std::string& key, unsigned value) { return add(key, long{value}); }
    JsonObject& add(const std::string& key, int value) { return add(key, long{value}); }
    JsonObject& add(const std::string& key, bool value);
    JsonObject& addNull(const std::string& key);
    // `json` is already JSON text (an object or an array).
    JsonObject& addRaw(const std::string& key, const std::string& json);
    std::string str() const { return "{" + body_ + "}"; }

private:
    JsonObject& field(const std::string& key, const std::string& json);
    std::string body_;
};

std::string jsonString(const std::string& text);

// A versioned top-level object.
inline JsonObject versioned() { return JsonObject().add("version", kJsonSchemaVersion); }

}  // namespace tsdctl
