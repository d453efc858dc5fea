#pragma once

// The threads of this process as /proc lists them, for the tests and the
// delivery benchmark: which of the library's threads (named tsd-*) are
// alive, and how often they were switched.

#include <dirent.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <fstream>
#include <set>
#include <string>
#include <vector>

namespace tsdtest {

// Thread ids, read through `tasks` (an open /proc/self/task), so that a
// test that has used up its descriptors can still list them.
inline std::set<std::string> threadIds(DIR* tasks) {
    ::rewinddir(tasks);
    std::set<std::string> ids;
    while (const dirent* entry = ::readdir(tasks)) {
        if (entry->d_name[0] != '.') ids.insert(entry->d_name);
    }
    return ids;
}

// One line of /proc/self/task/ID/FILE; empty when the thread has gone.
inline std::string threadFileLine(const std::string& id, const char* file, const char* key = "") {
    std::ifstream in("/proc/self/task/" + id + "/" + file);
    for (std::string line; std::getline(in, line);) {
        if (line.rfind(key, 0) == 0) return line;
    }
    return {};
}

// Ids of the threads whose names begin with `prefix`.
inline std::vector<std::string> threadsNamed(const std::string& prefix) {
    std::vector<std::string> found;
    DIR* tasks = ::opendir("/proc/self/task");
    if (tasks == nullptr) return found;
    for (const std::string& id : threadIds(tasks)) {
        if (threadFileLine(id, "comm").rfind(prefix, 0) == 0) found.push_back(id);
    }
    ::closedir(tasks);
    return found;
}

inline std::vector<std::string> libraryThreads() { return threadsNamed("tsd-"); }

// The calling thread's id, as /proc/self/task lists it.
inline std::string currentThreadId() { return std::to_string(::syscall(SYS_gettid)); }

// Whether the thread sleeps in the kernel now (blocked in poll, a futex,
// a read...). A thread that spins or busy-polls shows as running instead.
inline bool threadAsleep(const std::string& id) {
    const std::string line = threadFileLine(id, "status", "State:");
    return line.find("(sleeping)") != std::string::npos;
}

// Voluntary and involuntary context switches of one thread so far.
inline long contextSwitches(const std::string& id) {
    long total = 0;
    for (const char* key : {"voluntary_ctxt_switches:", "nonvoluntary_ctxt_switches:"}) {
        const std::string line = threadFileLine(id, "status", key);
        if (!line.empty()) total += std::stol(line.substr(line.find(':') + 1));
    }
    return total;
}

}  // namespace tsdtest
