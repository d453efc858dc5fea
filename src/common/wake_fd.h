#pragma once

#include "common/unique_fd.h"

namespace touchsdk {

// An eventfd that a thread polls beside the descriptor it waits on, so that
// a stop reaches a thread blocked in poll() at once, with no time-out. It is
// how every library thread that waits on a descriptor is stopped.
// Invalid when the process is out of descriptors.
UniqueFd makeWakeFd();
// Makes the descriptor readable; it stays readable, since nobody drains it.
void signalWakeFd(int fd);

}  // namespace touchsdk
