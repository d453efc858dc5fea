#include <gtest/gtest.h>

#include <csignal>

#include "preload.h"

int main(int argc, char** argv) {
    tsdemu::ensureUmockdevPreload(argv);
    // Closing an emulated node's PTY end may raise SIGHUP.
    std::signal(SIGHUP, SIG_IGN);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
