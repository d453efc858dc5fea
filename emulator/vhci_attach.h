#pragma once

#include <string>

#include "common/unique_fd.h"

namespace tsdemu {

// Makes sure the kernel's USB/IP virtual host controller is there, loading
// vhci-hcd when this process may; otherwise throws std::runtime_error that
// says plainly what is missing (root, or the module).
void ensureVhci();

// A device attached to a port of the virtual host controller: the kernel
// holds one end of a connected socket pair and enumerates whatever answers
// on the other. Detaching (or the end of the process) is an unplug.
class VhciPort {
public:
    // Attaches at the first free port of a high-speed hub as a full-speed
    // device; `link` receives the device's end of the socket pair. Throws
    // std::runtime_error when no port can be had.
    explicit VhciPort(touchsdk::UniqueFd& link);
    ~VhciPort() { detach(); }
    VhciPort(const VhciPort&) = delete;
    VhciPort& operator=(const VhciPort&) = delete;

    // Idempotent; a port the kernel already let go of stays let go of.
    void detach();

    unsigned controller() const { return controller_; }  // the N of vhci_hcd.N
    unsigned hubPort() const { return hubPort_; }        // 1-based, as in "usbB-P"

private:
    bool attached_ = false;
    unsigned port_ = 0;  // the controller-wide number attach and detach take
    unsigned controller_ = 0;
    unsigned hubPort_ = 0;
};

}  // namespace tsdemu
