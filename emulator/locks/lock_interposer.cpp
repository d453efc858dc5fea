// Takes the place of flock(), fcntl()'s lock commands and close() in a
// process that sees emulated screens: a lock asked of a descriptor on an
// emulated node's PTY is taken on the node's lock file (see
// node_lock_registry.h) through a descriptor of its own, one per descriptor
// of the node, so that every open of the node shares its locks as on the
// kernel's node, and closing the node's descriptor releases them. All other
// calls go on unchanged. Linked into programs that hold a testbed, and
// built as a preload library for programs that tsd-emulate runs.
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <string>

#include "node_lock_registry.h"

#define TSDEMU_INTERPOSE(name) __asm__(name) __attribute__((visibility("default")))

extern "C" {
int tsdemuFlock(int fd, int operation) TSDEMU_INTERPOSE("flock");
int tsdemuFcntl(int fd, int command, ...) TSDEMU_INTERPOSE("fcntl");
int tsdemuFcntl64(int fd, int command, ...) TSDEMU_INTERPOSE("fcntl64");
int tsdemuClose(int fd) TSDEMU_INTERPOSE("close");
}

namespace {

using FlockCall = int (*)(int, int);
using FcntlCall = int (*)(int, int, ...);
using CloseCall = int (*)(int);

template <typename Call>
Call nextCall(const char* name) {
    return reinterpret_cast<Call>(::dlsym(RTLD_NEXT, name));
}

FlockCall nextFlock() {
    static const FlockCall call = nextCall<FlockCall>("flock");
    return call;
}
FcntlCall nextFcntl() {
    static const FcntlCall call = nextCall<FcntlCall>("fcntl");
    return call;
}
FcntlCall nextFcntl64() {
    static const FcntlCall call = nextCall<FcntlCall>("fcntl64");
    return call;
}
CloseCall nextClose() {
    static const CloseCall call = nextCall<CloseCall>("close");
    return call;
}

// A node descriptor's stand-in; `pty` tells a reused descriptor number
// whose close we never saw (dup2 onto it, say) from the one we mapped.
struct Stand {
    std::string pty;
    int lockFd;
};

std::mutex gStandsLock;
// Guarded by gStandsLock; never destroyed, since close() runs until exit.
std::map<int, Stand>& stands() {
    static auto* map = new std::map<int, Stand>;
    return *map;
}
std::atomic<bool> gAnyStand{false};

// The PTY slave a descriptor is open on, or "".
std::string ptyOf(int fd) {
    char link[32];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    char target[64];
    const ssize_t n = ::readlink(link, target, sizeof target - 1);
    if (n <= 0) return {};
    target[n] = '\0';
    return std::strncmp(target, "/dev/pts/", 9) == 0 ? std::string(target) : std::string();
}

// The descriptor the locks of `fd` are taken on: its stand-in when `fd` is
// on an emulated node, else `fd` itself.
int lockTarget(int fd) {
    const char* root = std::getenv("UMOCKDEV_DIR");
    if (root == nullptr) return fd;
    const std::string pty = ptyOf(fd);
    if (pty.empty()) return fd;
    std::lock_guard<std::mutex> guard(gStandsLock);
    auto& map = stands();
    const auto found = map.find(fd);
    if (found != map.end()) {
        if (found->second.pty == pty) return found->second.lockFd;
        nextClose()(found->second.lockFd);
        map.erase(found);
    }
    const std::string entry = tsdemu::ptyLockEntry(tsdemu::nodeLockDir(root), pty);
    const int lockFd = ::open(entry.c_str(), O_RDWR | O_CLOEXEC);
    if (lockFd < 0) return fd;  // a PTY of nobody's node
    map[fd] = Stand{pty, lockFd};
    gAnyStand = true;
    return lockFd;
}

bool isLockCommand(int command) {
    return command == F_GETLK || command == F_SETLK || command == F_SETLKW ||
           command == F_GETLK64 || command == F_SETLK64 || command == F_SETLKW64 ||
           command == F_OFD_GETLK || command == F_OFD_SETLK || command == F_OFD_SETLKW;
}

// glibc reads fcntl's third argument as a pointer whatever the command.
int forwardFcntl(FcntlCall next, int fd, int command, void* argument) {
    if (next == nullptr) {
        errno = ENOSYS;
        return -1;
    }
    return next(isLockCommand(command) ? lockTarget(fd) : fd, command, argument);
}

}  // namespace

extern "C" {

int tsdemuFlock(int fd, int operation) {
    const FlockCall next = nextFlock();
    if (next == nullptr) {
        errno = ENOSYS;
        return -1;
    }
    return next(lockTarget(fd), operation);
}

int tsdemuFcntl(int fd, int command, ...) {
    va_list arguments;
    va_start(arguments, command);
    void* argument = va_arg(arguments, void*);
    va_end(arguments);
    return forwardFcntl(nextFcntl(), fd, command, argument);
}

int tsdemuFcntl64(int fd, int command, ...) {
    va_list arguments;
    va_start(arguments, command);
    void* argument = va_arg(arguments, void*);
    va_end(arguments);
    return forwardFcntl(nextFcntl64(), fd, command, argument);
}

// The node's stand-in goes with it, and with it the locks, as when the
// kernel's last reference to an open file goes.
int tsdemuClose(int fd) {
    if (gAnyStand.load(std::memory_order_relaxed)) {
        std::lock_guard<std::mutex> guard(gStandsLock);
        auto& map = stands();
        const auto found = map.find(fd);
        if (found != map.end()) {
            nextClose()(found->second.lockFd);
            map.erase(found);
        }
    }
    return nextClose()(fd);
}

}  // extern "C"
