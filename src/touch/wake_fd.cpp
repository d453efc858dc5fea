#include "touch/wake_fd.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

namespace touchsdk {

UniqueFd makeWakeFd() { return UniqueFd(eventfd(0, EFD_CLOEXEC)); }

void signalWakeFd(int fd) {
    const uint64_t one = 1;
    while (write(fd, &one, sizeof one) < 0 && errno == EINTR) {
    }
}

}  // namespace touchsdk
