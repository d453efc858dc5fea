#include "protocol/feature_report.h"

#include <linux/hidraw.h>
#include <sched.h>
#include <sys/ioctl.h>

#include <cerrno>
#include <ctime>

#include "device/device_handle.h"

namespace touchsdk {

namespace {

// The request numbers carry the length, and their direction bits differ
// between processor families (ppc and mips lay them out otherwise), so they
// come from the kernel's own macros rather than from fixed numbers.
bool featureIoctl(TouchScreenHandle handle, unsigned long request, void* report) {
    const DeviceHandleRecord* record = recordOf(handle);
    if (record == nullptr) return false;
    return ::ioctl(record->fd, request, report) >= 0;
}

}  // namespace

bool setFeatureReport(TouchScreenHandle handle, const uint8_t* report, std::size_t length) {
    // The driver only reads the buffer; the ioctl interface takes it untyped.
    return featureIoctl(handle, HIDIOCSFEATURE(length), const_cast<uint8_t*>(report));
}

bool getFeatureReport(TouchScreenHandle handle, uint8_t* report, std::size_t length) {
    return featureIoctl(handle, HIDIOCGFEATURE(length), report);
}

void sleepMilliseconds(uint8_t ms) {
    if (ms == 0) {
        sched_yield();
        return;
    }
    timespec remaining{0, static_cast<long>(ms) * 1000000L};
    // A signal cuts nanosleep short; the schedule relies on the full pause.
    while (nanosleep(&remaining, &remaining) != 0 && errno == EINTR) {
    }
}

}  // namespace touchsdk
