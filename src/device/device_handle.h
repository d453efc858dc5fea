#pragma once

#include <cstdint>
#include <mutex>
#include <vector>

#include "common/handle.h"
#include "device/screen_lock.h"
#include "touchsdk.h"

namespace touchsdk {

// The record behind a TouchScreenHandle. `fd` and `serialNumber` are fixed
// after the open, so the reader thread and command calls may read them at
// the same time; closing must not overlap them.
struct DeviceHandleRecord {
    using Handle = TouchScreenHandle;

    int32_t fd = -1;                    // hidraw node, O_RDWR | O_CLOEXEC
    std::vector<wchar_t> serialNumber;  // one wide char per byte, then 0
    // Taken by ScreenLock for each exchange and around each sequence of
    // exchanges, re-entrantly, so that two threads on this handle never
    // interleave their feature reports.
    std::recursive_mutex commandLock;
    // How deep this handle's holding thread is in ScreenLocks; the node
    // lock is taken at the first and dropped at the last. Guarded by
    // commandLock.
    uint32_t screenHolds = 0;
};

template <>
struct RecordBehind<TouchScreenHandle> {
    using Record = DeviceHandleRecord;
};

// Runs one command or calibration export as a unit on its screen; fails
// without sending anything when the screen stays held elsewhere.
template <typename Body>
bool withCommandLock(TouchScreenHandle handle, Body&& body) {
    const ScreenLock lock(handle);
    return lock.held() && body();
}

}  // namespace touchsdk
