#include "recording.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <sstream>

#include "control_command.h"

namespace tsdemu {
namespace {

std::optional<std::vector<uint8_t>> hexBytes(const std::string& text) {
    std::vector<uint8_t> bytes;
    std::string digits;
    for (char c : text) {
        if (c == ' ' || c == '\t') continue;
        if (!std::isxdigit(static_cast<unsigned char>(c))) return std::nullopt;
        digits += c;
    }
    if (digits.empty() || digits.size() % 2 != 0) return std::nullopt;
    for (std::size_t i = 0; i < digits.size(); i += 2) {
        bytes.push_back(static_cast<uint8_t>(std::stoul(digits.substr(i, 2), nullptr, 16)));
    }
    return bytes;
}

std::optional<uint16_t> hexId(const std::string& text) {
    const auto bytes = hexBytes(text);
    if (!bytes || bytes->size() != 2) return std::nullopt;
    return static_cast<uint16_t>((*bytes)[0] << 8 | (*bytes)[1]);
}

std::optional<touchsdk::CalibrationRange> rangeOf(const std::string& text) {
    std::istringstream in(text);
    float v[4];
    if (!(in >> v[0] >> v[1] >> v[2] >> v[3]) || !(in >> std::ws).eof()) return std::nullopt;
    for (float f : v) {
        if (!std::isfinite(f)) return std::nullopt;
    }
    return touchsdk::CalibrationRange{v[0], v[1], v[2], v[3]};
}

std::optional<ScriptedReport> reportOf(const std::string& text) {
    std::istringstream in(text);
    unsigned long long at = 0;
    if (!(in >> at)) return std::nullopt;
    std::string rest;
    std::getline(in, rest);
    auto bytes = hexBytes(rest);
    if (!bytes) return std::nullopt;
    return ScriptedReport{std::chrono::microseconds(at), std::move(*bytes)};
}

// Applies one header or report line; false when it is malformed.
bool take(Recording& recording, const std::string& key, const std::string& value) {
    ScreenIdentity& id = recording.setup.identity;
    if (key == "vendor" || key == "product") {
        const auto number = hexId(value);
        if (!number) return false;
        (key == "vendor" ? id.vendorId : id.productId) = *number;
        return true;
    }
    if (key == "serial") {
        id.serial = value;
        return true;
    }
    if (key == "descriptor") {
        const auto bytes = hexBytes(value);
        if (bytes) id.recordedDescriptor = *bytes;
        return bytes.has_value();
    }
    if (key == "range") {
        recording.setup.range = rangeOf(value);
        return recording.setup.range.has_value();
    }
    if (key == "report") {
        const auto report = reportOf(value);
        if (report) recording.reports.push_back(*report);
        return report.has_value();
    }
    return false;
}

// A recording passed through a Windows editor or mail ends its lines in CR LF.
bool nextLine(std::istream& in, std::string& line) {
    if (!std::getline(in, line)) return false;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return true;
}

}  // namespace

std::optional<Recording> readRecording(std::istream& in, std::string& error) {
    std::string line;
    if (!nextLine(in, line) || line != "tsd-record 1") {
        error = "line 1: not a recording (expected \"tsd-record 1\")";
        return std::nullopt;
    }
    Recording recording;
    recording.setup.identity.serial.reset();
    for (unsigned number = 2; nextLine(in, line); ++number) {
        if (line.empty() || line[0] == '#') continue;
        const std::size_t space = line.find(' ');
        const std::string key = line.substr(0, space);
        const std::string value = space == std::string::npos ? "" : line.substr(space + 1);
        if (!take(recording, key, value)) {
            error = "line " + std::to_string(number) + ": bad " + excerpt(key) + " line";
            return std::nullopt;
        }
    }
    if (recording.setup.identity.recordedDescriptor.empty()) {
        error = "no descriptor line";
        return std::nullopt;
    }
    return recording;
}

}  // namespace tsdemu
