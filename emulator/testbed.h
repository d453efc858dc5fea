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

    // Queues one input report: the host's next read() returns exactly it.
    // Like a hidraw node, the screen holds a bounded number of unread
    // reports and drops the oldest when it is full, so that a reader that
    // never reads cannot hold up the screen.
    void pushReport(const std::vector<uint8_t>& report) override;
    std::size_t pendingReports() const override;
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

    // Adds usb_device -> interface -> hid -> hidraw (with its /dev node) and
    // announces each with an "add" uevent, top-down as the kernel does.
    EmulatedScreen& plug(const ScreenIdentity& identity = {}) override;
    // The kernel's view of a disconnect: open descriptors hang up (POLLHUP,
    // reads fail with EIO, ioctls with ENODEV), "remove" uevents go out
    // bottom-up and the sysfs tree and node disappear. The object stays
    // valid until the testbed ends, since clients may still hold the node.
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

}  // namespace tsdemu
