#include "program_runner.h"

#include <dirent.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "preload.h"
#include "program_environment.h"

namespace tsdemu {
namespace {

// As env(1) and timeout(1) report a program they could not start.
constexpr int kCannotRun = 126;
constexpr int kNotFound = 127;

constexpr int kForwarded[] = {SIGINT, SIGTERM, SIGHUP};

// Atomics rather than volatile sig_atomic_t: the handler may run on any of
// the emulator's threads while the main thread starts and reaps the program.
std::atomic<pid_t> gChild{0};
std::atomic<int> gPendingSignal{0};
static_assert(std::atomic<pid_t>::is_always_lock_free && std::atomic<int>::is_always_lock_free,
              "used from a signal handler");
std::set<int> gInherited;

std::vector<int> openDescriptors() {
    std::vector<int> fds;
    DIR* dir = ::opendir("/proc/self/fd");
    if (dir == nullptr) return fds;
    const int own = ::dirfd(dir);
    while (const dirent* entry = ::readdir(dir)) {
        if (entry->d_name[0] == '.') continue;
        const int fd = std::atoi(entry->d_name);
        if (fd != own) fds.push_back(fd);
    }
    ::closedir(dir);
    return fds;
}

// Ending tsd-emulate ends the program first, so that the FIFO and the
// screens are taken down after it.
void forwardSignal(int signal) {
    const pid_t child = gChild.load();
    if (child > 0) {
        ::kill(child, signal);
    } else {
        gPendingSignal.store(signal);
    }
}

// The directory of `file` resolved, with its trailing slash; "" when it
// cannot be resolved.
std::string directoryOf(const char* file) {
    char* resolved = ::realpath(file, nullptr);
    if (resolved == nullptr) return {};
    std::string path = resolved;
    std::free(resolved);
    return path.substr(0, path.rfind('/') + 1);
}

// The lock interposer's preload library: beside tsd-emulate when run from
// the build tree, else where it is installed. Without it the program's locks
// on a node would not exclude each other's, so it must be there. Beside the
// program as it was started, too: when the loader is started by name (as
// qemu-user runs a board's build), /proc/self/exe is the loader.
std::string lockPreload() {
    static const char kName[] = "libtsd-emulate-locks.so";
    for (const char* self : {"/proc/self/exe", static_cast<const char*>(program_invocation_name)}) {
        if (self == nullptr || std::strchr(self, '/') == nullptr) continue;
        const std::string dir = directoryOf(self);
        if (dir.empty()) continue;
        std::string beside = dir + kName;
        if (::access(beside.c_str(), R_OK) == 0) return beside;
    }
    if (::access(TSD_EMULATE_LOCKS_INSTALLED, R_OK) == 0) return TSD_EMULATE_LOCKS_INSTALLED;
    throw std::runtime_error(std::string(TSD_EMULATE_LOCKS_INSTALLED) +
                             " is missing: reinstall tsd-emulate");
}

// execvpe's environment: pointers into `strings`, which must outlive it.
std::vector<char*> pointersTo(std::vector<std::string>& strings) {
    std::vector<char*> pointers;
    pointers.reserve(strings.size() + 1);
    for (std::string& entry : strings) pointers.push_back(&entry[0]);
    pointers.push_back(nullptr);
    return pointers;
}

}  // namespace

int statusOf(int waitStatus) {
    if (WIFEXITED(waitStatus)) return WEXITSTATUS(waitStatus);
    return 128 + (WIFSIGNALED(waitStatus) ? WTERMSIG(waitStatus) : 0);
}

void noteInheritedDescriptors() {
    for (int fd : openDescriptors()) gInherited.insert(fd);
}

void forwardSignals() {
    struct sigaction action {};
    action.sa_handler = forwardSignal;
    sigemptyset(&action.sa_mask);
    for (int signal : kForwarded) ::sigaction(signal, &action, nullptr);
}

// The one place the program is started; on a board target the command
// given already starts with the runner (qemu-user and the target's loader).
// The preload in the program's process reaches the screens through the
// testbed directory this process made (UMOCKDEV_DIR, already exported).
pid_t startProgram(char** program, bool preload) {
    std::vector<std::string> environment;
    if (preload) {
        const std::string locks = lockPreload();
        environment = programEnvironment(program[0], umockdevPreloadList(locks), locks);
    }
    std::vector<char*> envp = pointersTo(environment);
    // Listed before the fork: the child may only make async-signal-safe calls.
    std::vector<int> foreign;
    for (int fd : openDescriptors()) {
        if (fd > 2 && gInherited.count(fd) == 0) foreign.push_back(fd);
    }
    // Held back across the fork: the child has our handlers until it resets
    // them, and one that ran in it would swallow the signal.
    sigset_t stops;
    sigset_t previous;
    sigemptyset(&stops);
    for (int signal : kForwarded) sigaddset(&stops, signal);
    ::pthread_sigmask(SIG_BLOCK, &stops, &previous);
    const pid_t child = ::fork();
    if (child != 0) {
        if (child > 0) gChild = child;
        if (child > 0 && gPendingSignal.load() != 0) ::kill(child, gPendingSignal.load());
        ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
        return child;
    }
    for (int signal : kForwarded) ::signal(signal, SIG_DFL);
    ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    // A device end left open in the program would keep its line from ever
    // hanging up; every descriptor of the emulator's is close-on-exec, and
    // this catches any a library opened otherwise.
    for (int fd : foreign) ::close(fd);
    if (preload) {
        ::execvpe(program[0], program, envp.data());
    } else {
        ::execvp(program[0], program);
    }
    const int error = errno;
    std::fprintf(stderr, "tsd-emulate: cannot run %s: %s\n", program[0], std::strerror(error));
    ::_exit(error == ENOENT ? kNotFound : kCannotRun);
}

int waitForProgram(pid_t child) {
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    gChild = 0;
    return status;
}

}  // namespace tsdemu
