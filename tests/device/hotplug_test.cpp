#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <clocale>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "emulated_screen_fixture.h"

namespace {

using namespace std::chrono_literals;

struct Event {
    uint32_t action;
    std::string path;
    bool operator==(const Event& other) const {
        return action == other.action && path == other.path;
    }
};

// What a watcher reported, with a bounded wait for more.
class Events {
public:
    static void onNarrow(void* context, uint32_t action, const char* path) {
        static_cast<Events*>(context)->add({action, path != nullptr ? path : "<null>"});
    }
    static void onWide(void* context, uint32_t action, const wchar_t* path) {
        std::string narrow = "<null>";
        if (path != nullptr) {
            narrow.clear();
            for (const wchar_t* p = path; *p != L'\0'; ++p) narrow += static_cast<char>(*p);
        }
        static_cast<Events*>(context)->add({action, narrow});
    }

    // Given `among` (syspaths), only the events of those devices count: the
    // kernel also announces a hiddev node beside the screen's own chain.
    bool waitFor(std::size_t count, const std::vector<std::string>& among = {}) {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, 10s, [&] { return filtered(among).size() >= count; });
    }
    std::vector<Event> list(const std::vector<std::string>& among = {}) {
        std::lock_guard<std::mutex> guard(mutex_);
        return filtered(among);
    }

private:
    std::vector<Event> filtered(const std::vector<std::string>& among) const {
        if (among.empty()) return events_;
        std::vector<Event> kept;
        for (const Event& event : events_) {
            for (const std::string& syspath : among) {
                if (event.path == syspath.substr(4)) kept.push_back(event);
            }
        }
        return kept;
    }

    void add(Event event) {
        std::lock_guard<std::mutex> guard(mutex_);
        events_.push_back(std::move(event));
        changed_.notify_all();
    }
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Event> events_;
};

std::vector<Event> chainEvents(const std::vector<std::string>& syspaths, uint32_t action) {
    std::vector<Event> events;
    for (const std::string& syspath : syspaths) events.push_back({action, syspath.substr(4)});
    return events;
}

class Hotplug : public tsdtest::EmulatedScreenTest {
protected:
    NotificationHandle watch(Events& events) {
        NotificationHandle handle = nullptr;
        EXPECT_EQ(TsdCreateTouchScreenNotificationA(&handle, Events::onNarrow, &events), TSD_OK);
        return handle;
    }
};

TEST_F(Hotplug, ReportsEveryDeviceOfAScreenOnPlugAndUnplug) {
    Events events;
    NotificationHandle handle = watch(events);
    tsdemu::PresentedScreen& screen = plugScreen();
    const std::vector<std::string> chain = screen.chainSyspaths();
    ASSERT_TRUE(events.waitFor(chain.size(), chain));
    EXPECT_EQ(events.list(chain), chainEvents(chain, TSD_ACTION_ADD));

    unplug(screen);
    ASSERT_TRUE(events.waitFor(2 * chain.size(), chain));
    std::vector<Event> expected = chainEvents(chain, TSD_ACTION_ADD);
    std::vector<std::string> bottomUp(chain.rbegin(), chain.rend());
    for (const Event& event : chainEvents(bottomUp, TSD_ACTION_REMOVE)) expected.push_back(event);
    EXPECT_EQ(events.list(chain), expected);
    // The screen's own: a kernel that loads usbhid for it also announces the
    // module, the bus and the driver, whose paths are not devices.
    for (const Event& event : events.list(chain)) {
        EXPECT_EQ(event.path.rfind("/devices/", 0), 0U) << event.path;
    }
    EXPECT_EQ(TsdDeleteTouchScreenNotification(handle), TSD_OK);
}

TEST_F(Hotplug, OtherSubsystemsAreReportedOtherActionsAreNot) {
    TSD_UMOCKDEV_ONLY("made-up uevents and a device of another subsystem");
    tsdemu::PresentedScreen& screen = plugScreen();
    Events events;
    NotificationHandle handle = watch(events);
    testbed().uevent(screen.syspath(), "change");
    testbed().uevent(screen.syspath(), "bind");
    const std::string net = testbed().addOtherDevice("net", "eth7");
    ASSERT_TRUE(events.waitFor(1));
    testbed().removeOtherDevice(net);
    ASSERT_TRUE(events.waitFor(2));
    // Events arrive in order: the two before the "add" made no call.
    const std::vector<Event> expected = {{TSD_ACTION_ADD, net.substr(4)},
                                         {TSD_ACTION_REMOVE, net.substr(4)}};
    EXPECT_EQ(events.list(), expected);
    EXPECT_EQ(TsdDeleteTouchScreenNotification(handle), TSD_OK);
}

