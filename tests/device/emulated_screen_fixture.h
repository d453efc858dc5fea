#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "eventually.h"
#include "testbed.h"
#include "thread_list.h"
#include "touchsdk.h"

namespace tsdtest {

// Joined threads may stay listed for a moment (under qemu-user in
// particular), so this waits, with a generous bound, for the list to empty.
inline bool noLibraryThreadsRemain() {
    return eventually([] { return libraryThreads().empty(); });
}

// A testbed with helpers to plug emulated screens and open them through the
// library. Tear-down closes what the test left open and checks that none of
// the library's threads outlived the test.
class EmulatedScreenTest : public ::testing::Test {
protected:
    tsdemu::EmulatedScreen& plugScreen(const tsdemu::ScreenIdentity& identity = {}) {
        tsdemu::EmulatedScreen& screen = testbed.plug(identity);
        screens_.push_back(&screen);
        return screen;
    }

    TouchScreenHandle openScreen(const tsdemu::EmulatedScreen& screen) {
        TouchScreenHandle handle = nullptr;
        EXPECT_EQ(TsdOpenTouchScreenA(screen.syspath().c_str(), &handle), TSD_OK);
        if (handle != nullptr) handles_.push_back(handle);
        return handle;
    }

    // Files open on the screen's node, wherever they came from.
    std::size_t openNodeCount(const tsdemu::EmulatedScreen& screen) { return screen.openFiles(); }

    TouchScreenHandle plugAndOpen(const tsdemu::ScreenIdentity& identity = {}) {
        return openScreen(plugScreen(identity));
    }

    // For a test that closes a handle itself.
    void forget(TouchScreenHandle handle) {
        for (auto& kept : handles_) {
            if (kept == handle) {
                kept = nullptr;
            }
        }
    }

    void TearDown() override {
        for (TouchScreenHandle handle : handles_) {
            if (handle != nullptr) {
                EXPECT_EQ(TsdCloseTouchScreen(handle), TSD_OK);
            }
        }
        handles_.clear();
        EXPECT_TRUE(noLibraryThreadsRemain()) << "a library thread outlived the test";
        // An unplugged screen's PTYs are gone, and with them the way to tell.
        for (const tsdemu::EmulatedScreen* screen : screens_) {
            if (!screen->plugged()) continue;
            EXPECT_EQ(screen->openFiles(), 0U) << "a descriptor on " << screen->devnode()
                                               << " was left open";
        }
    }

    tsdemu::Testbed testbed;

private:
    std::vector<TouchScreenHandle> handles_;
    std::vector<const tsdemu::EmulatedScreen*> screens_;
};

}  // namespace tsdtest
