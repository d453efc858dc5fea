#pragma once

#include <cstdint>

#include "common/byte_view.h"
#include "protocol/command_frame.h"
#include "touchsdk.h"

namespace touchsdk {

// One command as the exchange sends it: at most kMaxRequestData data bytes.
struct Command {
    CommandType type;
    uint8_t module;
    uint8_t code;
    ByteView data{};
};

// Where the data of a Data reply go. `length` is the reply's length after
// a Data reply (0 otherwise); the bytes are copied only when they fit.
struct ReplyBuffer {
    uint8_t* bytes = nullptr;
    uint8_t capacity = 0;
    uint8_t length = 0;
};

// How an exchange ended: Data and Ack both succeed, but a caller that asked
// for bytes must tell them apart (an Ack leaves its buffer unwritten). A
// caller with a fallback request must not try it on a screen that is gone.
enum class ExchangeOutcome : uint8_t { Failed, ScreenGone, Acknowledged, DataReceived };

constexpr bool succeeded(ExchangeOutcome outcome) {
    return outcome == ExchangeOutcome::Acknowledged || outcome == ExchangeOutcome::DataReceived;
}

// One request/response exchange on the handle's node: up to 5 sends, each
// successful one followed by up to 80 polls. Ends at once, failed, when the
// screen is gone; an interrupted call is repeated without counting. Fails
// before sending for more than kMaxRequestData data bytes or missing data,
// or when the screen stays held by another handle (see ScreenLock).
// `reply` may be null when the caller wants no bytes.
[[nodiscard]] ExchangeOutcome exchange(TouchScreenHandle handle, const Command& command,
                                       ReplyBuffer* reply = nullptr);

// The same, true for either kind of success.
[[nodiscard]] bool exchangeCommand(TouchScreenHandle handle, const Command& command,
                                   ReplyBuffer* reply = nullptr);

}  // namespace touchsdk
