#pragma once

#include <libudev.h>

#include <memory>
#include <utility>

namespace touchsdk {

// Owning wrappers of the libudev objects the library uses. Each answers
// whether it holds an object (a failed libudev call leaves it empty) and
// releases it on every path out of the code that made it.

struct UdevUnref {
    void operator()(udev* context) const { udev_unref(context); }
    void operator()(udev_enumerate* enumeration) const { udev_enumerate_unref(enumeration); }
    void operator()(udev_device* device) const { udev_device_unref(device); }
    void operator()(udev_monitor* monitor) const { udev_monitor_unref(monitor); }
};

class UdevContext {
public:
    UdevContext() : context_(udev_new()) {}
    bool valid() const { return context_ != nullptr; }
    udev* get() const { return context_.get(); }

private:
    std::unique_ptr<udev, UdevUnref> context_;
};

// One entry of an enumeration's list; it belongs to the enumeration.
class UdevListEntry {
public:
    explicit UdevListEntry(udev_list_entry* entry) : entry_(entry) {}
    bool valid() const { return entry_ != nullptr; }
    const char* name() const { return udev_list_entry_get_name(entry_); }
    UdevListEntry next() const { return UdevListEntry(udev_list_entry_get_next(entry_)); }

private:
    udev_list_entry* entry_;
};

// The "hidraw" devices, already scanned.
class UdevEnumeration {
public:
    explicit UdevEnumeration(const UdevContext& context);
    bool valid() const { return enumeration_ != nullptr; }
    UdevListEntry first() const;

private:
    std::unique_ptr<udev_enumerate, UdevUnref> enumeration_;
};

// A device, owned (made from a syspath or received from a monitor) or
// borrowed (a parent, which its child owns).
class UdevDevice {
public:
    static UdevDevice fromSyspath(const UdevContext& context, const char* syspath);
    static UdevDevice owning(udev_device* device) { return UdevDevice(device, true); }

    UdevDevice(UdevDevice&& other) noexcept
        : device_(std::exchange(other.device_, nullptr)), owned_(other.owned_) {}
    UdevDevice& operator=(UdevDevice&&) = delete;
    UdevDevice(const UdevDevice&) = delete;
    UdevDevice& operator=(const UdevDevice&) = delete;
    ~UdevDevice();

    bool valid() const { return device_ != nullptr; }
    const char* devnode() const;
    const char* action() const;
    const char* devpath() const;
    const char* sysattr(const char* name) const;
    // The "usb"/"usb_device" ancestor, borrowed; empty when there is none.
    UdevDevice usbDevice() const;
    // The nearest ancestor of `subsystem`, borrowed; empty when there is none.
    UdevDevice ancestor(const char* subsystem) const;
    const char* property(const char* key) const;

private:
    UdevDevice(udev_device* device, bool owned) : device_(device), owned_(owned) {}
    udev_device* device_ = nullptr;
    bool owned_ = false;
};

// A netlink monitor of udev's processed events ("udev"), unfiltered.
class UdevMonitor {
public:
    explicit UdevMonitor(const UdevContext& context);
    bool valid() const { return monitor_ != nullptr; }
    [[nodiscard]] bool start();
    void requestReceiveBuffer(int bytes);
    int fd() const;
    UdevDevice receive() const;

private:
    std::unique_ptr<udev_monitor, UdevUnref> monitor_;
};

}  // namespace touchsdk
