#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "screen_identity.h"
#include "screen_model.h"

namespace tsdemu {

// One emulated screen as the host sees it: a hidraw node with its sysfs
// chain, backed by a ScreenModel.
class PresentedScreen {
public:
    virtual ~PresentedScreen() = default;

    virtual ScreenModel& model() = 0;
    virtual const std::string& syspath() const = 0;  // of the hidraw device, "/sys/devices/..."
    virtual const std::string& devnode() const = 0;  // "/dev/hidrawN"
    // usb_device, usb interface, hid device, hidraw: top-down.
    virtual std::vector<std::string> chainSyspaths() const = 0;
    virtual bool plugged() const = 0;

    // Queues one input report for the host; a bounded number wait unread,
    // the oldest dropped first, so that a host that never reads cannot
    // hold up the screen.
    virtual void pushReport(const std::vector<uint8_t>& report) = 0;
    virtual std::size_t pendingReports() const = 0;
    // Waits up to `timeout` until the host has opened the node (ever since
    // the plug); true once it has. Reports pushed before may be lost.
    virtual bool waitUntilOpened(std::chrono::milliseconds timeout) const = 0;
};

// Where screens are plugged: a umockdev testbed inside this process, or the
// kernel itself through USB/IP. A screen stays valid until its presentation
// ends, also once unplugged, since clients may still hold the node.
class Presentation {
public:
    virtual ~Presentation() = default;

    // Returns once the hidraw node is there for the host to find.
    virtual PresentedScreen& plug(const ScreenIdentity& identity) = 0;
    // Returns once the host has been told that the screen went away.
    virtual void unplug(PresentedScreen& screen) = 0;
};

enum class PresentationKind : uint8_t { Umockdev, Usbip };

// Throws std::runtime_error when the presentation cannot be had here (for
// USB/IP: not root, or a kernel without vhci-hcd), saying what is missing.
std::unique_ptr<Presentation> makePresentation(PresentationKind kind);

}  // namespace tsdemu
