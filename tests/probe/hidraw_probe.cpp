// Observes a touch screen's hidraw node the way any program sees it, with
// nothing of the library: open, poll, read, write, the name ioctls, several
// readers, a reader that does not read, unplug and re-plug, and the udev
// events around them. It drives the screen through tsd-emulate's control
// FIFO and prints one observation per line, "name: value", with nothing in
// it that differs between two correct runs (no times, no paths of the
// testbed), so that two presentations of the screen can be compared line by
// line.
//
//   hidraw_probe CONTROL_FIFO
#include <fcntl.h>
#include <libudev.h>
#include <linux/hidraw.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// Generous: under an emulated CPU a USB round trip takes tens of ms.
constexpr int kSettleMs = 3000;
constexpr int kQuietMs = 300;  // how long "nothing arrives" is watched

std::string gControl;

void observe(const std::string& name, const std::string& value) {
    std::printf("%s: %s\n", name.c_str(), value.c_str());
    std::fflush(stdout);
}

void control(const std::string& line) {
    const int fd = ::open(gControl.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) {
        std::perror(gControl.c_str());
        std::exit(2);
    }
    const std::string text = line + "\n";
    if (::write(fd, text.data(), text.size()) != static_cast<ssize_t>(text.size())) std::exit(2);
    ::close(fd);
}

std::string errnoName(int error) {
    switch (error) {
        case 0:
            return "ok";
        case EAGAIN:
            return "EAGAIN";
        case EIO:
            return "EIO";
        case ENODEV:
            return "ENODEV";
        case ENOENT:
            return "ENOENT";
        case EINVAL:
            return "EINVAL";
        case EPIPE:
            return "EPIPE";
        case ENOTTY:
            return "ENOTTY";
        default:
            return "errno " + std::to_string(error);
    }
}

std::string pollFlags(short revents) {
    std::string text;
    const std::pair<short, const char*> names[] = {{POLLIN, "POLLIN"},
                                                   {POLLOUT, "POLLOUT"},
                                                   {POLLERR, "POLLERR"},
                                                   {POLLHUP, "POLLHUP"},
                                                   {POLLNVAL, "POLLNVAL"}};
    for (const auto& [flag, name] : names) {
        if ((revents & flag) != 0) text += (text.empty() ? "" : "|") + std::string(name);
    }
    return text.empty() ? "none" : text;
}

short pollFor(int fd, int timeoutMs) {
    pollfd entry{fd, POLLIN, 0};
    return ::poll(&entry, 1, timeoutMs) > 0 ? entry.revents : 0;
}

// Reads whatever arrives within `quietMs` of the last read; each read's size.
std::vector<std::vector<uint8_t>> drain(int fd, int quietMs) {
    std::vector<std::vector<uint8_t>> reads;
    while (pollFor(fd, quietMs) & POLLIN) {
        uint8_t buffer[256];
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0) break;
        reads.emplace_back(buffer, buffer + n);
    }
    return reads;
}

