#pragma once

#include <cstddef>
#include <cstdint>

#include "common/sync_event.h"
#include "device/device_handle.h"

namespace touchsdk {

// Receives each packet (the bytes of one read); they are valid only during
// the call.
using PacketHandler = void (*)(void* context, const uint8_t* bytes, uint32_t length);

// One read of a hidraw node returns one input report, so a packet normally
// holds one report; no report is larger than this.
constexpr std::size_t kReadBufferSize = 4096;

// How the reader is told to stop: the event says so, the descriptor (an
// eventfd) wakes it from poll(). Whoever stops it sets the event first.
struct ReaderStop {
    SyncEvent* event;
    int wakeFd;
};

// Reads packets from the device's descriptor and hands each to `handler`
// until the stop is requested; returns at once for a null device. Idle, it
// sleeps in poll() without a time-out. Once the screen is gone (hang-up,
// error, end of data, EIO/ENODEV) it reads no more and sleeps until the
// stop, so an unplugged screen costs no CPU.
void readReports(const DeviceHandleRecord* device, ReaderStop stop, PacketHandler handler,
                 void* context);

}  // namespace touchsdk
