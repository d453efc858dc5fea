#pragma once

#include <cstdio>
#include <cstdlib>

// An invariant of the code under test: on failure the input is a finding,
// and libFuzzer keeps it as a crash.
#define FUZZ_CHECK(condition)                                                            \
    do {                                                                                 \
        if (!(condition)) {                                                              \
            std::fprintf(stderr, "invariant broken: %s (%s:%d)\n", #condition, __FILE__, \
                         __LINE__);                                                      \
            std::abort();                                                                \
        }                                                                                \
    } while (false)
