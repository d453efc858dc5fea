#include <gtest/gtest.h>

#include <csignal>

#include "emulated_screen_fixture.h"
#include "preload.h"

int main(int argc, char** argv) {
    // On the kernel the library must see the real /sys and /dev.
    if (!tsdtest::onKernel()) tsdemu::ensureUmockdevPreload(argv);
    // Closing an emulated node's PTY end may raise SIGHUP.
    std::signal(SIGHUP, SIG_IGN);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
