#pragma once

#include <dirent.h>
#include <unistd.h>
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

inline std::string linkTarget(const std::string& path) {
    char target[4096];
    const ssize_t n = ::readlink(path.c_str(), target, sizeof target - 1);
    return n > 0 ? std::string(target, static_cast<std::size_t>(n)) : std::string();
}

// Descriptors of this process open on `node` (what its symlinks resolve to).
inline std::size_t descriptorsOn(const std::string& node) {
    std::size_t count = 0;
    DIR* fds = ::opendir("/proc/self/fd");
    if (fds == nullptr) return 0;
    while (const dirent* entry = ::readdir(fds)) {
        if (entry->d_name[0] == '.') continue;
        count += linkTarget(std::string("/proc/self/fd/") + entry->d_name) == node;
    }
    ::closedir(fds);
    return count;
}

// A testbed with helpers to plug emulated screens and open them through the
// library. Tear-down closes what the test left open and checks that none of
// the library's threads outlived the test.
class EmulatedScreenTest : public ::testing::Test {
protected:
    tsdemu::EmulatedScreen& plugScreen(const tsdemu::ScreenIdentity& identity = {}) {
        tsdemu::EmulatedScreen& screen = testbed.plug(identity);
        const std::string node = linkTarget(testbed.rootDir() + screen.devnode());
        if (!node.empty()) nodes_.push_back({&screen, node, descriptorsOn(node)});
        return screen;
    }

    TouchScreenHandle openScreen(const tsdemu::EmulatedScreen& screen) {
        TouchScreenHandle handle = nullptr;
        EXPECT_EQ(TsdOpenTouchScreenA(screen.syspath().c_str(), &handle), TSD_OK);
        if (handle != nullptr) handles_.push_back(handle);
        return handle;
    }

    // Descriptors open on the screen's node, wherever they came from.
    std::size_t openNodeCount(const tsdemu::EmulatedScreen& screen) {
        return descriptorsOn(linkTarget(testbed.rootDir() + screen.devnode()));
    }

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
        // An unplugged screen's PTY is gone, and with it the way to tell.
        for (const OpenNode& node : nodes_) {
            if (!node.screen->plugged()) continue;
            EXPECT_EQ(descriptorsOn(node.target), node.descriptorsAtPlug)
                << "a descriptor on " << node.target << " was left open";
        }
    }

    tsdemu::Testbed testbed;

private:
    struct OpenNode {
        const tsdemu::EmulatedScreen* screen;
        std::string target;  // the node's PTY
        std::size_t descriptorsAtPlug;
    };
    std::vector<TouchScreenHandle> handles_;
    std::vector<OpenNode> nodes_;
};

}  // namespace tsdtest
