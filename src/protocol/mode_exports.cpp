// The exported mode and restart commands: validation and value mapping on
// top of the internal operations, each export one unit under the handle's
// command lock.
#include <array>

#include "common/result.h"
#include "device/device_handle.h"
#include "protocol/command_frame.h"
#include "protocol/mode_commands.h"

namespace touchsdk {

namespace {

using QueryOperation = bool (*)(TouchScreenHandle, uint8_t, uint8_t*);
using SetOperation = bool (*)(TouchScreenHandle, uint8_t, uint8_t);

// The query and the validation run even when the caller passed no `mode`.
template <std::size_t N>
bool getMode(TouchScreenHandle handle, QueryOperation query, const std::array<ModeValue, N>& table,
             uint8_t* mode) {
    uint8_t screenByte = 0;
    if (!query(handle, kControllerModule, &screenByte)) return false;
    const std::optional<uint8_t> value = applicationValueOf(table, screenByte);
    if (!value) return false;
    if (mode != nullptr) *mode = *value;
    return true;
}

template <std::size_t N>
bool setMode(TouchScreenHandle handle, SetOperation set, const std::array<ModeValue, N>& table,
             uint32_t mode) {
    const std::optional<uint8_t> screenByte = screenByteOf(table, mode);
    if (!screenByte) return false;
    return set(handle, kControllerModule, *screenByte);
}

// Modules already set stay set when a later one fails: the screen has no
// way to take a working mode back as one step.
bool setWorkingModeEverywhere(TouchScreenHandle handle, uint8_t value) {
    std::array<uint8_t, kMaxReplyData> modules{};
    uint8_t count = 255;
    if (!getModuleList(handle, kControllerModule, modules.data(), &count)) return false;
    if (!setWorkingMode(handle, kControllerModule, value)) return false;
    for (uint8_t i = 0; i < count; ++i) {
        if (!setWorkingMode(handle, modules[i], value)) return false;
    }
    return true;
}

template <typename Body>
TsdResult lockedExport(TouchScreenHandle handle, Body&& body) noexcept {
    return guardedExport([&] { return withCommandLock(handle, body); });
}

}  // namespace

}  // namespace touchsdk

using namespace touchsdk;

extern "C" {

TsdResult TsdGetTouchScreenWorkingMode(TouchScreenHandle handle, uint8_t* mode) noexcept {
    return lockedExport(handle,
                        [&] { return getMode(handle, getWorkingMode, kWorkingModeTable, mode); });
}

TsdResult TsdSetTouchScreenWorkingMode(TouchScreenHandle handle, uint32_t mode) noexcept {
    const std::optional<uint8_t> value = screenByteOf(kWorkingModeTable, mode);
    if (!value) return TSD_FAILURE;
    return lockedExport(handle, [&] { return setWorkingModeEverywhere(handle, *value); });
}

TsdResult TsdGetTouchScreenDataMode(TouchScreenHandle handle, uint8_t* mode) noexcept {
    return lockedExport(handle, [&] { return getMode(handle, getDataMode, DataModeTable, mode); });
}

TsdResult TsdSetTouchScreenDataMode(TouchScreenHandle handle, uint32_t mode) noexcept {
    return lockedExport(handle, [&] { return setMode(handle, setDataMode, DataModeTable, mode); });
}

TsdResult TsdGetTouchScreenHidMode(TouchScreenHandle handle, uint8_t* mode) noexcept {
    return lockedExport(handle, [&] { return getMode(handle, getHidMode, kHidModeTable, mode); });
}

TsdResult TsdSetTouchScreenHidMode(TouchScreenHandle handle, uint32_t mode) noexcept {
    return lockedExport(handle, [&] { return setMode(handle, setHidMode, kHidModeTable, mode); });
}

TsdResult TsdRestartTouchScreen(TouchScreenHandle handle) noexcept {
    return lockedExport(handle, [&] { return restartModule(handle, kControllerModule); });
}

}  // extern "C"
