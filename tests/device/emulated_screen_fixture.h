#pragma once

#include <dirent.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "eventually.h"
#include "presentation.h"
#include "testbed.h"
#include "thread_list.h"
#include "touchsdk.h"

namespace tsdtest {

// The device tests run on either presentation of the emulated screen:
// umockdev inside this process (the default), or with
// TSD_TEST_PRESENTATION=usbip the kernel's own usbhid, hidraw and udev,
// the screen served over USB/IP by a thread of this process (root, and a
// kernel with vhci-hcd, e.g. in scripts/vm-run.sh).
//
// What only umockdev can stage skips on the kernel, each case with its
// reason (TSD_UMOCKDEV_ONLY):
//   CommandExchange.FailedSendsAreRetriedAndInterruptionsCostNoAttempt (its EINTR half)
//   DeviceHandle.RefusesWhatCannotBeOpened, Discovery.SkipsWhatDoesNotQualify (the
//     screens without a USB parent, that cannot be opened, or whose descriptor
//     the kernel refuses; the rest runs)
//   CommandExchange.EveryExportStopsAtTheFirstSignOfAGoneScreen
//   DeviceHandle.SerialNumberIsWidenedBytewise
//   Hotplug.OtherSubsystemsAreReportedOtherActionsAreNot
//   UnreadReports.FullNodeDropsOldestAndCommandsStillWork
// and the other way round, what only the kernel can do skips on umockdev:
//   HungScreen.RequestTimesOutNodeStillClosesScreenRecovers
inline bool onKernel() {
    const char* chosen = std::getenv("TSD_TEST_PRESENTATION");
    return chosen != nullptr && std::strcmp(chosen, "usbip") == 0;
}

#define TSD_UMOCKDEV_ONLY(reason) \
    if (::tsdtest::onKernel()) GTEST_SKIP() << "umockdev only: " << (reason)

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
    tsdemu::PresentedScreen& plugScreen(const tsdemu::ScreenIdentity& identity = {}) {
        tsdemu::PresentedScreen& screen = presentation_->plug(identity);
        const std::string node = nodeOf(screen);
        if (!node.empty()) nodes_.push_back({&screen, node, descriptorsOn(node)});
        return screen;
    }

    void unplug(tsdemu::PresentedScreen& screen) { presentation_->unplug(screen); }

    // For what only umockdev can stage; the test skips on the kernel first.
    tsdemu::Testbed& testbed() { return dynamic_cast<tsdemu::Testbed&>(*presentation_); }

    TouchScreenHandle openScreen(const tsdemu::PresentedScreen& screen) {
        TouchScreenHandle handle = nullptr;
        EXPECT_EQ(TsdOpenTouchScreenA(screen.syspath().c_str(), &handle), TSD_OK);
        if (handle != nullptr) handles_.push_back(handle);
        return handle;
    }

    // Descriptors open on the screen's node, wherever they came from.
    std::size_t openNodeCount(const tsdemu::PresentedScreen& screen) {
        return descriptorsOn(nodeOf(screen));
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
        // An unplugged screen's node is gone (or another screen's), and
        // with it the way to tell.
        for (const OpenNode& node : nodes_) {
            if (!node.screen->plugged()) continue;
            EXPECT_EQ(descriptorsOn(node.target), node.descriptorsAtPlug)
                << "a descriptor on " << node.target << " was left open";
        }
    }

private:
    // What descriptors on the node point at: a umockdev node is a link to
    // a PTY, a kernel node is itself.
    std::string nodeOf(const tsdemu::PresentedScreen& screen) {
        if (onKernel()) return screen.devnode();
        return linkTarget(testbed().rootDir() + screen.devnode());
    }

    std::unique_ptr<tsdemu::Presentation> presentation_ = tsdemu::makePresentation(
        onKernel() ? tsdemu::PresentationKind::Usbip : tsdemu::PresentationKind::Umockdev);

    struct OpenNode {
        const tsdemu::PresentedScreen* screen;
        std::string target;
        std::size_t descriptorsAtPlug;
    };
    std::vector<TouchScreenHandle> handles_;
    std::vector<OpenNode> nodes_;
};

}  // namespace tsdtest
