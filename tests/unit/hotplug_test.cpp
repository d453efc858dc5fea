#include "device/hotplug.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace touchsdk {
namespace {

TEST(HotplugActions, OnlyAddAndRemoveHaveCodes) {
    EXPECT_EQ(actionCode("add"), 0);
    EXPECT_EQ(actionCode("remove"), 1);
    EXPECT_EQ(actionCode("change"), -1);
    EXPECT_EQ(actionCode("added"), -1);
    EXPECT_EQ(actionCode(""), -1);
    EXPECT_EQ(actionCode(nullptr), -1);
}

// Thread ids of this process, read through a directory opened beforehand so
// that reading needs no new descriptor.
std::set<std::string> threadIds(DIR* tasks) {
    ::rewinddir(tasks);
    std::set<std::string> ids;
    while (const dirent* entry = ::readdir(tasks)) {
        if (entry->d_name[0] != '.') ids.insert(entry->d_name);
    }
    return ids;
}

bool anyStillListed(DIR* tasks, const std::set<std::string>& ids) {
    const std::set<std::string> now = threadIds(tasks);
    for (const std::string& id : ids) {
        if (now.count(id) != 0) return true;
    }
    return false;
}

// Occupies every free descriptor slot but one.
std::vector<int> leaveOneDescriptorFree() {
    std::vector<int> fillers;
    for (int fd = ::dup(0); fd >= 0; fd = ::dup(0)) fillers.push_back(fd);
    if (!fillers.empty()) {
        ::close(fillers.back());
        fillers.pop_back();
    }
    return fillers;
}

// With no descriptor left for the monitor's socket the watcher gives up at
// once: the create still succeeds, the thread ends by itself and the delete
// still works.
TEST(HotplugWatcher, MonitorThatCannotBeSetUp) {
    // A first watcher brings up whatever helper threads the runtime starts
    // with the first thread of a process (a sanitizer's, say).
    NotificationHandle warmUp = nullptr;
    ASSERT_EQ(TsdCreateTouchScreenNotificationA(&warmUp, nullptr, nullptr), TSD_OK);
    TsdDeleteTouchScreenNotification(warmUp);
    DIR* tasks = ::opendir("/proc/self/task");
    ASSERT_NE(tasks, nullptr);
    const std::set<std::string> before = threadIds(tasks);
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
    rlimit tight = saved;
    tight.rlim_cur = 256;
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &tight), 0);
    const std::vector<int> fillers = leaveOneDescriptorFree();  // for the stop descriptor
    NotificationHandle handle = nullptr;
    const TsdResult created = TsdCreateTouchScreenNotificationA(&handle, nullptr, nullptr);
    // The watcher existed when the create returned; it may be gone already.
    std::set<std::string> started;
    for (const std::string& id : threadIds(tasks)) {
        if (before.count(id) == 0) started.insert(id);
    }
    bool ended = false;
    for (int i = 0; i < 2000 && !ended; ++i) {
        ended = !anyStillListed(tasks, started);
        if (!ended) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    for (int fd : fillers) ::close(fd);
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &saved), 0);
    ::closedir(tasks);
    ASSERT_EQ(created, TSD_OK);
    EXPECT_TRUE(ended);
    EXPECT_EQ(TsdDeleteTouchScreenNotification(handle), TSD_OK);
}

}  // namespace
}  // namespace touchsdk
