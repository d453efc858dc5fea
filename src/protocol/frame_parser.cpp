#include "protocol/frame_parser.h"

#include <algorithm>

namespace touchsdk {

namespace {

bool isBareType(uint8_t byte) {
    const auto type = frameTypeFromByte(byte);
    return type && formOf(*type) == FrameForm::Bare;
}

}  // namespace

void FrameParser::reset(FrameHandler handler, void* handlerContext) {
    count_ = 0;
    sum_ = 0;
    handler_ = handler;
    handlerContext_ = handlerContext;
}

void FrameParser::feed(uint8_t byte) {
    if (count_ > kFeatureReportSize - 1) count_ = 0;
    buffer_[count_] = byte;
    ++count_;
    if (count_ == 1) {
        if (byte != kCommandReportId) count_ = 0;
        return;
    }
    if (count_ == 2) {
        sum_ = 0;
        if (isBareType(byte)) {
            complete();
        } else if (!frameTypeFromByte(byte)) {
            count_ = 0;
        }
        return;
    }
    feedBody(byte);
}

void FrameParser::feedBody(uint8_t byte) {
    const bool shortForm = buffer_[1] == static_cast<uint8_t>(FrameType::Data);
    // Long: report ID, type, module, command, length, data, sum.
    // Short: report ID, type, length, data, sum.
    const bool atChecksum =
        shortForm ? count_ == buffer_[2] + 4 : count_ > 4 && count_ == buffer_[4] + 6;
    if (atChecksum) {
        checkSum(byte);
    } else {
        sum_ = static_cast<uint8_t>(sum_ + byte);
    }
}

void FrameParser::checkSum(uint8_t byte) {
    if (byte == sum_) {
        complete();
    } else {
        count_ = 0;
    }
}

void FrameParser::complete() {
    if (handler_ != nullptr) handler_(handlerContext_, buffer_.data() + 1);
    count_ = 0;
}

void keepFirstReply(void* slot, const uint8_t* frame) {
    auto* reply = static_cast<ReplySlot*>(slot);
    if (reply->complete != 0) return;
    std::copy_n(frame, reply->frame.size(), reply->frame.begin());
    reply->complete = 1;
}

}  // namespace touchsdk
