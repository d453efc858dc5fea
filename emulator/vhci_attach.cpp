#include "vhci_attach.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <mutex>
#include <sstream>
#include <stdexcept>
#include <vector>

extern char** environ;

namespace tsdemu {
namespace {

const std::string kVhci = "/sys/devices/platform/vhci_hcd.0";

// The kernel's port states (usbip_device_status): a free port, a used one.
constexpr unsigned kPortFree = 4;
constexpr unsigned kFullSpeed = 2;  // enum usb_device_speed

struct FreePort {
    unsigned port;
    unsigned controller;
    unsigned hubPort;
};

bool exists(const std::string& path) { return ::access(path.c_str(), F_OK) == 0; }

bool runModprobe() {
    char program[] = "modprobe";
    char module[] = "vhci-hcd";
    char* argv[] = {program, module, nullptr};
    pid_t child = 0;
    if (::posix_spawnp(&child, program, nullptr, nullptr, argv, environ) != 0) return false;
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// "status" lists controller 0's ports, "status.N" controller N's: a header
// line, then "hs"/"ss" rows of the controller-wide port number and state.
std::vector<FreePort> freePorts() {
    std::vector<FreePort> ports;
    for (unsigned controller = 0;; ++controller) {
        const std::string name =
            kVhci + (controller == 0 ? "/status" : "/status." + std::to_string(controller));
        std::ifstream status(name);
        if (!status) break;
        std::string line;
        std::getline(status, line);
        unsigned hubPort = 0;
        while (std::getline(status, line)) {
            std::istringstream row(line);
            std::string hub;
            unsigned port = 0, state = 0;
            if (!(row >> hub >> port >> state) || hub != "hs") continue;
            ++hubPort;
            if (state == kPortFree) ports.push_back({port, controller, hubPort});
        }
    }
    return ports;
}

bool writeFile(const std::string& path, const std::string& text) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool written = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    ::close(fd);
    return written;
}

// Ports are chosen and taken one at a time within this process; another
// process taking the same port makes the kernel refuse, and the next is tried.
std::mutex gAttaching;

}  // namespace

void ensureVhci() {
    if (!exists(kVhci)) {
        if (::geteuid() != 0) {
            throw std::runtime_error(
                "the USB/IP host controller (vhci-hcd) is not loaded, and only root may load "
                "it: run as root, or `modprobe vhci-hcd` first");
        }
        if (!runModprobe() || !exists(kVhci)) {
            throw std::runtime_error(
                "this kernel has no USB/IP host controller: `modprobe vhci-hcd` failed "
                "(CONFIG_USBIP_VHCI_HCD; Debian ships it in linux-image-*)");
        }
    }
    if (::access((kVhci + "/attach").c_str(), W_OK) != 0) {
        throw std::runtime_error("attaching a USB/IP device needs root: cannot write " + kVhci +
                                 "/attach");
    }
}

VhciPort::VhciPort(touchsdk::UniqueFd& link) {
    std::lock_guard<std::mutex> lock(gAttaching);
    for (const FreePort& free : freePorts()) {
        int ends[2];
        if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) {
            throw std::runtime_error(std::string("socketpair: ") + std::strerror(errno));
        }
        touchsdk::UniqueFd ours(ends[0]);
        // The kernel looks the descriptor up in the writer's own table and
        // keeps its own reference: ours is closed right after.
        const touchsdk::UniqueFd kernels(ends[1]);
        const std::string request =
            std::to_string(free.port) + " " + std::to_string(kernels.get()) + " " +
            std::to_string(free.port + 1) + " " + std::to_string(kFullSpeed);
        if (!writeFile(kVhci + "/attach", request)) continue;  // taken meanwhile
        attached_ = true;
        port_ = free.port;
        controller_ = free.controller;
        hubPort_ = free.hubPort;
        link = std::move(ours);
        return;
    }
    throw std::runtime_error("no free port on the USB/IP host controller (see " + kVhci +
                             "/status)");
}

void VhciPort::detach() {
    if (!attached_) return;
    attached_ = false;
    // Fails when the kernel already dropped the device (the link ended).
    (void)writeFile(kVhci + "/detach", std::to_string(port_));
}

}  // namespace tsdemu
