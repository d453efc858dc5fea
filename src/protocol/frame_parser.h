#pragma once

#include <array>
#include <cstdint>

#include "protocol/command_frame.h"

namespace touchsdk {

// Called with a pointer to a complete frame's type byte.
using FrameHandler = void (*)(void* context, const uint8_t* frame);

// Recognises frames one received byte at a time. A frame may begin anywhere;
// a wrong byte or checksum drops the candidate and the search for the report
// ID starts again at the next byte.
class FrameParser {
public:
    // Without a handler, complete frames are dropped.
    FrameParser() = default;
    FrameParser(FrameHandler handler, void* handlerContext) { reset(handler, handlerContext); }
    // Drops any partial frame and sends the frames completed from now on to
    // `handler`.
    void reset(FrameHandler handler, void* handlerContext);
    void feed(uint8_t byte);

private:
    void feedBody(uint8_t byte);
    void checkSum(uint8_t byte);
    void complete();

    std::array<uint8_t, kFeatureReportSize> buffer_{};
    uint8_t count_ = 0;  // bytes stored of the current candidate
    uint8_t sum_ = 0;    // running checksum from the module/length byte on
    FrameHandler handler_ = nullptr;
    void* handlerContext_ = nullptr;
};

// The first complete frame of one received report, from its type byte on.
struct ReplySlot {
    uint8_t complete = 0;
    std::array<uint8_t, 62> frame{};
};

// Parser handler of an exchange: keeps the first frame, ignores the rest.
void keepFirstReply(void* slot, const uint8_t* frame);

}  // namespace touchsdk
