#include "protocol/feature_report.h"

#include <linux/hidraw.h>
#include <sys/ioctl.h>

#include <cerrno>

#include "device/device_handle.h"

namespace touchsdk {

namespace {

// The request numbers carry the length, and their direction bits differ
// between processor families (ppc and mips lay them out otherwise), so they
// come from the kernel's own macros rather than from fixed numbers.
FeatureIo featureIoctl(TouchScreenHandle handle, unsigned long request, void* report) {
    const DeviceHandleRecord* record = recordOf(handle);
    if (record == nullptr) return FeatureIo::Gone;
    if (::ioctl(record->fd, request, report) >= 0) return FeatureIo::Done;
    return featureIoOfError(errno);
}

}  // namespace

FeatureIo featureIoOfError(int error) {
    switch (error) {
        case EINTR:
            return FeatureIo::Interrupted;
        // hidraw answers ENODEV once the device is disconnected, the USB
        // core ESHUTDOWN or ENXIO while it is being torn down, and EIO when
        // the transfer died with the device; EBADF and ENOTTY mean the
        // descriptor is not (or no longer) a hidraw node.
        case ENODEV:
        case ENXIO:
        case ESHUTDOWN:
        case EIO:
        case EBADF:
        case ENOTTY:
            return FeatureIo::Gone;
        default:  // a stall (EPIPE), a time-out: the screen may answer later
            return FeatureIo::Failed;
    }
}

FeatureIo setFeatureReport(TouchScreenHandle handle, const FeatureReport& report) {
    // The driver only reads the buffer; the ioctl interface takes it untyped.
    return featureIoctl(handle, HIDIOCSFEATURE(kFeatureReportSize),
                        const_cast<uint8_t*>(report.data()));
}

FeatureIo getFeatureReport(TouchScreenHandle handle, FeatureReport& report) {
    return featureIoctl(handle, HIDIOCGFEATURE(kFeatureReportSize), report.data());
}

}  // namespace touchsdk
