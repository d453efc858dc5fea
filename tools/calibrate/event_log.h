#pragma once

#include <initializer_list>
#include <string>

#include "geometry.h"

namespace tsdcal {

// Machine-readable progress on stdout, one JSON object per line, for
// scripts and tests that drive the program: where each target is shown,
// what happened to each touch, the outcome. Silent unless enabled. Written
// with the tools' JSON writer, so a number JSON cannot hold becomes null.
class EventLog {
public:
    explicit EventLog(bool enabled) : enabled_(enabled) {}

    // A JSON object from already formatted members: `"event":"name", ...`.
    void emit(const std::string& name, const std::string& members) const;

    static std::string number(const char* key, double value);
    static std::string text(const char* key, const std::string& value);
    static std::string point(const char* key, const PointF& p);
    static std::string numbers(const char* key, std::initializer_list<double> values);

private:
    bool enabled_;
};

}  // namespace tsdcal
