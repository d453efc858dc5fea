#pragma once

// The value parsers every tool's options and input files share: whole
// numbers, finite numbers, hex IDs, coordinate ranges and geometries. Each
// refuses trailing text, signs where none belong, overflow, NaN and infinity.
#include <cstdint>
#include <optional>
#include <string>

namespace tsdtool {

// Decimal digits only (no sign, no space), at most `limit`.
std::optional<unsigned long> parseUnsigned(const std::string& text, unsigned long limit);
// A finite decimal number.
std::optional<double> parseNumber(const std::string& text);
// One to four hex digits, as USB IDs are written (an 0x prefix is allowed).
std::optional<uint16_t> parseHex16(const std::string& text);

// A coordinate range X0,X1,Y0,Y1 in a screen's units (0 to 65535), each axis
// with distinct ends; an axis may run backwards.
struct Range {
    double x0 = 0.0;
    double x1 = 0.0;
    double y0 = 0.0;
    double y1 = 0.0;
};
std::optional<Range> parseRange(const std::string& text);

// WxH, or WxH+X+Y when `offset` is allowed (X11's geometry), sizes above 0.
struct Geometry {
    int width = 0;
    int height = 0;
    int x = 0;
    int y = 0;
};
std::optional<Geometry> parseGeometry(const std::string& text, bool offset);

// The same, ending with a usage error that names the option and what it
// takes.
unsigned long unsignedOption(const char* option, const std::string& text, unsigned long min,
                             unsigned long max);
double numberOption(const char* option, const std::string& text, double min, double max);

}  // namespace tsdtool
