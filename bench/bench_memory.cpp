// Memory: resident and virtual size per open screen and per delivering
// callback manager (16 of each, against emulated screens), and the stack
// each library thread was given. A thread's stack is the mapping that holds
// its stack pointer while it sleeps (/proc/self/task/N/syscall).
//
//   tools/bench-memory [screens]
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "bench_support.h"
#include "preload.h"
#include "testbed.h"
#include "thread_list.h"

namespace {

using namespace bench;

struct Sizes {
    double residentKiB = 0;
    double virtualKiB = 0;
};

Sizes processSizes() {
    Sizes sizes;
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        std::istringstream fields(line);
        std::string key;
        double value = 0;
        fields >> key >> value;
        if (key == "VmRSS:") sizes.residentKiB = value;
        if (key == "VmSize:") sizes.virtualKiB = value;
    }
    return sizes;
}

// The size of the mapping holding `address`, guard pages below it included.
double mappingKiB(unsigned long address) {
    std::ifstream maps("/proc/self/maps");
    unsigned long previousEnd = 0;
    unsigned long previousSize = 0;
    bool previousGuard = false;
    for (std::string line; std::getline(maps, line);) {
        unsigned long start = 0;
        unsigned long end = 0;
        char permissions[5] = {};
        if (std::sscanf(line.c_str(), "%lx-%lx %4s", &start, &end, permissions) != 3) continue;
        if (address >= start && address < end) {
            const unsigned long guard = previousGuard && previousEnd == start ? previousSize : 0;
            return static_cast<double>(end - start + guard) / 1024.0;
        }
        previousGuard = std::string(permissions) == "---p";
        previousEnd = end;
        previousSize = end - start;
    }
    return 0;
}

// Stack sizes of the library's threads, by thread name.
std::map<std::string, std::vector<double>> libraryStacks() {
    std::map<std::string, std::vector<double>> stacks;
    for (const std::string& id : tsdtest::libraryThreads()) {
        // "number args... sp pc" for a thread blocked in a system call.
        std::istringstream fields(tsdtest::threadFileLine(id, "syscall"));
        std::vector<std::string> words;
        for (std::string word; fields >> word;) words.push_back(word);
        if (words.size() < 3) continue;
        const unsigned long sp = std::stoul(words[words.size() - 2], nullptr, 16);
        stacks[tsdtest::threadFileLine(id, "comm")].push_back(mappingKiB(sp));
    }
    return stacks;
}

void printStacks(const std::map<std::string, std::vector<double>>& stacks) {
    for (const auto& [name, sizes] : stacks) {
        figure("stack_" + name.substr(4), percentile(sizes, 1.0), "KiB");
    }
}

void noTouch(void*, TouchPoint*) {}

}  // namespace

int main(int argc, char** argv) {
    tsdemu::ensureUmockdevPreload(argv);
    const int count = bench::sizes(argc, argv, {{"SCREENS", 16, 1, 256}})[0];
    tsdemu::Testbed testbed;
    std::vector<tsdemu::EmulatedScreen*> screens;
    for (int i = 0; i < count; ++i) screens.push_back(&testbed.plug());

    const Sizes beforeOpen = processSizes();
    std::vector<TouchScreenHandle> handles(screens.size());
    for (std::size_t i = 0; i < screens.size(); ++i) {
        if (TsdOpenTouchScreenA(screens[i]->syspath().c_str(), &handles[i]) != TSD_OK) return 1;
    }
    const Sizes opened = processSizes();

    std::vector<CallbackManagerHandle> managers(handles.size());
    for (std::size_t i = 0; i < handles.size(); ++i) {
        TsdCreateCallbackManager(&managers[i], handles[i]);
        TsdRegisterTouchCallback(managers[i], noTouch, nullptr);
    }
    std::this_thread::sleep_for(100ms);  // every thread parked in its wait
    const Sizes delivering = processSizes();
    NotificationHandle watcher = nullptr;
    TsdCreateTouchScreenNotificationA(&watcher, nullptr, nullptr);
    const Sizes watching = processSizes();
    std::this_thread::sleep_for(100ms);
    printStacks(libraryStacks());

    const double n = static_cast<double>(count);
    figure("memory_per_open_screen_resident", (opened.residentKiB - beforeOpen.residentKiB) / n,
           "KiB");
    figure("memory_per_open_screen_virtual", (opened.virtualKiB - beforeOpen.virtualKiB) / n,
           "KiB");
    figure("memory_per_manager_resident", (delivering.residentKiB - opened.residentKiB) / n, "KiB");
    figure("memory_per_manager_virtual", (delivering.virtualKiB - opened.virtualKiB) / n, "KiB");
    figure("memory_per_watcher_resident", watching.residentKiB - delivering.residentKiB, "KiB");
    figure("memory_per_watcher_virtual", watching.virtualKiB - delivering.virtualKiB, "KiB");

    TsdDeleteTouchScreenNotification(watcher);
    for (CallbackManagerHandle manager : managers) TsdDeleteCallbackManager(manager);
    for (TouchScreenHandle handle : handles) TsdCloseTouchScreen(handle);
    return 0;
}
