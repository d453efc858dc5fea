#include "device/hotplug.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/resource.h>
#include <unistd.h>

#include <optional>
#include <set>
#include <string>
#include <vector>

#include "eventually.h"
#include "thread_list.h"

namespace touchsdk {
namespace {

TEST(HotplugActions, OnlyAddAndRemoveHaveCodes) {
    EXPECT_EQ(actionCode("add"), std::optional<uint32_t>(TSD_ACTION_ADD));
    EXPECT_EQ(actionCode("remove"), std::optional<uint32_t>(TSD_ACTION_REMOVE));
    for (const char* other : {"change", "added", ""}) EXPECT_FALSE(actionCode(other)) << other;
    EXPECT_FALSE(actionCode(nullptr));
}

// Every poll outcome either does work, sleeps again or ends the watcher: a
// socket that only hangs up must not make it poll again at once for ever.
TEST(HotplugWatcher, EachPollResultLeadsToWorkSleepOrTheEnd) {
    struct Case {
        short monitor;
        short wake;
        WatchStep step;
    };
    const Case cases[] = {
        {POLLIN, 0, WatchStep::Receive},
        {POLLERR, 0, WatchStep::Receive},  // lost events: the receive clears it
        {POLLIN | POLLERR, 0, WatchStep::Receive},
        {POLLHUP, 0, WatchStep::Stop},
        {POLLIN | POLLHUP, 0, WatchStep::Stop},
        {POLLNVAL, 0, WatchStep::Stop},
        {0, POLLIN, WatchStep::Stop},
        {POLLIN, POLLIN, WatchStep::Stop},  // the stop wins over pending events
        {0, 0, WatchStep::Wait},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(nextWatchStep(c.monitor, c.wake), c.step)
            << "monitor " << c.monitor << ", wake " << c.wake;
    }
}

bool anyStillListed(DIR* tasks, const std::set<std::string>& ids) {
    const std::set<std::string> now = tsdtest::threadIds(tasks);
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
    const std::set<std::string> before = tsdtest::threadIds(tasks);
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
    for (const std::string& id : tsdtest::threadIds(tasks)) {
        if (before.count(id) == 0) started.insert(id);
    }
    const bool ended = tsdtest::eventually([&] { return !anyStillListed(tasks, started); });
    for (int fd : fillers) ::close(fd);
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &saved), 0);
    ::closedir(tasks);
    ASSERT_EQ(created, TSD_OK);
    EXPECT_TRUE(ended);
    EXPECT_EQ(TsdDeleteTouchScreenNotification(handle), TSD_OK);
}

}  // namespace
}  // namespace touchsdk
