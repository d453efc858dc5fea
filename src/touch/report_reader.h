#pragma once

#include <cstddef>
#include <cstdint>

#include "common/sync_event.h"
#include "device/device_handle.h"

namespace touchsdk {

// Receives each packet (the bytes of one read); they are valid only during
// the call.
using PacketHandler = void (*)(void* context, const uint8_t* bytes, uint32_t length);
// Told when no further report is waiting after one or more were handed
// over, just before the reader sleeps; same context as the packet handler.
using IdleHandler = void (*)(void* context);

// One read of a hidraw node returns one input report, so a packet normally
// holds one report; no report is larger than this.
constexpr std::size_t kReadBufferSize = 4096;

// The reader thread runs only this file's loop and the queue hand-over,
// never the application's code: its deepest frame is the read buffer
// above, so 64 KiB leaves ample room and saves the default 8 MiB of
// address space per screen delivering (which matters on 32-bit boards).
constexpr std::size_t kReaderStackBytes = std::size_t{64} * 1024;

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
// stop, so an unplugged screen costs no CPU. With an `idle` handler each
// read is followed by a poll that does not wait, and `idle` is called when
// it finds nothing (and before sleeping for good once the screen is gone).
void readReports(const DeviceHandleRecord* device, ReaderStop stop, PacketHandler handler,
                 void* context, IdleHandler idle = nullptr);

}  // namespace touchsdk
