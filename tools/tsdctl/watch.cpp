// watch: supported screens (or, with --all, every device) coming and going.
#include <libudev.h>
#include <poll.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <memory>
#include <mutex>
#include <set>
#include <string>

#include "commands.h"
#include "json.h"
#include "screens.h"

namespace tsdctl {

namespace {

struct Watch {
    bool json = false;
    unsigned long limit = 0;
    std::atomic<unsigned long> printed{0};
    std::mutex mutex;
    std::set<std::string> screens;  // syspaths of the supported screens present; guarded by mutex
};

// `detail` is the node of a screen, or the subsystem of any device (--all).
void emit(Watch& watch, const std::string& action, const std::string& syspath,
          const char* detailKey, const std::string& detail) {
    const unsigned long count = ++watch.printed;
    if (watch.limit != 0 && count > watch.limit) return;
    if (watch.json) {
        printLine(
            versioned().add("action", action).add("syspath", syspath).add(detailKey, detail).str());
    } else {
        printLine((action + "      ").substr(0, 7) + (detail + "       ").substr(0, 13) + " " +
                  syspath);
    }
    if (count == watch.limit) stopWaiting();
}

std::string devnodeOf(const std::string& syspath) {
    return "/dev/" + syspath.substr(syspath.rfind('/') + 1);
}

// The library reports every device's uevents; only supported screens are
// shown. A screen's removal is known by its path, since by then it can no
// longer be asked what it was.
void onDevice(void* context, uint32_t action, const char* path) {
    if (path == nullptr) return;
    auto& watch = *static_cast<Watch*>(context);
    const std::string syspath =
        std::string(path).rfind("/sys/", 0) == 0 ? path : "/sys" + std::string(path);
    std::lock_guard<std::mutex> lock(watch.mutex);
    if (action == TSD_ACTION_REMOVE) {
        if (watch.screens.erase(syspath) == 0) return;
        emit(watch, "remove", syspath, "devnode", devnodeOf(syspath));
        return;
    }
    if (syspath.find("/hidraw/hidraw") == std::string::npos || watch.screens.count(syspath)) {
        return;
    }
    for (const Screen& screen : listScreens()) {
        if (screen.syspath != syspath) continue;
        watch.screens.insert(syspath);
        emit(watch, "add", syspath, "devnode", screen.devnode);
    }
}

Exit watchScreens(Watch& watch) {
    {
        std::lock_guard<std::mutex> lock(watch.mutex);
        for (const Screen& screen : listScreens()) watch.screens.insert(screen.syspath);
    }
    NotificationHandle handle = nullptr;
    if (TsdCreateTouchScreenNotificationA(&handle, onDevice, &watch) != TSD_OK) {
        throw Failure(Exit::Failed, "cannot watch for screens");
    }
    std::fprintf(stderr, "watching for screens (Ctrl-C to stop)\n");
    waitForStop();
    TsdDeleteTouchScreenNotification(handle);
    return Exit::Ok;
}

struct UdevDeleter {
    void operator()(udev* u) const { udev_unref(u); }
    void operator()(udev_monitor* m) const { udev_monitor_unref(m); }
    void operator()(udev_device* d) const { udev_device_unref(d); }
};

std::string text(const char* value) { return value != nullptr ? value : ""; }

// Every device's uevents, straight from udev, on this thread.
Exit watchAll(Watch& watch) {
    std::unique_ptr<udev, UdevDeleter> context(udev_new());
    std::unique_ptr<udev_monitor, UdevDeleter> monitor(
        context ? udev_monitor_new_from_netlink(context.get(), "udev") : nullptr);
    if (!monitor || udev_monitor_enable_receiving(monitor.get()) < 0) {
        throw Failure(Exit::Failed, "cannot watch udev events");
    }
    std::fprintf(stderr, "watching for devices (Ctrl-C to stop)\n");
    for (;;) {
        pollfd entries[2] = {{udev_monitor_get_fd(monitor.get()), POLLIN, 0},
                             {stopDescriptor(), POLLIN, 0}};
        if (::poll(entries, 2, -1) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (entries[1].revents != 0) break;
        std::unique_ptr<udev_device, UdevDeleter> device(
            udev_monitor_receive_device(monitor.get()));
        if (!device) continue;
        emit(watch, text(udev_device_get_action(device.get())),
             text(udev_device_get_syspath(device.get())), "subsystem",
             text(udev_device_get_subsystem(device.get())));
    }
    return Exit::Ok;
}

}  // namespace

Exit watchCommand(const Words& words) {
    const Args args = parseArgs(words, {{"--json", false}, {"--all", false}, {"--count", true}});
    if (!args.positional().empty()) usageError("watch takes no SCREEN");
    Watch watch;
    watch.json = args.has("--json");
    watch.limit = countOption(args);
    armStop();
    return args.has("--all") ? watchAll(watch) : watchScreens(watch);
}

}  // namespace tsdctl
