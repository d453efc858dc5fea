#include "protocol/command_frame.h"

#include <algorithm>

namespace touchsdk {

namespace {

constexpr std::array<FrameType, 8> kFrameTypes = {
    FrameType::Query,    FrameType::Set, FrameType::Control, FrameType::Data,
    FrameType::Reserved, FrameType::Ack, FrameType::Busy,    FrameType::Refused,
};

// Report ID, then the request record as a flat byte sequence.
using FrameBytes = std::array<uint8_t, 1 + kCommandRequestBytes + 1>;

FrameBytes frameBytesOf(const CommandRequest& request) {
    FrameBytes bytes{};
    bytes[0] = kCommandReportId;
    bytes[1] = request.type;
    bytes[2] = request.module;
    bytes[3] = request.command;
    bytes[4] = request.dataLength;
    std::copy(request.data.begin(), request.data.end(), bytes.begin() + 5);
    return bytes;
}

// Position of the checksum: after the data of a long or short frame.
std::size_t checksumPosition(FrameForm form, const FrameBytes& bytes) {
    if (form == FrameForm::Long) return std::size_t{bytes[4]} + 5;
    return std::size_t{bytes[2]} + 3;
}

}  // namespace

std::optional<FrameType> frameTypeFromByte(uint8_t byte) {
    for (FrameType type : kFrameTypes) {
        if (static_cast<uint8_t>(type) == byte) return type;
    }
    return std::nullopt;
}

FrameForm formOf(FrameType type) {
    switch (type) {
        case FrameType::Data:
            return FrameForm::Short;
        case FrameType::Ack:
        case FrameType::Busy:
        case FrameType::Refused:
            return FrameForm::Bare;
        default:
            return FrameForm::Long;
    }
}

bool isRequestType(uint8_t byte) {
    return byte == static_cast<uint8_t>(FrameType::Query) ||
           byte == static_cast<uint8_t>(FrameType::Set) ||
           byte == static_cast<uint8_t>(FrameType::Control);
}

void encodeFrame(const CommandRequest& request, const FrameSink& sink) {
    if (sink.function == nullptr) return;
    const std::optional<FrameType> type = frameTypeFromByte(request.type);
    if (!type) return;
    FrameBytes bytes = frameBytesOf(request);
    const FrameForm form = formOf(*type);
    if (form == FrameForm::Bare) {
        sink.function(sink.context, bytes.data(), 2);
        return;
    }
    // A length that cannot fit one report would put the checksum past it.
    const std::size_t position = checksumPosition(form, bytes);
    if (position >= bytes.size()) return;
    uint8_t sum = 0;
    for (std::size_t i = 2; i < position; ++i) sum = static_cast<uint8_t>(sum + bytes[i]);
    bytes[position] = sum;
    sink.function(sink.context, bytes.data(), static_cast<uint8_t>(position + 1));
}

void copyToReport(void* report, const uint8_t* frame, uint8_t length) {
    auto* bytes = static_cast<uint8_t*>(report);
    std::fill_n(bytes, kFeatureReportSize, uint8_t{0});
    if (length >= 1 && length <= kFeatureReportSize) std::copy_n(frame, length, bytes);
}

}  // namespace touchsdk
