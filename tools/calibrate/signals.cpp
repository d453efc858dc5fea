#include "signals.h"

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <csignal>

namespace tsdcal {
namespace {

constexpr std::array<int, 3> kStopSignals = {SIGINT, SIGTERM, SIGHUP};
int gWriteFd = -1;
struct sigaction gSaved[kStopSignals.size()];

extern "C" void onCalibratorStop(int) {
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(gWriteFd, &byte, 1);
    errno = saved;
}

}  // namespace

SignalPipe::SignalPipe() {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) return;
    readFd_ = fds[0];
    gWriteFd = fds[1];
    struct sigaction action {};
    action.sa_handler = onCalibratorStop;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < kStopSignals.size(); ++i) {
        ::sigaction(kStopSignals[i], &action, &gSaved[i]);
    }
}

SignalPipe::~SignalPipe() {
    if (readFd_ < 0) return;
    for (std::size_t i = 0; i < kStopSignals.size(); ++i)
        ::sigaction(kStopSignals[i], &gSaved[i], nullptr);
    ::close(gWriteFd);
    ::close(readFd_);
    gWriteFd = -1;
}

bool SignalPipe::take() const {
    char buffer[16];
    bool any = false;
    while (::read(readFd_, buffer, sizeof buffer) > 0) any = true;
    return any;
}

}  // namespace tsdcal
