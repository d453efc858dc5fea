#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tsdemu {

// Sends uevents to every udev monitor of the processes under the testbed,
// in place of umockdev's own sender, which names each monitor's socket
// after its descriptor number (so a second process with the same number
// silently takes the first one's events) and aborts the whole process when
// a monitor's queue is full.
//
// Each monitor socket that appears in the testbed directory is taken over
// at once: renamed out of umockdev's sight and kept connected, so it stays
// reachable whatever other monitors come and go. A send to a full monitor
// waits a while for room and then drops that one event, as the kernel
// drops events a listener does not read.
class UeventBroadcaster {
public:
    explicit UeventBroadcaster(std::string rootDir);
    ~UeventBroadcaster();
    UeventBroadcaster(const UeventBroadcaster&) = delete;
    UeventBroadcaster& operator=(const UeventBroadcaster&) = delete;

    // One event for the device at `syspath` ("/sys/devices/..."), whose
    // emulated sysfs directory must still exist; `driver` goes with bind
    // and unbind.
    void send(const std::string& syspath, const std::string& action,
              const std::string& driver = {});

private:
    struct Listener {
        int fd;
        std::string path;
        bool warned;
    };

    void watch();
    void adopt();  // mutex_ held
    bool deliver(Listener& listener, const std::string& message);

    const std::string root_;
    std::mutex mutex_;
    std::vector<Listener> listeners_;  // guarded by mutex_
    uint64_t seqnum_ = 0;              // guarded by mutex_
    unsigned adopted_ = 0;             // guarded by mutex_
    int inotify_ = -1;
    int wake_ = -1;  // eventfd: written once to stop the watcher
    std::thread watcher_;
};

}  // namespace tsdemu
