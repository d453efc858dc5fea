// watch: supported screens (or, with --all, every device) coming and going.
#include <libudev.h>
#include <poll.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <memory>
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
};

// `subsystem` is known (and printed) only with --all.
void emit(Watch& watch, const std::string& action, const std::string& path,
          const std::string& subsystem = {}) {
    const unsigned long count = ++watch.printed;
    if (watch.limit != 0 && count > watch.limit) return;
    if (watch.json) {
        JsonObject object = versioned().add("action", action).add("path", path);
        if (!subsystem.empty()) object.add("subsystem", subsystem);
        printLine(object.str());
    } else {
        const std::string padded = (action + "      ").substr(0, 7);
        printLine(padded + (subsystem.empty() ? "" : subsystem + " ") + path);
    }
    if (count == watch.limit) stopWaiting();
}

void onScreen(void* context, uint32_t action, const char* path) {
    if (path == nullptr) return;
    emit(*static_cast<Watch*>(context), action == TSD_ACTION_ADD ? "add" : "remove", path);
}

Exit watchScreens(Watch& watch) {
    NotificationHandle handle = nullptr;
    if (TsdCreateTouchScreenNotificationA(&handle, onScreen, &watch) != TSD_OK) {
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
             text(udev_device_get_syspath(device.get())),
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
