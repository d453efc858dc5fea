#include "device/udev.h"

namespace touchsdk {

UdevEnumeration::UdevEnumeration(const UdevContext& context) {
    if (!context.valid()) return;
    enumeration_.reset(udev_enumerate_new(context.get()));
    if (!enumeration_) return;
    udev_enumerate_add_match_subsystem(enumeration_.get(), "hidraw");
    udev_enumerate_scan_devices(enumeration_.get());
}

UdevListEntry UdevEnumeration::first() const {
    if (!enumeration_) return UdevListEntry(nullptr);
    return UdevListEntry(udev_enumerate_get_list_entry(enumeration_.get()));
}

UdevDevice UdevDevice::fromSyspath(const UdevContext& context, const char* syspath) {
    if (!context.valid() || syspath == nullptr) return UdevDevice(nullptr, true);
    return UdevDevice(udev_device_new_from_syspath(context.get(), syspath), true);
}

UdevDevice::~UdevDevice() {
    if (owned_ && device_ != nullptr) udev_device_unref(device_);
}

const char* UdevDevice::devnode() const {
    return device_ != nullptr ? udev_device_get_devnode(device_) : nullptr;
}

const char* UdevDevice::action() const {
    return device_ != nullptr ? udev_device_get_action(device_) : nullptr;
}

const char* UdevDevice::devpath() const {
    return device_ != nullptr ? udev_device_get_devpath(device_) : nullptr;
}

const char* UdevDevice::sysattr(const char* name) const {
    return device_ != nullptr ? udev_device_get_sysattr_value(device_, name) : nullptr;
}

UdevDevice UdevDevice::usbDevice() const {
    if (device_ == nullptr) return UdevDevice(nullptr, false);
    return UdevDevice(udev_device_get_parent_with_subsystem_devtype(device_, "usb", "usb_device"),
                      false);
}

UdevDevice UdevDevice::ancestor(const char* subsystem) const {
    if (device_ == nullptr) return UdevDevice(nullptr, false);
    return UdevDevice(udev_device_get_parent_with_subsystem_devtype(device_, subsystem, nullptr),
                      false);
}

const char* UdevDevice::property(const char* key) const {
    return device_ != nullptr ? udev_device_get_property_value(device_, key) : nullptr;
}

UdevMonitor::UdevMonitor(const UdevContext& context) {
    if (!context.valid()) return;
    monitor_.reset(udev_monitor_new_from_netlink(context.get(), "udev"));
}

bool UdevMonitor::start() { return monitor_ && udev_monitor_enable_receiving(monitor_.get()) >= 0; }

void UdevMonitor::requestReceiveBuffer(int bytes) {
    // Best effort: without privilege the kernel keeps its default size.
    if (monitor_) (void)udev_monitor_set_receive_buffer_size(monitor_.get(), bytes);
}

int UdevMonitor::fd() const { return monitor_ ? udev_monitor_get_fd(monitor_.get()) : -1; }

UdevDevice UdevMonitor::receive() const {
    if (!monitor_) return UdevDevice::owning(nullptr);
    return UdevDevice::owning(udev_monitor_receive_device(monitor_.get()));
}

}  // namespace touchsdk
