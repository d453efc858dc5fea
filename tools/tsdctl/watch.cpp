// watch: supported screens (or, with --all, every device) coming and going.
#include <libudev.h>
#include <poll.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "commands.h"

namespace tsdctl {

namespace {

struct Watch {
    bool json = false;
    unsigned long limit = 0;
    std::atomic<unsigned long> printed{0};
    const tsdtool::StopSignals* stop = nullptr;
    std::mutex mutex;
    // The supported screens present, by syspath: what a removal is told by,
    // since by then the screen can no longer be asked what it was. Guarded
    // by mutex.
    std::map<std::string, Screen> screens;
};

void emit(Watch& watch, const std::string& json, const std::string& text) {
    const unsigned long count = ++watch.printed;
    if (watch.limit != 0 && count > watch.limit) return;
    printLine(watch.json ? json : arrivalTime() + " " + text);
    if (count == watch.limit) watch.stop->stop();
}

void emitScreen(Watch& watch, const char* action, const Screen& screen) {
    JsonObject json = versioned().add("time", arrivalTime()).add("action", action);
    addIdentity(json, screen);
    char text[1024];
    std::snprintf(text, sizeof text, "%-6s %-13s %s:%s  %-16s %s", action, screen.devnode.c_str(),
                  screen.vendor.c_str(), screen.product.c_str(),
                  screen.serial ? screen.serial->c_str() : "-", screen.syspath.c_str());
    emit(watch, json.str(), text);
}

// The library reports every device's uevents; only supported screens are
// shown.
void onDevice(void* context, uint32_t action, const char* path) {
    if (path == nullptr) return;
    auto& watch = *static_cast<Watch*>(context);
    const std::string syspath =
        std::string(path).rfind("/sys/", 0) == 0 ? path : "/sys" + std::string(path);
    std::lock_guard<std::mutex> lock(watch.mutex);
    if (action == TSD_ACTION_REMOVE) {
        const auto known = watch.screens.find(syspath);
        if (known == watch.screens.end()) return;
        emitScreen(watch, "remove", known->second);
        watch.screens.erase(known);
        return;
    }
    if (syspath.find("/hidraw/hidraw") == std::string::npos || watch.screens.count(syspath)) {
        return;
    }
    for (const Screen& screen : tsdtool::listScreens()) {
        if (screen.syspath != syspath) continue;
        watch.screens.emplace(syspath, screen);
        emitScreen(watch, "add", screen);
    }
}

Exit watchScreens(Watch& watch) {
    {
        std::lock_guard<std::mutex> lock(watch.mutex);
        for (const Screen& screen : tsdtool::listScreens()) {
            watch.screens.emplace(screen.syspath, screen);
        }
    }
    NotificationHandle handle = nullptr;
    if (TsdCreateTouchScreenNotificationA(&handle, onDevice, &watch) != TSD_OK) {
        throw Failure(Exit::Failed, "cannot watch for screens");
    }
    std::fprintf(stderr, "watching for screens (Ctrl-C to stop)\n");
    watch.stop->wait();
    TsdDeleteTouchScreenNotification(handle);
    return Exit::Ok;
}

struct UdevDeleter {
    void operator()(udev* u) const { udev_unref(u); }
    void operator()(udev_monitor* m) const { udev_monitor_unref(m); }
    void operator()(udev_device* d) const { udev_device_unref(d); }
};

std::string text(const char* value) { return value != nullptr ? value : ""; }

void emitDevice(Watch& watch, udev_device* device) {
    const std::string action = text(udev_device_get_action(device));
    const std::string syspath = text(udev_device_get_syspath(device));
    const std::string subsystem = text(udev_device_get_subsystem(device));
    char line[1024];
    std::snprintf(line, sizeof line, "%-6s %-13s %s", action.c_str(), subsystem.c_str(),
                  syspath.c_str());
    emit(watch,
         versioned()
             .add("time", arrivalTime())
             .add("action", action)
             .add("syspath", syspath)
             .add("subsystem", subsystem)
             .str(),
         line);
}

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
                             {watch.stop->fd(), POLLIN, 0}};
        if (::poll(entries, 2, -1) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (entries[1].revents != 0) break;
        std::unique_ptr<udev_device, UdevDeleter> device(
            udev_monitor_receive_device(monitor.get()));
        if (device) emitDevice(watch, device.get());
    }
    return Exit::Ok;
}

}  // namespace

Exit watchCommand(const Options& args) {
    if (!args.words().empty()) usageError("watch takes no SCREEN");
    Watch watch;
    watch.json = args.has("json");
    watch.limit = countOption(args);
    const tsdtool::StopSignals stop;
    watch.stop = &stop;
    return args.has("all") ? watchAll(watch) : watchScreens(watch);
}

}  // namespace tsdctl
