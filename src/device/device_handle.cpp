#include "device/device_handle_ops.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "device/udev.h"

namespace touchsdk {
namespace {

// One wide character per byte, no multibyte decoding: serial numbers are
// ASCII in practice, and the bytes reach the caller unchanged either way.
std::vector<wchar_t> widenBytes(const char* bytes) {
    std::vector<wchar_t> wide;
    if (bytes != nullptr) {
        for (const char* p = bytes; *p != '\0'; ++p) {
            wide.push_back(static_cast<wchar_t>(static_cast<unsigned char>(*p)));
        }
    }
    wide.push_back(L'\0');
    return wide;
}

}  // namespace

bool openTouchScreen(const char* syspath, TouchScreenHandle* handle) {
    if (handle == nullptr) return false;
    const UdevContext context;
    if (!context.valid()) return false;
    const UdevDevice device = UdevDevice::fromSyspath(context, syspath);
    auto record = std::make_unique<DeviceHandleRecord>();
    const UdevDevice usb = device.usbDevice();
    if (!usb.valid()) return false;
    record->serialNumber = widenBytes(usb.sysattr("serial"));
    const char* node = device.devnode();
    if (node == nullptr) return false;
    // Close-on-exec: an application that starts programs must not hand them
    // its screens.
    record->fd = ::open(node, O_RDWR | O_CLOEXEC);
    if (record->fd < 0) return false;
    *handle = handleOf(record.release());
    return true;
}

bool closeTouchScreen(TouchScreenHandle handle) {
    DeviceHandleRecord* record = recordOf(handle);
    if (record == nullptr) return false;
    const bool closed = ::close(record->fd) == 0;
    delete record;
    return closed;
}

bool readSerialNumber(TouchScreenHandle handle, wchar_t* buffer, std::size_t bufferSize,
                      uint32_t* neededSize) {
    const DeviceHandleRecord* record = recordOf(handle);
    if (record == nullptr) return false;
    const std::size_t needed = record->serialNumber.size() * sizeof(wchar_t);
    if (neededSize != nullptr) *neededSize = static_cast<uint32_t>(needed);
    if (bufferSize < needed || buffer == nullptr) return false;
    std::copy(record->serialNumber.begin(), record->serialNumber.end(), buffer);
    return true;
}

}  // namespace touchsdk
