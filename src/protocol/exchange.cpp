#include "protocol/exchange.h"

#include <algorithm>

#include "device/screen_lock.h"
#include "protocol/exchange_pause.h"
#include "protocol/feature_report.h"
#include "protocol/frame_parser.h"

namespace touchsdk {

namespace {

// The schedule: sends per exchange, polls per send, and the pauses after a
// failed send and after Busy. Fast answers come back without sleeping; slow
// ones get 1 ms more of pause per ten polls, 280 ms per send in all.
constexpr uint8_t kSends = 5;
constexpr uint8_t kPollsPerSend = 80;
constexpr uint8_t kPollsPerPauseStep = 10;
constexpr uint8_t kPauseAfterFailedSendMs = 10;
constexpr uint8_t kPauseAfterBusyMs = 8;
// Interrupted calls are repeated without counting against the schedule, up
// to this many per exchange, so that a storm of signals cannot hold a
// caller for ever.
constexpr uint16_t kMaxInterruptions = 256;

enum class PollResult : uint8_t { Nothing, Ack, Busy, Refused, Data, Gone };

FeatureReport encodeRequest(const Command& command) {
    CommandRequest request;
    request.type = static_cast<uint8_t>(command.type);
    request.module = command.module;
    request.command = command.code;
    request.dataLength = static_cast<uint8_t>(command.data.size());
    std::copy(command.data.begin(), command.data.end(), request.data.begin());
    FeatureReport report{};
    encodeFrame(request, FrameSink{copyToReport, report.data()});
    report[0] = kCommandReportId;
    return report;
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

ExchangeOutcome deliverData(const ReplySlot& slot, ReplyBuffer* reply) {
    if (reply == nullptr) return ExchangeOutcome::DataReceived;
    // The parser only completes a Data frame whose data fit one report.
    const uint8_t length = slot.frame[1];
    if (reply->capacity >= length && reply->bytes != nullptr && length != 0) {
        std::copy_n(slot.frame.begin() + 2, length, reply->bytes);
    }
    reply->length = length;
    return ExchangeOutcome::DataReceived;
}

// One exchange's state: the request and what is left of the schedule.
class Exchange {
public:
    Exchange(TouchScreenHandle handle, const Command& command)
        : handle_(handle), request_(encodeRequest(command)) {}

    ExchangeOutcome run(ReplyBuffer* reply) {
        for (uint8_t sendsLeft = kSends; sendsLeft > 0;) {
            const FeatureIo sent = send();
            if (sent == FeatureIo::Gone) return ExchangeOutcome::ScreenGone;
            --sendsLeft;
            if (sent != FeatureIo::Done) {
                pauseMilliseconds(kPauseAfterFailedSendMs);
                continue;
            }
            switch (pollForReply()) {
                case PollResult::Ack:
                    return ExchangeOutcome::Acknowledged;
                case PollResult::Refused:
                    return ExchangeOutcome::Failed;
                case PollResult::Gone:
                    return ExchangeOutcome::ScreenGone;
                case PollResult::Data:
                    return deliverData(slot_, reply);
                case PollResult::Busy:
                    pauseMilliseconds(kPauseAfterBusyMs);
                    break;
                case PollResult::Nothing:
                    break;
            }
        }
        return ExchangeOutcome::Failed;
    }

private:
    FeatureIo send() {
        return retryInterrupted([&] { return setFeatureReport(handle_, request_); });
    }

    FeatureIo receive(FeatureReport& report) {
        return retryInterrupted([&] { return getFeatureReport(handle_, report); });
    }

    template <typename Call>
    FeatureIo retryInterrupted(Call&& call) {
        FeatureIo io = call();
        while (io == FeatureIo::Interrupted && interruptionsLeft_ > 0) {
            --interruptionsLeft_;
            io = call();
        }
        return io;
    }

    PollResult pollForReply() {
        pauseMilliseconds(0);
        for (uint8_t i = 0; i < kPollsPerSend; ++i) {
            const PollResult result = pollOnce();
            if (result != PollResult::Nothing) return result;
            pauseMilliseconds(static_cast<uint8_t>(i / kPollsPerPauseStep));
        }
        return PollResult::Nothing;
    }

    // Only the first complete frame of this one report counts, so a frame
    // split over two reports is never assembled.
    PollResult pollOnce() {
        slot_.complete = 0;
        FrameParser parser;
        parser.reset(keepFirstReply, &slot_);
        FeatureReport report{};
        report[0] = kCommandReportId;
        const FeatureIo got = receive(report);
        if (got == FeatureIo::Gone) return PollResult::Gone;
        if (got != FeatureIo::Done) return PollResult::Nothing;
        report[0] = kCommandReportId;
        for (uint8_t byte : report) parser.feed(byte);
        return classify(slot_);
    }

    TouchScreenHandle handle_;
    const FeatureReport request_;
    ReplySlot slot_;
    uint16_t interruptionsLeft_ = kMaxInterruptions;
};

bool isValid(const Command& command) {
    const auto type = static_cast<uint8_t>(command.type);
    if (!isRequestType(type) || command.data.size() > kMaxRequestData) return false;
    return command.data.data() != nullptr || command.data.empty();
}

}  // namespace

ExchangeOutcome exchange(TouchScreenHandle handle, const Command& command, ReplyBuffer* reply) {
    if (!isValid(command)) return ExchangeOutcome::Failed;
    if (reply != nullptr) reply->length = 0;
    const ScreenLock lock(handle);
    if (!lock.held()) return ExchangeOutcome::Failed;
    return Exchange(handle, command).run(reply);
}

bool exchangeCommand(TouchScreenHandle handle, const Command& command, ReplyBuffer* reply) {
    return succeeded(exchange(handle, command, reply));
}

}  // namespace touchsdk
