#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "touchsdk.h"

namespace touchsdk {

// Command codes of the mode and restart commands.
constexpr uint8_t kWorkingModeCommand = 0xA2;
constexpr uint8_t kModuleListCommand = 0xAE;
constexpr uint8_t kRestartCommand = 0xAF;
constexpr uint8_t kDataModeCommand = 0xE1;
constexpr uint8_t kHidModeCommand = 0xE2;

// A mode as the screen stores it and as the application sees it.
struct ModeValue {
    uint8_t screenByte;
    uint8_t applicationValue;
};

// Searched in this order. Application values 3 and 4 map to 0xFF and 0xFE:
// the screen bytes are not in the order of the values.
constexpr std::array<ModeValue, 5> DataModeTable = {{
    {0xF0, 0},
    {0xF1, 1},
    {0xF2, 2},
    {0xFE, 4},
    {0xFF, 3},
}};
constexpr std::array<ModeValue, 2> kWorkingModeTable = {{{0, 0}, {1, 1}}};
constexpr std::array<ModeValue, 3> kHidModeTable = {{{0, 0}, {1, 1}, {2, 2}}};

// `from` and `to` pick the columns: a lookup in either direction.
template <std::size_t N>
constexpr std::optional<uint8_t> lookUpMode(const std::array<ModeValue, N>& table,
                                            uint8_t ModeValue::*from, uint8_t ModeValue::*to,
                                            uint32_t key) {
    for (const ModeValue& row : table) {
        if (row.*from == key) return row.*to;
    }
    return std::nullopt;
}

template <std::size_t N>
constexpr std::optional<uint8_t> applicationValueOf(const std::array<ModeValue, N>& table,
                                                    uint8_t screenByte) {
    return lookUpMode(table, &ModeValue::screenByte, &ModeValue::applicationValue, screenByte);
}

template <std::size_t N>
constexpr std::optional<uint8_t> screenByteOf(const std::array<ModeValue, N>& table,
                                              uint32_t applicationValue) {
    return lookUpMode(table, &ModeValue::applicationValue, &ModeValue::screenByte,
                      applicationValue);
}

static_assert(screenByteOf(DataModeTable, 3) == 0xFF && screenByteOf(DataModeTable, 4) == 0xFE);
static_assert(applicationValueOf(DataModeTable, 0xFF) == 3);

// True on success. A Get succeeds only on a Data reply of exactly one byte.
[[nodiscard]] bool getWorkingMode(TouchScreenHandle handle, uint8_t module, uint8_t* value);
[[nodiscard]] bool setWorkingMode(TouchScreenHandle handle, uint8_t module, uint8_t value);
// `count`: capacity of `list` on entry, the list's length on return (also
// when the list is longer than the capacity, which fails).
[[nodiscard]] bool getModuleList(TouchScreenHandle handle, uint8_t module, uint8_t* list,
                                 uint8_t* count);
[[nodiscard]] bool restartModule(TouchScreenHandle handle, uint8_t module);
[[nodiscard]] bool getDataMode(TouchScreenHandle handle, uint8_t module, uint8_t* screenByte);
[[nodiscard]] bool setDataMode(TouchScreenHandle handle, uint8_t module, uint8_t screenByte);
[[nodiscard]] bool getHidMode(TouchScreenHandle handle, uint8_t module, uint8_t* value);
[[nodiscard]] bool setHidMode(TouchScreenHandle handle, uint8_t module, uint8_t value);

}  // namespace touchsdk
