#include <poll.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

#include "commands.h"

namespace tsdctl {

namespace {

// Written once to end the stream, by the signal handler or stopWaiting().
int gStop = -1;

void wake() {
    const uint64_t one = 1;
    (void)!::write(gStop, &one, sizeof one);
}

void onSignal(int) { wake(); }

}  // namespace

void armStop() {
    if (gStop >= 0) return;
    gStop = ::eventfd(0, EFD_CLOEXEC);
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
}

int stopDescriptor() { return gStop; }

void waitForStop() {
    pollfd entry{gStop, POLLIN, 0};
    while (::poll(&entry, 1, -1) < 0 && errno == EINTR) {
    }
}

void stopWaiting() { wake(); }

}  // namespace tsdctl
