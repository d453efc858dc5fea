#include "uevent_broadcaster.h"

#include <dirent.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <stdexcept>

namespace tsdemu {
namespace {

// libudev's monitor message: a header in host order, except the magic and
// the filter hashes, which its socket filter reads in network order.
constexpr uint32_t kMonitorMagic = 0xFEEDCAFE;
constexpr std::size_t kHeaderSize = 40;
constexpr std::size_t kHashesAt = 24;
static_assert(kHashesAt + std::size_t{4} * 4 == kHeaderSize,
              "two hashes and two bloom words end the header");

// How long a send waits for a monitor that does not read before the event
// is dropped for it.
constexpr int kRoomWaitMs = 2000;

// MurmurHash2 with seed 0: what libudev's socket filter compares the
// subsystem and device type against.
uint32_t murmur2(const std::string& text) {
    constexpr uint32_t m = 0x5bd1e995;
    auto h = static_cast<uint32_t>(text.size());
    std::size_t i = 0;
    for (; i + 4 <= text.size(); i += 4) {
        uint32_t k = 0;
        for (std::size_t b = 0; b < 4; ++b)
            k |= static_cast<uint32_t>(static_cast<uint8_t>(text[i + b])) << (8 * b);
        k *= m;
        k ^= k >> 24;
        k *= m;
        h = h * m ^ k;
    }
    const std::size_t rest = text.size() - i;
    if (rest > 0) {
        for (std::size_t b = rest; b-- > 0;)
            h ^= static_cast<uint32_t>(static_cast<uint8_t>(text[i + b])) << (8 * b);
        h *= m;
    }
    h ^= h >> 13;
    h *= m;
    h ^= h >> 15;
    return h;
}

using Header = std::array<uint8_t, kHeaderSize>;

void putHost32(Header& out, std::size_t at, uint32_t value) {
    std::memcpy(out.data() + at, &value, sizeof value);
}

void putBig32(Header& out, std::size_t at, uint32_t value) {
    for (std::size_t b = 0; b < 4; ++b) out[at + b] = static_cast<uint8_t>(value >> (24 - 8 * b));
}

std::string subsystemOf(const std::string& dir) {
    char target[4096];
    const ssize_t n = ::readlink((dir + "/subsystem").c_str(), target, sizeof target - 1);
    if (n <= 0) return {};
    const std::string link(target, static_cast<std::size_t>(n));
    return link.substr(link.rfind('/') + 1);
}

struct Properties {
    std::string text;  // KEY=VALUE entries, each ending in NUL
    std::string subsystem;
    std::string devtype;