// As an application opens a node: it asks what the device is right away.
int openNode(const std::string& node) {
    const int fd = ::open(node.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    hidraw_devinfo info{};
    if (fd >= 0) (void)::ioctl(fd, HIDIOCGRAWINFO, &info);
    return fd;
}

std::string findNode(udev* context) {
    udev_enumerate* scan = udev_enumerate_new(context);
    udev_enumerate_add_match_subsystem(scan, "hidraw");
    udev_enumerate_scan_devices(scan);
    std::string node;
    udev_list_entry* entry = udev_enumerate_get_list_entry(scan);
    if (entry != nullptr) {
        udev_device* device =
            udev_device_new_from_syspath(context, udev_list_entry_get_name(entry));
        if (device != nullptr && udev_device_get_devnode(device) != nullptr) {
            node = udev_device_get_devnode(device);
        }
        udev_device_unref(device);
    }
    udev_enumerate_unref(scan);
    return node;
}

std::string waitForNode(udev* context) {
    const auto until = Clock::now() + std::chrono::milliseconds(kSettleMs);
    for (;;) {
        const std::string node = findNode(context);
        if (!node.empty() && ::access(node.c_str(), F_OK) == 0) return node;
        if (Clock::now() > until) return {};
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

std::string nameIoctl(int fd, unsigned long request) {
    char buffer[256] = {};
    const int n = ::ioctl(fd, request, buffer);
    if (n < 0) return errnoName(errno);
    return std::string("\"") + buffer + "\" (" + std::to_string(n) + ")";
}

// The hid device's instance number, from the node's sysfs parent.
std::string hidInstance(udev* context, const std::string& node) {
    const std::string name = node.substr(node.rfind('/') + 1);
    udev_device* raw = udev_device_new_from_subsystem_sysname(context, "hidraw", name.c_str());
    if (raw == nullptr) return "?";
    udev_device* hid = udev_device_get_parent_with_subsystem_devtype(raw, "hid", nullptr);
    std::string sysname = hid != nullptr ? udev_device_get_sysname(hid) : "?";
    udev_device_unref(raw);
    return sysname.substr(sysname.rfind('.') + 1);
}

// Events of the screen's subsystems, as "action subsystem[/devtype]": up to
// `last` (udevd may be slow to pass them on), then any that follow closely.
std::vector<std::string> events(udev_monitor* monitor, const std::string& last) {
    constexpr int kEventWaitMs = 15000;
    std::vector<std::string> seen;
    const auto timeout = [&] {
        return std::find(seen.begin(), seen.end(), last) == seen.end() ? kEventWaitMs : kQuietMs;
    };
    while (pollFor(udev_monitor_get_fd(monitor), timeout()) & POLLIN) {
        udev_device* device = udev_monitor_receive_device(monitor);
        if (device == nullptr) continue;
        const char* subsystem = udev_device_get_subsystem(device);
        const char* devtype = udev_device_get_devtype(device);
        const std::string kind = subsystem != nullptr ? subsystem : "?";
        if (kind == "usb" || kind == "usbmisc" || kind == "hid" || kind == "hidraw") {
            seen.push_back(std::string(udev_device_get_action(device)) + " " + kind +
                           (devtype != nullptr ? std::string("/") + devtype : ""));
        }
        udev_device_unref(device);
    }
    return seen;
}

std::string joined(const std::vector<std::string>& words) {
    std::string text;
    for (const std::string& word : words) text += (text.empty() ? "" : ", ") + word;
    return text.empty() ? "none" : text;
}

// The host controller's name differs between machines and says nothing of
// the screen: "usb-0000:00:14.0-1/input0" shows as "usb-<controller>-1/input0".
std::string physShape(const std::string& answer) {
    const std::size_t start = answer.find("\"usb-");
    const std::size_t port = answer.find('-', start + 5);
    if (start == std::string::npos || port == std::string::npos) return answer;
    const std::size_t end = answer.find('"', port);
    return "usb-<controller>" + answer.substr(port, end - port);
}

void probeNames(const std::string& node) {
    const int fd = openNode(node);
    observe("open", fd >= 0 ? "ok" : errnoName(errno));
    observe("name", nameIoctl(fd, HIDIOCGRAWNAME(256)));
    observe("phys", physShape(nameIoctl(fd, HIDIOCGRAWPHYS(256))));
    observe("uniq", nameIoctl(fd, HIDIOCGRAWUNIQ(256)));
    observe("poll idle", pollFlags(pollFor(fd, kQuietMs)));
    uint8_t byte = 0;
    observe("read idle", ::read(fd, &byte, 1) < 0 ? errnoName(errno) : "data");
    ::close(fd);
}

void probeReaders(const std::string& node) {
    const int first = openNode(node);
    control("key 0 1 1");
    observe("first reader, one report", std::to_string(drain(first, kSettleMs).size()));
    const int late = openNode(node);
    observe("reader opened after it", std::to_string(drain(late, kQuietMs).size()));
    for (int i = 0; i < 8; ++i) control("key 0 " + std::to_string(i) + " 1");
    observe("two readers, 8 reports", std::to_string(drain(first, kSettleMs).size()) + " and " +
                                          std::to_string(drain(late, kQuietMs).size()));
    ::close(late);
    ::close(first);
}

void probeUnread(const std::string& node) {
    const int idle = openNode(node);
    const int busy = openNode(node);
    // One report at a time, each read before the next is sent: the reading
    // reader never falls behind, whatever the speed of the presentation.
    std::size_t seen = 0;
    for (int i = 0; i < 100; ++i) {
        control("key 0 " + std::to_string(i) + " 1");
        uint8_t buffer[64];
        if ((pollFor(busy, kSettleMs) & POLLIN) && ::read(busy, buffer, sizeof buffer) > 0) ++seen;
    }
    seen += drain(busy, kQuietMs).size();
    const auto kept = drain(idle, kQuietMs);
    observe("reading reader, 100 reports", std::to_string(seen));
    observe("unread reader keeps", std::to_string(kept.size()) + ", keys " +
                                       std::to_string(kept.empty() ? -1 : kept.front()[1]) +
                                       " to " + std::to_string(kept.empty() ? -1 : kept.back()[1]));
    ::close(busy);
    ::close(idle);
}

void probeTransfers(const std::string& node) {
    const int fd = openNode(node);
    control("report 0 3801");  // a key report is 3 bytes
    observe("short report", std::to_string(drain(fd, kQuietMs).size()) + " reads");
    control("report 0 380101380200380301");
    std::string sizes;
    for (const auto& read : drain(fd, kSettleMs))
        sizes += (sizes.empty() ? "" : " ") + std::to_string(read.size());
    observe("three reports in one transfer", "reads of " + (sizes.empty() ? "none" : sizes));
    uint8_t report[3] = {0x00, 0x01, 0x02};
    observe("write", ::write(fd, report, sizeof report) < 0 ? errnoName(errno) : "ok");
    ::close(fd);
}

void probeUnplug(udev* context, udev_monitor* monitor, const std::string& node) {
    const std::string instance = hidInstance(context, node);
    const int fd = openNode(node);
    control("key 0 9 1");
    drain(fd, kSettleMs);
    control("unplug 0");
    observe("unplug, poll", pollFlags(pollFor(fd, kSettleMs)));
    uint8_t buffer[64];
    observe("unplug, read", ::read(fd, buffer, sizeof buffer) < 0 ? errnoName(errno) : "data");
    hidraw_devinfo info{};
    observe("unplug, ioctl", ::ioctl(fd, HIDIOCGRAWINFO, &info) < 0 ? errnoName(errno) : "ok");
    observe("unplug, write", ::write(fd, buffer, 3) < 0 ? errnoName(errno) : "ok");
    observe("unplug, events", joined(events(monitor, "remove usb/usb_device")));
    const int again = openNode(node);
    observe("unplug, reopen", again < 0 ? errnoName(errno) : "ok");
    if (again >= 0) ::close(again);
    ::close(fd);

    control("plug 0");
    const std::string back = waitForNode(context);
    observe("plug, events", joined(events(monitor, "bind usb/usb_device")));
    observe("plug, same node", back == node ? "yes" : "no (" + back + ")");
    observe("plug, new hid instance",
            !back.empty() && hidInstance(context, back) != instance ? "yes" : "no");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: hidraw_probe CONTROL_FIFO\n");
        return 2;
    }
    gControl = argv[1];
    udev* context = udev_new();
    udev_monitor* monitor = udev_monitor_new_from_netlink(context, "udev");
    udev_monitor_enable_receiving(monitor);
    const std::string node = waitForNode(context);
    if (node.empty()) {
        std::fprintf(stderr, "hidraw_probe: no hidraw node\n");
        return 1;
    }
    probeNames(node);
    probeReaders(node);
    probeUnread(node);
    probeTransfers(node);
    probeUnplug(context, monitor, node);
    udev_monitor_unref(monitor);
    udev_unref(context);
    return 0;
}
