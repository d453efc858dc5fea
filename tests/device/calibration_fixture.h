#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "open_screen_fixture.h"
#include "screen_model.h"

namespace tsdtest {

// A frame as "type command data", e.g. "2D B8 00000000"; block writes show
// their address only, since their 32 image bytes are checked apart.
inline std::string frameSummary(const tsdemu::CommandFrame& frame) {
    static const char digits[] = "0123456789ABCDEF";
    auto hex = [](uint8_t b) { return std::string{digits[b >> 4], digits[b & 0x0F]}; };
    std::string out = hex(frame.type) + " " + hex(frame.command) + " ";
    const bool blockWrite = frame.command == 0xBB && frame.data.size() > 4;
    const std::size_t shown = blockWrite ? 4 : frame.data.size();
    for (std::size_t i = 0; i < shown; ++i) out += hex(frame.data[i]);
    if (frame.module != 0x80) out += " module " + hex(frame.module);
    return out;
}

inline std::vector<std::string> trafficOf(const tsdemu::ScreenModel& model) {
    std::vector<std::string> out;
    for (const tsdemu::CommandFrame& frame : model.requests()) out.push_back(frameSummary(frame));
    return out;
}

// The exchanges of a record transfer: begin, one per block, end (writes).
inline std::vector<std::string> blockReads(uint16_t first, uint16_t count) {
    std::vector<std::string> out = {"2D B8 00000000"};
    for (uint16_t k = 0; k < count; ++k) {
        static const char digits[] = "0123456789ABCDEF";
        const auto block = static_cast<uint16_t>(first + k);
        std::string address = "0000";
        for (int shift : {4, 0, 12, 8}) address += digits[(block >> shift) & 0x0F];
        out.push_back("1E BB " + address);
    }
    return out;
}

inline std::vector<std::string> blockWrites(uint16_t first, uint16_t count) {
    std::vector<std::string> out = blockReads(first, count);
    for (std::size_t i = 1; i < out.size(); ++i) out[i].replace(0, 2, "2D");
    out.push_back("2D B9 00000000");
    return out;
}

inline std::vector<std::string> joined(std::vector<std::vector<std::string>> parts) {
    std::vector<std::string> out;
    for (auto& part : parts) out.insert(out.end(), part.begin(), part.end());
    return out;
}

const std::string kPreviewOn = "3C E5 01";
const std::string kPreviewOff = "3C E5 00";

}  // namespace tsdtest