    void add(const std::string& key, const std::string& value) {
        text += key + "=" + value;
        text += '\0';
    }
};

// What the kernel and udev put in an event: the action, the path, the
// subsystem, a sequence number, then the device's own uevent properties.
Properties propertiesOf(const std::string& root, const std::string& syspath,
                        const std::string& action, const std::string& driver, uint64_t seqnum) {
    Properties properties;
    const std::string dir = root + syspath;
    properties.subsystem = subsystemOf(dir);
    properties.add("ACTION", action);
    properties.add("DEVPATH", syspath.substr(4));
    properties.add("SUBSYSTEM", properties.subsystem);
    properties.add("SEQNUM", std::to_string(seqnum));
    std::ifstream uevent(dir + "/uevent");
    for (std::string line; std::getline(uevent, line);) {
        const std::size_t equals = line.find('=');
        if (equals == std::string::npos) continue;
        const std::string key = line.substr(0, equals);
        if (key == "ACTION" || key == "DEVPATH" || key == "SUBSYSTEM" || key == "SEQNUM" ||
            key == "DRIVER") {
            continue;
        }
        if (key == "DEVTYPE") properties.devtype = line.substr(equals + 1);
        properties.add(key, line.substr(equals + 1));
    }
    if (!driver.empty()) properties.add("DRIVER", driver);
    return properties;
}

std::string messageOf(const Properties& properties) {
    Header header{};
    std::memcpy(header.data(), "libudev", 8);
    putBig32(header, 8, kMonitorMagic);
    putHost32(header, 12, kHeaderSize);
    putHost32(header, 16, kHeaderSize);
    putHost32(header, 20, static_cast<uint32_t>(properties.text.size()));
    putBig32(header, kHashesAt, murmur2(properties.subsystem));
    if (!properties.devtype.empty()) putBig32(header, kHashesAt + 4, murmur2(properties.devtype));
    return std::string(header.begin(), header.end()) + properties.text;
}

// umockdev's preload binds each monitor at <root>/event<descriptor>.
bool isMonitorSocket(const char* name) {
    if (std::strncmp(name, "event", 5) != 0 || name[5] == '\0') return false;
    for (const char* c = name + 5; *c != '\0'; ++c) {
        if (*c < '0' || *c > '9') return false;
    }
    return true;
}

}  // namespace

UeventBroadcaster::UeventBroadcaster(std::string rootDir) : root_(std::move(rootDir)) {
    inotify_ = ::inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
    wake_ = ::eventfd(0, EFD_CLOEXEC);
    if (inotify_ < 0 || wake_ < 0 ||
        ::inotify_add_watch(inotify_, root_.c_str(), IN_CREATE | IN_MOVED_TO) < 0) {
        if (inotify_ >= 0) ::close(inotify_);
        if (wake_ >= 0) ::close(wake_);
        throw std::runtime_error("cannot watch " + root_ + " for udev monitors");
    }
    watcher_ = std::thread([this] { watch(); });
}

UeventBroadcaster::~UeventBroadcaster() {
    const uint64_t one = 1;
    (void)!::write(wake_, &one, sizeof one);
    watcher_.join();
    ::close(inotify_);
    ::close(wake_);
    for (const Listener& listener : listeners_) ::close(listener.fd);
}

// Takes a new monitor over before another process that happens to use the
// same descriptor number can bind over its name.
void UeventBroadcaster::watch() {
    for (;;) {
        pollfd entries[2] = {{inotify_, POLLIN, 0}, {wake_, POLLIN, 0}};
        if (::poll(entries, 2, -1) < 0 && errno != EINTR) return;
        if (entries[1].revents != 0) return;
        alignas(inotify_event) char buffer[4096];
        while (::read(inotify_, buffer, sizeof buffer) > 0) {
        }
        std::lock_guard<std::mutex> lock(mutex_);
        adopt();
    }
}

// readdir64: a 32-bit program's plain readdir() ends the listing early
// (EOVERFLOW) as soon as the file system hands out an offset or inode number
// beyond 32 bits, and ext4 hands hashed 64-bit offsets to every process its
// kernel takes for a 64-bit one: a 32-bit board's build under qemu-user on a
// 64-bit host never saw a monitor, and so no hot-plug event reached one.
void UeventBroadcaster::adopt() {
    DIR* dir = ::opendir(root_.c_str());
    if (dir == nullptr) return;
    while (const dirent64* entry = ::readdir64(dir)) {
        if (!isMonitorSocket(entry->d_name)) continue;
        const std::string path = root_ + "/monitor" + std::to_string(++adopted_);
        if (::rename((root_ + "/" + entry->d_name).c_str(), path.c_str()) != 0) continue;
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
        const int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (fd >= 0 &&
            ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
            listeners_.push_back({fd, path, false});
            continue;
        }
        if (fd >= 0) ::close(fd);
        ::unlink(path.c_str());
    }
    ::closedir(dir);
}

// False once the monitor is closed.
bool UeventBroadcaster::deliver(Listener& listener, const std::string& message) {
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (::send(listener.fd, message.data(), message.size(), MSG_NOSIGNAL) >= 0) return true;
        if (errno == EINTR) continue;
        if (errno != EAGAIN) return false;
        pollfd entry{listener.fd, POLLOUT, 0};
        ::poll(&entry, 1, kRoomWaitMs);
    }
    if (!listener.warned) {
        std::fprintf(stderr, "tsd-emulate: a udev monitor does not read its events: dropping\n");
        listener.warned = true;
    }
    return true;
}

void UeventBroadcaster::send(const std::string& syspath, const std::string& action,
                             const std::string& driver) {
    std::lock_guard<std::mutex> lock(mutex_);
    adopt();
    const std::string message = messageOf(propertiesOf(root_, syspath, action, driver, ++seqnum_));
    for (std::size_t i = 0; i < listeners_.size();) {
        if (deliver(listeners_[i], message)) {
            ++i;
            continue;
        }
        ::close(listeners_[i].fd);
        ::unlink(listeners_[i].path.c_str());
        listeners_.erase(listeners_.begin() + static_cast<std::ptrdiff_t>(i));
    }
}

}  // namespace tsdemu