TEST_F(Hotplug, NoCallbackAfterDeleteReturns) {
    Events events;
    NotificationHandle handle = watch(events);
    EXPECT_EQ(TsdDeleteTouchScreenNotification(handle), TSD_OK);
    Events marker;  // a live watcher shows when the events have gone out
    NotificationHandle live = watch(marker);
    plugScreen();
    ASSERT_TRUE(marker.waitFor(4));
    EXPECT_TRUE(events.list().empty());
    EXPECT_EQ(TsdDeleteTouchScreenNotification(live), TSD_OK);
}

TEST_F(Hotplug, NullCallbackRunsAndReportsNothing) {
    NotificationHandle handle = nullptr;
    ASSERT_EQ(TsdCreateTouchScreenNotificationA(&handle, nullptr, nullptr), TSD_OK);
    NotificationHandle wide = nullptr;
    ASSERT_EQ(TsdCreateTouchScreenNotificationW(&wide, nullptr, nullptr), TSD_OK);
    plugScreen();
    Events marker;  // a third watcher shows the events have gone out
    NotificationHandle third = watch(marker);
    plugScreen();
    ASSERT_TRUE(marker.waitFor(4));
    EXPECT_EQ(TsdDeleteTouchScreenNotification(handle), TSD_OK);
    EXPECT_EQ(TsdDeleteTouchScreenNotification(wide), TSD_OK);
    EXPECT_EQ(TsdDeleteTouchScreenNotification(third), TSD_OK);
}

TEST_F(Hotplug, NullArguments) {
    EXPECT_EQ(TsdCreateTouchScreenNotificationA(nullptr, Events::onNarrow, nullptr), TSD_FAILURE);
    EXPECT_EQ(TsdCreateTouchScreenNotificationW(nullptr, Events::onWide, nullptr), TSD_FAILURE);
    EXPECT_EQ(TsdDeleteTouchScreenNotification(nullptr), TSD_OK);
}

TEST_F(Hotplug, TwoWatchersBothHearEverything) {
    Events first;
    Events second;
    NotificationHandle a = watch(first);
    NotificationHandle b = watch(second);
    const std::vector<std::string> chain = plugScreen().chainSyspaths();
    ASSERT_TRUE(first.waitFor(chain.size(), chain));
    ASSERT_TRUE(second.waitFor(chain.size(), chain));
    // udevd's workers announce different devices concurrently, so on the
    // kernel two monitors may hear the same events in another order.
    auto sorted = [](std::vector<Event> events) {
        std::sort(events.begin(), events.end(), [](const Event& x, const Event& y) {
            return std::tie(x.path, x.action) < std::tie(y.path, y.action);
        });
        return events;
    };
    EXPECT_EQ(sorted(first.list()), sorted(second.list()));
    EXPECT_EQ(TsdDeleteTouchScreenNotification(a), TSD_OK);
    EXPECT_EQ(TsdDeleteTouchScreenNotification(b), TSD_OK);
}

TEST_F(Hotplug, WideVariantLeavesTheApplicationsLocaleAlone) {
    const std::string before = std::setlocale(LC_ALL, nullptr);
    ASSERT_NE(std::setlocale(LC_ALL, "C.UTF-8"), nullptr);
    Events events;
    NotificationHandle handle = nullptr;
    ASSERT_EQ(TsdCreateTouchScreenNotificationW(&handle, Events::onWide, &events), TSD_OK);
    const std::vector<std::string> chain = plugScreen().chainSyspaths();
    ASSERT_TRUE(events.waitFor(chain.size(), chain));
    EXPECT_EQ(events.list(chain), chainEvents(chain, TSD_ACTION_ADD));
    EXPECT_EQ(TsdDeleteTouchScreenNotification(handle), TSD_OK);
    EXPECT_STREQ(std::setlocale(LC_ALL, nullptr), "C.UTF-8");
    std::setlocale(LC_ALL, before.c_str());
}

TEST_F(Hotplug, DeleteFromItsOwnCallbackDoesNotDeadlock) {
    // Static: the detached thread's last touches of it are invisible to the
    // test, so its memory must never be reused.
    static struct SelfDeleting {
        std::atomic<NotificationHandle> handle{nullptr};
        Events events;
    } state;
    NotificationHandle handle = nullptr;
    ASSERT_EQ(TsdCreateTouchScreenNotificationA(
                  &handle,
                  [](void* context, uint32_t action, const char* path) {
                      auto* self = static_cast<SelfDeleting*>(context);
                      Events::onNarrow(&self->events, action, path);
                      TsdDeleteTouchScreenNotification(self->handle.exchange(nullptr));
                  },
                  &state),
              TSD_OK);
    state.handle = handle;
    plugScreen();
    ASSERT_TRUE(state.events.waitFor(1));
    // The watcher ends after its first event; wait for its thread to go.
    EXPECT_TRUE(tsdtest::noLibraryThreadsRemain());
    EXPECT_EQ(state.events.list().size(), 1U);
}

}  // namespace
