#include "common/wake_fd.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

namespace touchsdk {

UniqueFd makeWakeFd() { return UniqueFd(eventfd(0, EFD_CLOEXEC)); }

void signalWakeFd(int fd) {
    // A write of 1 can block only once the counter nears 2^64, which nobody
    // reaches: the descriptor is never drained and written once per stop.
    const uint64_t one = 1;
    while (write(fd, &one, sizeof one) < 0 && errno == EINTR) {
    }
}

}  // namespace touchsdk
