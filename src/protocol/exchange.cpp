#include "protocol/exchange.h"

#include <algorithm>

#include "protocol/feature_report.h"
#include "protocol/frame_parser.h"

namespace touchsdk {

namespace {

constexpr uint8_t kSends = 5;
constexpr uint8_t kPollsPerSend = 80;
constexpr uint8_t kPauseAfterFailedSendMs = 10;
constexpr uint8_t kPauseAfterBusyMs = 8;

enum class PollResult : uint8_t { Nothing, Ack, Busy, Refused, Data };

FeatureReport encodeRequest(uint8_t type, uint8_t module, uint8_t command, const uint8_t* data,
                            uint8_t dataLength) {
    CommandRequest request;
    request.type = type;
    request.module = module;
    request.command = command;
    request.dataLength = dataLength;
    if (dataLength > 0) std::copy_n(data, dataLength, request.data.begin());
    FeatureReport report{};
    encodeFrame(request, FrameSink{copyToReport, report.data()});
    return report;
}

bool send(TouchScreenHandle handle, FeatureReport& report) {
    report[0] = kCommandReportId;
    return setFeatureReport(handle, report.data(), report.size());
}

PollResult classify(const ReplySlot& slot) {
    if (slot.complete == 0) return PollResult::Nothing;
    switch (slot.frame[0]) {
        case static_cast<uint8_t>(FrameType::Ack):
            return PollResult::Ack;
        case static_cast<uint8_t>(FrameType::Busy):
            return PollResult::Busy;
        case static_cast<uint8_t>(FrameType::Refused):
            return PollResult::Refused;
        case static_cast<uint8_t>(FrameType::Data):
            return PollResult::Data;
        default:  // an echo of a request: no answer yet
            return PollResult::Nothing;
    }
}

// One poll: only the first complete frame of this one report counts, so a
// frame split over two reports is never assembled.
PollResult pollOnce(TouchScreenHandle handle, ReplySlot& slot) {
    slot.complete = 0;
    FrameParser parser;
    parser.reset(keepFirstReply, &slot);
    FeatureReport report{};
    report[0] = kCommandReportId;
    if (!getFeatureReport(handle, report.data(), report.size())) return PollResult::Nothing;
    report[0] = kCommandReportId;
    for (uint8_t byte : report) parser.feed(byte);
    return classify(slot);
}

// Fast answers come back without sleeping; slow ones get 1 ms more of pause
// per ten polls, 280 ms in all.
PollResult pollForReply(TouchScreenHandle handle, ReplySlot& slot) {
    sleepMilliseconds(0);
    for (uint8_t i = 0; i < kPollsPerSend; ++i) {
        const PollResult result = pollOnce(handle, slot);
        if (result != PollResult::Nothing) return result;
        sleepMilliseconds(static_cast<uint8_t>(i / 10));
    }
    return PollResult::Nothing;
}

ExchangeOutcome deliverData(const ReplySlot& slot, uint8_t* out, uint8_t* outLength) {
    if (outLength == nullptr) return ExchangeOutcome::DataReceived;
    const uint8_t length = slot.frame[1];
    if (*outLength >= length && out != nullptr && length != 0) {
        std::copy_n(slot.frame.begin() + 2, length, out);
    }
    *outLength = length;
    return ExchangeOutcome::DataReceived;
}

}  // namespace

ExchangeOutcome exchange(TouchScreenHandle handle, uint8_t type, uint8_t module, uint8_t command,
                         const uint8_t* data, uint8_t dataLength, uint8_t* out,
                         uint8_t* outLength) {
    if (!isRequestType(type) || dataLength > kMaxRequestData) return ExchangeOutcome::Failed;
    if (data == nullptr && dataLength != 0) return ExchangeOutcome::Failed;
    FeatureReport request = encodeRequest(type, module, command, data, dataLength);
    ReplySlot slot;
    for (uint8_t sendsLeft = kSends; sendsLeft > 0; --sendsLeft) {
        if (!send(handle, request)) {
            sleepMilliseconds(kPauseAfterFailedSendMs);
            continue;
        }
        switch (pollForReply(handle, slot)) {
            case PollResult::Ack:
                return ExchangeOutcome::Acknowledged;
            case PollResult::Refused:
                return ExchangeOutcome::Failed;
            case PollResult::Data:
                return deliverData(slot, out, outLength);
            case PollResult::Busy:
                sleepMilliseconds(kPauseAfterBusyMs);
                break;
            case PollResult::Nothing:
                break;
        }
    }
    return ExchangeOutcome::Failed;
}

bool exchangeCommand(TouchScreenHandle handle, uint8_t type, uint8_t module, uint8_t command,
                     const uint8_t* data, uint8_t dataLength, uint8_t* out, uint8_t* outLength) {
    return exchange(handle, type, module, command, data, dataLength, out, outLength) !=
           ExchangeOutcome::Failed;
}

}  // namespace touchsdk
