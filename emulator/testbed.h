#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "presentation.h"
#include "screen_identity.h"
#include "screen_model.h"

namespace tsdemu {

class Testbed;

class EmulatedScreen : public PresentedScreen {
public:
    ~EmulatedScreen() override;
    EmulatedScreen(const EmulatedScreen&) = delete;
    EmulatedScreen& operator=(const EmulatedScreen&) = delete;

    ScreenModel& model() override;
    const std::string& syspath() const override;  // of the hidraw device, "/sys/devices/..."
    const std::string& devnode() const override;  // "/dev/hidrawN"
    // usb_device, usb interface, hid device, hidraw: top-down.
    std::vector<std::string> chainSyspaths() const override;
    bool plugged() const override;

    // One transfer from the screen's interrupt endpoint, as the kernel
    // passes it on: each open file of the node gets it whole as one read()
    // (one report, or several sent back to back); a file whose queue is
    // full drops it, and a transfer shorter than the first report it names
    // (or naming no declared input report) reaches nobody.
    void pushReport(const std::vector<uint8_t>& report) override;
    // Reports waiting in the fullest open file.
    std::size_t pendingReports() const override;
    // Open files of the node (each open() makes one; a close ends it).
    std::size_t openFiles() const;
    // Waits up to `timeout` until some process has opened the node (ever
    // since the plug); true once it has.
    bool waitUntilOpened(std::chrono::milliseconds timeout) const override;

    struct Impl;
    explicit EmulatedScreen(std::unique_ptr<Impl> impl);

private:
    friend class Testbed;
    std::unique_ptr<Impl> impl_;
};

// A umockdev testbed holding emulated screens as real USB hidraw devices:
// libudev enumerates them, open/ioctl/poll/read reach the screen model, and
// the netlink monitor sees their uevents. The process must run under
// libumockdev-preload (see preload.h), and the testbed must exist before the
// code under test makes its first udev call.
class Testbed : public Presentation {
public:
    Testbed();
    ~Testbed() override;
    Testbed(const Testbed&) = delete;
    Testbed& operator=(const Testbed&) = delete;

    // Adds usb_device -> interface -> (usbmisc hiddev) -> hid -> hidraw, with
    // its /dev node, on USB port `port` (1-based; 0 takes the lowest free
    // one), and announces them with "add" and "bind" uevents in the order
    // the kernel and udev send them. Node numbers are the lowest free, and
    // every plug makes a new HID instance, so a screen re-plugged on its
    // port gets its node name back under a new sysfs path. Throws when the
    // identity cannot be a USB device (see kUsbStringUnits).
    EmulatedScreen& plug(const ScreenIdentity& identity, unsigned port);
    EmulatedScreen& plug(const ScreenIdentity& identity = {}) override { return plug(identity, 0); }
    // The kernel's view of a disconnect: open descriptors hang up (poll()
    // sees POLLHUP|POLLERR, read() EIO once the queue is empty, ioctl() and
    // write() ENODEV), "unbind" and "remove" uevents go out in the kernel's
    // order, the sysfs tree goes and a new open() fails with ENOENT. The
    // object stays valid until the testbed ends: clients may still hold it.
    void unplug(PresentedScreen& screen) override;

    // Sends one uevent for an existing device (e.g. "change").
    void uevent(const std::string& syspath, const std::string& action);
    // Adds a device of another subsystem ("add" uevent); returns its syspath.
    std::string addOtherDevice(const std::string& subsystem, const std::string& name);
    void removeOtherDevice(const std::string& syspath);

    std::string rootDir() const;

    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
};

// A USB string descriptor holds at most 126 UTF-16 code units.
constexpr std::size_t kUsbStringUnits = 126;
// UTF-16 code units of a UTF-8 text (bytes that are not UTF-8 count one each).
std::size_t utf16Units(const std::string& text);

}  // namespace tsdemu
