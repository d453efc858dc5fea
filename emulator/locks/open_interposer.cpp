// Takes the place of open() in a process that sees emulated screens. Each
// open of an emulated node must land on a PTY of its own, and the testbed
// moves the node's link on to a fresh PTY only once it has seen the open
// (see node_file.h); a second open in between would share the first one's
// PTY, and with it a poll readiness that the other's reports keep raised.
// So opens of nodes take turns, across the testbed's processes, and each
// waits, boundedly, until the link has moved on.
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/file.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

#include "node_lock_registry.h"

#define TSDEMU_INTERPOSE(name) __asm__(name) __attribute__((visibility("default")))

extern "C" {
int tsdemuOpen(const char* path, int flags, ...) TSDEMU_INTERPOSE("open");
int tsdemuOpen64(const char* path, int flags, ...) TSDEMU_INTERPOSE("open64");
}

namespace {

using OpenCall = int (*)(const char*, int, ...);

// The testbed sees an open within a few milliseconds; one that it misses
// for this long is left to share the PTY rather than stall the program.
constexpr long kLinkWaitMicroseconds = 500000;
constexpr long kLinkPollMicroseconds = 100;

std::mutex gOpening;  // the process's threads take turns before the file lock

std::string linkTarget(const std::string& link) {
    char target[256];
    const ssize_t n = ::readlink(link.c_str(), target, sizeof target - 1);
    if (n <= 0) return {};
    target[n] = '\0';
    return target;
}

// The PTY slave `fd` is open on, when it is one the testbed handed out.
std::string emulatedPty(int fd, const std::string& lockDir) {
    const std::string pty = linkTarget("/proc/self/fd/" + std::to_string(fd));
    if (pty.compare(0, 9, "/dev/pts/") != 0) return {};
    return ::access(tsdemu::ptyLockEntry(lockDir, pty).c_str(), F_OK) == 0 ? pty : std::string();
}

void waitUntilMoved(const std::string& link, const std::string& pty) {
    const timespec pause{0, kLinkPollMicroseconds * 1000L};
    for (long waited = 0; waited < kLinkWaitMicroseconds; waited += kLinkPollMicroseconds) {
        if (linkTarget(link) != pty) return;
        ::nanosleep(&pause, nullptr);
    }
}

int openInTurn(OpenCall next, const char* path, int flags, mode_t mode) {
    if (next == nullptr) {
        errno = ENOSYS;
        return -1;
    }
    const char* root = std::getenv("UMOCKDEV_DIR");
    if (root == nullptr || path == nullptr || std::strncmp(path, "/dev/", 5) != 0) {
        return next(path, flags, mode);
    }
    // Only a node's link in the testbed leads to a PTY; the PTYs themselves
    // are opened straight away, by the testbed among others.
    const std::string link = root + std::string(path);
    if (linkTarget(link).compare(0, 9, "/dev/pts/") != 0) return next(path, flags, mode);
    const std::string lockDir = tsdemu::nodeLockDir(root);
    std::lock_guard<std::mutex> guard(gOpening);
    const int turn = next((lockDir + "/opening").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (turn >= 0) ::flock(turn, LOCK_EX);
    const int fd = next(path, flags, mode);
    const int error = errno;
    if (fd >= 0) {
        const std::string pty = emulatedPty(fd, lockDir);
        if (!pty.empty()) waitUntilMoved(link, pty);
    }
    if (turn >= 0) ::close(turn);
    errno = error;
    return fd;
}

mode_t modeOf(int flags, va_list arguments) {
    return (flags & O_CREAT) != 0 || (flags & O_TMPFILE) == O_TMPFILE
               ? static_cast<mode_t>(va_arg(arguments, int))
               : 0;
}

}  // namespace

extern "C" {

int tsdemuOpen(const char* path, int flags, ...) {
    va_list arguments;
    va_start(arguments, flags);
    const mode_t mode = modeOf(flags, arguments);
    va_end(arguments);
    static const auto next = reinterpret_cast<OpenCall>(::dlsym(RTLD_NEXT, "open"));
    return openInTurn(next, path, flags, mode);
}

int tsdemuOpen64(const char* path, int flags, ...) {
    va_list arguments;
    va_start(arguments, flags);
    const mode_t mode = modeOf(flags, arguments);
    va_end(arguments);
    static const auto next = reinterpret_cast<OpenCall>(::dlsym(RTLD_NEXT, "open64"));
    return openInTurn(next, path, flags, mode);
}

}  // extern "C"
