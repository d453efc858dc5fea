#pragma once

#include <cstdint>

namespace touchsdk {

// The exchange's waits between sends and polls: `ms` milliseconds, 0 only
// yields the processor. In a file of its own so that a build that must not
// sleep (the fuzzers) links its own.
void pauseMilliseconds(uint8_t ms);

}  // namespace touchsdk
