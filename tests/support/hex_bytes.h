#pragma once

#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

// Golden vectors are written as hex ("55 1E 80"), the way they appear on a
// bus analyser.
inline std::vector<uint8_t> hexBytes(const std::string& text) {
    std::vector<uint8_t> bytes;
    std::istringstream in(text);
    std::string word;
    while (in >> word)
        bytes.push_back(static_cast<uint8_t>(std::strtoul(word.c_str(), nullptr, 16)));
    return bytes;
}

// A whole 64-byte feature report: the given bytes, then zeros.
inline std::vector<uint8_t> hexReport(const std::string& text) {
    std::vector<uint8_t> bytes = hexBytes(text);
    bytes.resize(64, 0);
    return bytes;
}
