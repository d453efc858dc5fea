#include "values.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "exit_status.h"

namespace tsdtool {

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// The text up to `separator` (or the end), taken off the front of `rest`.
std::string takeField(std::string& rest, char separator) {
    const std::size_t at = rest.find(separator);
    std::string field = rest.substr(0, at);
    rest = at == std::string::npos ? std::string() : rest.substr(at + 1);
    return field;
}

std::optional<int> parseInt(const std::string& text) {
    const bool negative = !text.empty() && text[0] == '-';
    const auto magnitude = parseUnsigned(negative ? text.substr(1) : text, 1000000);
    if (!magnitude) return std::nullopt;
    const int value = static_cast<int>(*magnitude);
    return negative ? -value : value;
}

}  // namespace

std::optional<unsigned long> parseUnsigned(const std::string& text, unsigned long limit) {
    // strtoul would take a sign or leading blanks, and wrap "-1" to the maximum.
    if (text.empty() || !isDigit(text[0])) return std::nullopt;
    errno = 0;
    char* end = nullptr;
    const unsigned long value = std::strtoul(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || value > limit) return std::nullopt;
    return value;
}

std::optional<double> parseNumber(const std::string& text) {
    if (text.empty() || text[0] == ' ' || text[0] == '\t') return std::nullopt;
    errno = 0;
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (errno != 0 || *end != '\0' || !std::isfinite(value)) return std::nullopt;
    return value;
}

std::optional<uint16_t> parseHex16(const std::string& text) {
    const std::string digits = text.rfind("0x", 0) == 0 || text.rfind("0X", 0) == 0
                                   ? text.substr(2)
                                   : text;
    if (digits.empty() || digits.size() > 4) return std::nullopt;
    for (char c : digits) {
        if (!isDigit(c) && !((c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'))) return std::nullopt;
    }
    return static_cast<uint16_t>(std::strtoul(digits.c_str(), nullptr, 16));
}

std::optional<Range> parseRange(const std::string& text) {
    std::string rest = text;
    double v[4];
    for (double& value : v) {
        if (rest.empty()) return std::nullopt;
        const auto number = parseNumber(takeField(rest, ','));
        if (!number || *number < 0.0 || *number > 65535.0) return std::nullopt;
        value = *number;
    }
    if (!rest.empty() || text.back() == ',' || v[0] == v[1] || v[2] == v[3]) return std::nullopt;
    return Range{v[0], v[1], v[2], v[3]};
}

std::optional<Geometry> parseGeometry(const std::string& text, bool offset) {
    const std::size_t plus = text.find('+');
    if (plus != std::string::npos && !offset) return std::nullopt;
    std::string size = text.substr(0, plus);
    Geometry g;
    const auto width = parseUnsigned(takeField(size, 'x'), 100000);
    const auto height = parseUnsigned(size, 100000);
    if (!width || !height || *width == 0 || *height == 0) return std::nullopt;
    g.width = static_cast<int>(*width);
    g.height = static_cast<int>(*height);
    if (plus == std::string::npos) return g;
    // +X+Y; X11 also writes a negative offset as +-N, which stays refused
    // below since an area must lie inside the display.
    std::string place = text.substr(plus + 1);
    const auto x = parseInt(takeField(place, '+'));
    const auto y = parseInt(place);
    if (!x || !y || *x < 0 || *y < 0) return std::nullopt;
    g.x = *x;
    g.y = *y;
    return g;
}

unsigned long unsignedOption(const char* option, const std::string& text, unsigned long min,
                             unsigned long max) {
    const auto value = parseUnsigned(text, max);
    if (!value || *value < min) {
        usageError(std::string(option) + " takes a whole number from " + std::to_string(min) +
                   " to " + std::to_string(max) + ", not \"" + text + "\"");
    }
    return *value;
}

double numberOption(const char* option, const std::string& text, double min, double max) {
    const auto value = parseNumber(text);
    if (!value || *value < min || *value > max) {
        char bounds[64];
        std::snprintf(bounds, sizeof bounds, "%g to %g", min, max);
        usageError(std::string(option) + " takes a number from " + bounds + ", not \"" + text +
                   "\"");
    }
    return *value;
}

}  // namespace tsdtool
