#pragma once

#include <cstdint>

#include "protocol/command_frame.h"
#include "touchsdk.h"

namespace touchsdk {

// How an exchange ended: Data and Ack both succeed, but a caller that asked
// for bytes must tell them apart (an Ack leaves its buffer unwritten).
enum class ExchangeOutcome : uint8_t { Failed, Acknowledged, DataReceived };

// One request/response exchange on the handle's node: up to 5 sends, each
// successful one followed by up to 80 polls. `outLength` holds the capacity
// of `out` on entry and the reply's data length after a Data reply; a reply
// larger than the capacity is not copied. Fails before sending for a type
// other than Query/Set/Control, more than 58 data bytes or missing data.
ExchangeOutcome exchange(TouchScreenHandle handle, uint8_t type, uint8_t module, uint8_t command,
                         const uint8_t* data, uint8_t dataLength, uint8_t* out,
                         uint8_t* outLength);

// The same, answering true for success.
bool exchangeCommand(TouchScreenHandle handle, uint8_t type, uint8_t module, uint8_t command,
                     const uint8_t* data, uint8_t dataLength, uint8_t* out, uint8_t* outLength);

}  // namespace touchsdk
