// The frame parser on a raw stream of reply bytes, and the encoder on any
// request record: every frame the parser completes is well-formed and
// re-encodes to itself, and every frame the encoder builds parses back as
// itself.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "fuzz_check.h"
#include "protocol/command_frame.h"
#include "protocol/frame_parser.h"

using namespace touchsdk;

namespace {

using Frame = std::vector<uint8_t>;  // from the report ID to the checksum

// The length of the frame starting at `type` (report ID included).
std::size_t frameLength(const uint8_t* type) {
    switch (formOf(*frameTypeFromByte(type[0]))) {
        case FrameForm::Bare:
            return 2;
        case FrameForm::Short:
            return std::size_t{type[1]} + 4;
        case FrameForm::Long:
            break;
    }
    return std::size_t{type[3]} + 6;
}

void collect(void* frames, const uint8_t* type) {
    FUZZ_CHECK(frameTypeFromByte(type[0]).has_value());
    const std::size_t length = frameLength(type);
    FUZZ_CHECK(length <= kFeatureReportSize);
    Frame frame{kCommandReportId};
    frame.insert(frame.end(), type, type + length - 1);
    static_cast<std::vector<Frame>*>(frames)->push_back(frame);
}

std::vector<Frame> parse(const uint8_t* bytes, std::size_t size) {
    std::vector<Frame> frames;
    FrameParser parser;
    parser.reset(collect, &frames);
    for (std::size_t i = 0; i < size; ++i) parser.feed(bytes[i]);
    return frames;
}

void keep(void* out, const uint8_t* frame, uint8_t length) {
    *static_cast<Frame*>(out) = Frame(frame, frame + length);
}

// A request record from its flat bytes (type, module, command, length,
// data), missing bytes zero.
CommandRequest requestFrom(const uint8_t* bytes, std::size_t size) {
    std::vector<uint8_t> flat(bytes, bytes + std::min(size, kCommandRequestBytes));
    flat.resize(kCommandRequestBytes, 0);
    CommandRequest request;
    request.type = flat[0];
    request.module = flat[1];
    request.command = flat[2];
    request.dataLength = flat[3];
    std::copy(flat.begin() + 4, flat.end(), request.data.begin());
    return request;
}

Frame encoded(const CommandRequest& request) {
    Frame frame;
    encodeFrame(request, FrameSink{keep, &frame});
    return frame;
}

// The frame's bytes after the report ID are the request record, flat.
Frame encode(const Frame& frame) {
    return encoded(requestFrom(frame.data() + 1, frame.size() - 1));
}

bool checksumHolds(const Frame& frame) {
    if (frame.size() == 2) return true;
    uint8_t sum = 0;
    for (std::size_t i = 2; i + 1 < frame.size(); ++i) sum = static_cast<uint8_t>(sum + frame[i]);
    return frame.back() == sum;
}

void checkParsedFrames(const uint8_t* data, std::size_t size) {
    for (const Frame& frame : parse(data, size)) {
        FUZZ_CHECK(checksumHolds(frame));
        FUZZ_CHECK(encode(frame) == frame);
    }
}

// Any record: what the encoder hands out is one frame that parses as itself.
void checkEncodedRequest(const uint8_t* data, std::size_t size) {
    const CommandRequest request = requestFrom(data, size);
    const Frame frame = encoded(request);
    if (isRequestType(request.type) && request.dataLength <= kMaxRequestData) {
        FUZZ_CHECK(!frame.empty());
    }
    if (frame.empty()) return;
    const std::vector<Frame> parsed = parse(frame.data(), frame.size());
    FUZZ_CHECK(parsed.size() == 1 && parsed[0] == frame);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    checkParsedFrames(data, size);
    checkEncodedRequest(data, size);
    return 0;
}
