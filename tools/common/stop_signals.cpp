#include "stop_signals.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <array>
#include <cerrno>

#include "exit_status.h"

namespace tsdtool {

namespace {

constexpr std::array<int, 3> kStopSignals = {SIGINT, SIGTERM, SIGHUP};
// Set while a StopSignals lives; the handler may only touch these.
volatile int gWriteFd = -1;
volatile sig_atomic_t gLastSignal = 0;

void wake(int fd) {
    // The interrupted code may be reading errno right now.
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(fd, &byte, 1);
    errno = saved;
}

extern "C" void onStopSignal(int number) {
    gLastSignal = number;
    wake(gWriteFd);
}

}  // namespace

StopSignals::StopSignals() {
    int fds[2];
    // Non-blocking: a burst of signals must never block the handler on a full pipe.
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) {
        throw Failure(Exit::Failed, "cannot watch for signals");
    }
    readFd_ = fds[0];
    gWriteFd = fds[1];
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < kStopSignals.size(); ++i) {
        ::sigaction(kStopSignals[i], &action, &saved_[i]);
    }
}

StopSignals::~StopSignals() {
    for (std::size_t i = 0; i < kStopSignals.size(); ++i) {
        ::sigaction(kStopSignals[i], &saved_[i], nullptr);
    }
    ::close(gWriteFd);
    gWriteFd = -1;
    ::close(readFd_);
}

void StopSignals::stop() const { wake(gWriteFd); }

void StopSignals::wait() const {
    pollfd entry{readFd_, POLLIN, 0};
    while (::poll(&entry, 1, -1) < 0 && errno == EINTR) {
    }
}

bool StopSignals::take() const {
    char buffer[16];
    bool any = false;
    while (::read(readFd_, buffer, sizeof buffer) > 0) any = true;
    return any;
}

int StopSignals::lastSignal() { return gLastSignal; }

}  // namespace tsdtool
