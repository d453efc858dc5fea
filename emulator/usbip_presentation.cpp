#include "usbip_presentation.h"

#include <libudev.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <stdexcept>

#include "device/udev.h"

namespace tsdemu {
namespace {

using touchsdk::UdevUnref;
using UdevDevicePtr = std::unique_ptr<udev_device, UdevUnref>;

// Under TCG a screen's node appears 1.4-3.2 s after the attach.
constexpr std::chrono::seconds kKernelBound{20};

const char* text(const char* value) { return value != nullptr ? value : ""; }

// Uevents as udevd hands them on once it has handled them, or straight from
// the kernel where no udevd runs (a bare VM): a screen counts as plugged or
// unplugged only once the clients' own monitors can have heard of it.
class UeventWatch {
public:
    UeventWatch() : context_(udev_new()) {
        const bool udevd = ::access("/run/udev/control", F_OK) == 0;
        if (context_ != nullptr) {
            monitor_.reset(
                udev_monitor_new_from_netlink(context_.get(), udevd ? "udev" : "kernel"));
        }
        if (!monitor_ || udev_monitor_enable_receiving(monitor_.get()) < 0) {
            throw std::runtime_error("cannot watch uevents");
        }
    }

    udev* context() const { return context_.get(); }

    // Calls `done` with each uevent that arrives (and once with none, first)
    // until it answers true; false once `bound` has passed.
    bool waitFor(const std::function<bool(udev_device*)>& done, std::chrono::milliseconds bound) {
        const auto end = std::chrono::steady_clock::now() + bound;
        if (done(nullptr)) return true;
        for (;;) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                end - std::chrono::steady_clock::now());
            if (left.count() <= 0) return false;
            pollfd entry{udev_monitor_get_fd(monitor_.get()), POLLIN, 0};
            if (::poll(&entry, 1, static_cast<int>(left.count())) <= 0) continue;
            const UdevDevicePtr event(udev_monitor_receive_device(monitor_.get()));
            if (event && done(event.get())) return true;
        }
    }

private:
    std::unique_ptr<udev, UdevUnref> context_;
    std::unique_ptr<udev_monitor, UdevUnref> monitor_;
};

// The sysfs parent of a device, by path: its directory's parent.
std::string parentPath(const std::string& path) { return path.substr(0, path.rfind('/')); }

std::string baseName(const std::string& path) { return path.substr(path.rfind('/') + 1); }

// The hidraw node whose usb_device sits at `port`: "usbB-P" under vhci_hcd.N.
std::vector<std::string> findChain(udev* context, const VhciPort& port) {
    const std::unique_ptr<udev_enumerate, UdevUnref> scan(udev_enumerate_new(context));
    if (!scan) return {};
    udev_enumerate_add_match_subsystem(scan.get(), "hidraw");
    udev_enumerate_scan_devices(scan.get());
    const std::string hub = "vhci_hcd." + std::to_string(port.controller());
    const std::string suffix = "-" + std::to_string(port.hubPort());
    for (udev_list_entry* entry = udev_enumerate_get_list_entry(scan.get()); entry != nullptr;
         entry = udev_list_entry_get_next(entry)) {
        const std::string hidraw = udev_list_entry_get_name(entry);
        const std::string hid = parentPath(parentPath(hidraw));  // past the "hidraw" folder
        const std::string interface = parentPath(hid);
        const std::string usb = parentPath(interface);
        const std::string name = baseName(usb);
        if (baseName(parentPath(parentPath(usb))) != hub) continue;
        if (name.size() <= suffix.size() ||
            name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0) {
            continue;
        }
        return {usb, interface, hid, hidraw};
    }
    return {};
}

bool isEvent(udev_device* event, const char* action, const std::string& syspath) {
    return event != nullptr && std::strcmp(text(udev_device_get_action(event)), action) == 0 &&
           syspath == text(udev_device_get_syspath(event));
}

}  // namespace

UsbipScreen::UsbipScreen(const ScreenIdentity& identity) : model_(identity), port_(link_) {
    // Watching starts before the kernel can enumerate the device.
    UeventWatch watch;
    device_ = std::make_unique<UsbipDevice>(model_, std::move(link_));
    const bool found = watch.waitFor(
        [&](udev_device* event) {
            if (chain_.empty()) chain_ = findChain(watch.context(), port_);
            return !chain_.empty() && isEvent(event, "add", chain_.back());
        },
        kKernelBound);
    if (!found) {
        unplug();
        throw std::runtime_error("the kernel made no hidraw node of the USB/IP screen within " +
                                 std::to_string(kKernelBound.count()) + " s");
    }
    const UdevDevicePtr hidraw(
        udev_device_new_from_syspath(watch.context(), chain_.back().c_str()));
    devnode_ = hidraw ? text(udev_device_get_devnode(hidraw.get())) : "";
}

UsbipScreen::~UsbipScreen() {
    // A destructor must not throw: a screen the kernel will not let go of
    // is the kernel's to clean up once the link closes.
    try {
        unplug();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tsd-emulate: unplugging a USB/IP screen: %s\n", e.what());
    }
}

void UsbipScreen::unplug() {
    if (unplugged_) return;
    unplugged_ = true;
    UeventWatch watch;
    const std::string usb = chain_.empty() ? std::string() : chain_.front();
    // Gone already when the screen vanished by itself, or never came.
    const bool present = !usb.empty() && ::access(usb.c_str(), F_OK) == 0;
    port_.detach();
    device_->disconnect();
    if (!present) return;
    // The usb_device goes last: once it is gone so is the whole chain.
    watch.waitFor([&](udev_device* event) { return isEvent(event, "remove", usb); }, kKernelBound);
}

UsbipPresentation::UsbipPresentation() { ensureVhci(); }

UsbipScreen& UsbipPresentation::plug(const ScreenIdentity& identity) {
    auto screen = std::make_unique<UsbipScreen>(identity);
    std::lock_guard<std::mutex> lock(mutex_);
    screens_.push_back(std::move(screen));
    return *screens_.back();
}

void UsbipPresentation::unplug(PresentedScreen& screen) {
    dynamic_cast<UsbipScreen&>(screen).unplug();
}

}  // namespace tsdemu
