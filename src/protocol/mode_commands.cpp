#include "protocol/mode_commands.h"

#include <algorithm>

#include "protocol/exchange.h"

namespace touchsdk {

namespace {

// An Ack to a query carries no byte, so only a one-byte Data reply counts.
bool queryByte(TouchScreenHandle handle, uint8_t module, uint8_t command, uint8_t* value) {
    uint8_t byte = 0;
    ReplyBuffer reply{&byte, 1};
    const ExchangeOutcome outcome = exchange(handle, {CommandType::Query, module, command}, &reply);
    if (outcome != ExchangeOutcome::DataReceived || reply.length != 1) return false;
    if (value != nullptr) *value = byte;
    return true;
}

bool setByte(TouchScreenHandle handle, uint8_t module, uint8_t command, uint8_t value) {
    return exchangeCommand(handle, {CommandType::Set, module, command, {&value, 1}});
}

}  // namespace

bool getWorkingMode(TouchScreenHandle handle, uint8_t module, uint8_t* value) {
    return queryByte(handle, module, kWorkingModeCommand, value);
}

bool setWorkingMode(TouchScreenHandle handle, uint8_t module, uint8_t value) {
    return setByte(handle, module, kWorkingModeCommand, value);
}

bool getModuleList(TouchScreenHandle handle, uint8_t module, uint8_t* list, uint8_t* count) {
    if (list == nullptr || count == nullptr) return false;
    std::array<uint8_t, kMaxReplyData> bytes{};
    ReplyBuffer reply{bytes.data(), kMaxReplyData};
    // An Ack carries no list, not an empty one.
    if (exchange(handle, {CommandType::Query, module, kModuleListCommand}, &reply) !=
        ExchangeOutcome::DataReceived) {
        return false;
    }
    const uint8_t capacity = *count;
    *count = reply.length;
    if (reply.length > capacity) return false;
    std::copy_n(bytes.begin(), reply.length, list);
    return true;
}

bool restartModule(TouchScreenHandle handle, uint8_t module) {
    return exchangeCommand(handle, {CommandType::Control, module, kRestartCommand});
}

bool getDataMode(TouchScreenHandle handle, uint8_t module, uint8_t* screenByte) {
    return queryByte(handle, module, kDataModeCommand, screenByte);
}

bool setDataMode(TouchScreenHandle handle, uint8_t module, uint8_t screenByte) {
    return setByte(handle, module, kDataModeCommand, screenByte);
}

bool getHidMode(TouchScreenHandle handle, uint8_t module, uint8_t* value) {
    return queryByte(handle, module, kHidModeCommand, value);
}

bool setHidMode(TouchScreenHandle handle, uint8_t module, uint8_t value) {
    return setByte(handle, module, kHidModeCommand, value);
}

}  // namespace touchsdk
