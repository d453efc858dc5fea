#pragma once

#include <cstdint>
#include <mutex>
#include <vector>

#include "common/handle.h"
#include "touchsdk.h"

namespace touchsdk {

// The record behind a TouchScreenHandle. `fd` and `serialNumber` are fixed
// after the open, so the reader thread and command calls may read them at
// the same time; closing must not overlap them.
struct DeviceHandleRecord {
    using Handle = TouchScreenHandle;

    int32_t fd = -1;                    // hidraw node, O_RDWR | O_CLOEXEC
    std::vector<wchar_t> serialNumber;  // one wide char per byte, then 0
    // Held for the whole of each command or calibration export, so that two
    // threads never interleave their feature reports on one screen.
    std::mutex commandLock;
};

template <>
struct RecordBehind<TouchScreenHandle> {
    using Record = DeviceHandleRecord;
};

// Runs one command or calibration export as a unit on its screen. A null
// handle runs the body unlocked: its first exchange then fails as usual.
template <typename Body>
auto withCommandLock(TouchScreenHandle handle, Body&& body) {
    DeviceHandleRecord* record = recordOf(handle);
    if (record == nullptr) return body();
    std::lock_guard<std::mutex> guard(record->commandLock);
    return body();
}

}  // namespace touchsdk
