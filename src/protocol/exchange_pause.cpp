#include "protocol/exchange_pause.h"

#include <sched.h>

#include <cerrno>
#include <ctime>

namespace touchsdk {

void pauseMilliseconds(uint8_t ms) {
    if (ms == 0) {
        sched_yield();
        return;
    }
    timespec remaining{0, static_cast<long>(ms) * 1000000L};
    // A signal cuts nanosleep short; the schedule relies on the full pause.
    while (nanosleep(&remaining, &remaining) != 0 && errno == EINTR) {
    }
}

}  // namespace touchsdk
