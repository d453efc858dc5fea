#include "protocol/mode_commands.h"

#include <algorithm>

#include "common/result.h"
#include "protocol/exchange.h"

namespace touchsdk {

namespace {

constexpr auto kQuery = static_cast<uint8_t>(FrameType::Query);
constexpr auto kSet = static_cast<uint8_t>(FrameType::Set);
constexpr auto kControl = static_cast<uint8_t>(FrameType::Control);

// An Ack to a query carries no byte, so only a one-byte Data reply counts.
uint32_t queryByte(TouchScreenHandle handle, uint8_t module, uint8_t command, uint8_t* value) {
    uint8_t byte = 0;
    uint8_t length = 1;
    const ExchangeOutcome outcome =
        exchange(handle, kQuery, module, command, nullptr, 0, &byte, &length);
    if (outcome != ExchangeOutcome::DataReceived || length != 1) return kCommandFailed;
    if (value != nullptr) *value = byte;
    return kCommandOk;
}

uint32_t setByte(TouchScreenHandle handle, uint8_t module, uint8_t command, uint8_t value) {
    return commandResult(
        exchangeCommand(handle, kSet, module, command, &value, 1, nullptr, nullptr));
}

}  // namespace

uint32_t getWorkingMode(TouchScreenHandle handle, uint8_t module, uint8_t* value) {
    return queryByte(handle, module, kWorkingModeCommand, value);
}

uint32_t setWorkingMode(TouchScreenHandle handle, uint8_t module, uint8_t value) {
    return setByte(handle, module, kWorkingModeCommand, value);
}

uint32_t getModuleList(TouchScreenHandle handle, uint8_t module, uint8_t* list, uint8_t* count) {
    std::array<uint8_t, kMaxReplyData> reply{};
    uint8_t length = kMaxReplyData;
    if (list == nullptr || count == nullptr) return kCommandFailed;
    // An Ack would leave `length` at the capacity: a list of 60 zero modules.
    if (exchange(handle, kQuery, module, kModuleListCommand, nullptr, 0, reply.data(), &length) !=
        ExchangeOutcome::DataReceived) {
        return kCommandFailed;
    }
    if (length > *count) {
        *count = length;
        return kCommandFailed;
    }
    std::copy_n(reply.begin(), length, list);
    *count = length;
    return kCommandOk;
}

uint32_t restartModule(TouchScreenHandle handle, uint8_t module) {
    return commandResult(
        exchangeCommand(handle, kControl, module, kRestartCommand, nullptr, 0, nullptr, nullptr));
}

uint32_t getDataMode(TouchScreenHandle handle, uint8_t module, uint8_t* screenByte) {
    return queryByte(handle, module, kDataModeCommand, screenByte);
}

uint32_t setDataMode(TouchScreenHandle handle, uint8_t module, uint8_t screenByte) {
    return setByte(handle, module, kDataModeCommand, screenByte);
}

uint32_t getHidMode(TouchScreenHandle handle, uint8_t module, uint8_t* value) {
    return queryByte(handle, module, kHidModeCommand, value);
}

uint32_t setHidMode(TouchScreenHandle handle, uint8_t module, uint8_t value) {
    return setByte(handle, module, kHidModeCommand, value);
}

}  // namespace touchsdk
