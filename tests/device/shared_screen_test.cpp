// One screen used at once from several handles and from another process:
// each caller's exchanges must reach the screen whole, with nobody else's
// request or answer in between.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "common/unique_fd.h"
#include "device/screen_lock.h"
#include "open_screen_fixture.h"
#include "touch_script.h"
#include "touch_script_player.h"

extern char** environ;

namespace {

using namespace std::chrono_literals;

constexpr int kRounds = 300;
constexpr char kWorkerScreen[] = "TSD_SHARED_SCREEN_WORKER";
constexpr uint8_t kModuleListCommand = 0xAE;

struct Tally {
    int failed = 0;
    int wrong = 0;
};

using SetMode = TsdResult (*)(TouchScreenHandle, uint32_t);
using GetMode = TsdResult (*)(TouchScreenHandle, uint8_t*);

// Sets each value of one mode in turn and reads it back. Every worker owns
// a mode of its own, so any other value read back came from a crossed reply.
Tally setAndReadBack(TouchScreenHandle handle, SetMode set, GetMode get, uint8_t values) {
    Tally tally;
    for (int round = 0; round < kRounds; ++round) {
        const auto value = static_cast<uint8_t>(round % values);
        uint8_t read = 0xFF;
        tally.failed += set(handle, value) != TSD_OK;
        if (get(handle, &read) != TSD_OK) {
            ++tally.failed;
        } else {
            tally.wrong += read != value;
        }
    }
    return tally;
}

// This test binary again, running only the worker below on `syspath`, its
// output (the tally line) into `output`.
pid_t startWorkerProcess(const std::string& syspath, int output) {
    std::vector<std::string> variables;
    for (char** variable = environ; *variable != nullptr; ++variable) {
        variables.emplace_back(*variable);
    }
    variables.push_back(std::string(kWorkerScreen) + "=" + syspath);
    std::vector<char*> envp;
    for (std::string& variable : variables) envp.push_back(variable.data());
    envp.push_back(nullptr);
    // Started by the path it was started by, through the runner ctest started
    // this program with, if any: under valgrind /proc/self/exe would be the
    // emulator itself, and under qemu-user the target's loader. The runner
    // comes from the environment, not the build, since a board's build also
    // runs natively on the board's kernel.
    std::vector<std::string> words;
    const char* runnerWords = std::getenv("TSD_TEST_RUNNER");
    std::istringstream runner(runnerWords != nullptr ? runnerWords : "");
    for (std::string word; runner >> word;) words.push_back(word);
    words.push_back(std::strchr(program_invocation_name, '/') != nullptr
                        ? std::string(program_invocation_name)
                        : tsdtest::linkTarget("/proc/self/exe"));
    words.emplace_back("--gtest_filter=SharedScreenWorker.OtherProcess");
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, output, STDOUT_FILENO);
    pid_t child = -1;
    // The runner's program may be named bare, to be found along PATH.
    const int error = posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    return error == 0 ? child : -1;
}

std::string readAll(int fd) {
    std::string text;
    char buffer[4096];
    for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;) {
        text.append(buffer, static_cast<std::size_t>(n));
    }
    return text;
}

void countTouch(void* counter, TouchPoint*) {
    static_cast<std::atomic<std::size_t>*>(counter)->fetch_add(1);
}

// Deleted before the fixture closes the handle it reads.
struct ManagerOwner {
    ~ManagerOwner() {
        if (manager != nullptr) {
            EXPECT_EQ(TsdDeleteCallbackManager(manager), TSD_OK);
        }
    }
    CallbackManagerHandle manager = nullptr;
};

class SharedScreen : public tsdtest::OpenScreenTest {};

}  // namespace

// Two handles in this process (one thread each, data mode and HID mode) and
// a handle in another process (working mode), all at once, while a callback
// manager on a fourth handle streams touches.
TEST_F(SharedScreen, HandlesAndProcessesTakeTurns) {
    TouchScreenHandle second = openScreen(*screen);
    TouchScreenHandle streaming = openScreen(*screen);
    ASSERT_NE(second, nullptr);
    ASSERT_NE(streaming, nullptr);
    ManagerOwner owner;
    ASSERT_EQ(TsdCreateCallbackManager(&owner.manager, streaming), TSD_OK);
    std::atomic<std::size_t> touches{0};
    ASSERT_EQ(TsdRegisterTouchCallback(owner.manager, countTouch, &touches), TSD_OK);
    tsdemu::TouchScriptPlayer player(*screen,
                                     tsdemu::movingContact({0, 0}, {4000, 4000}, 4000, 500.0));

    int pipeFds[2];
    ASSERT_EQ(::pipe2(pipeFds, O_CLOEXEC), 0);
    touchsdk::UniqueFd readEnd(pipeFds[0]);
    touchsdk::UniqueFd writeEnd(pipeFds[1]);
    const pid_t child = startWorkerProcess(screen->syspath(), writeEnd.get());
    ASSERT_GT(child, 0);
    writeEnd.reset();
    // The other process's first request: from here on all three overlap.
    EXPECT_TRUE(tsdtest::eventually([&] {
        for (const tsdemu::CommandFrame& frame : model().requests()) {
            if (frame.command == kModuleListCommand) return true;
        }
        return false;
    }));

    const std::size_t touchesBefore = touches.load();
    Tally data;
    Tally hid;
    std::thread dataWorker([&] {
        data = setAndReadBack(handle, TsdSetTouchScreenDataMode, TsdGetTouchScreenDataMode, 5);
    });
    std::thread hidWorker([&] {
        hid = setAndReadBack(second, TsdSetTouchScreenHidMode, TsdGetTouchScreenHidMode, 3);
    });
    dataWorker.join();
    hidWorker.join();
    const std::size_t touchesDuring = touches.load() - touchesBefore;
    const std::string output = readAll(readEnd.get());
    int status = -1;
    ASSERT_EQ(::waitpid(child, &status, 0), child);

    EXPECT_EQ(data.failed, 0) << "data mode, " << data.wrong << " wrong";
    EXPECT_EQ(data.wrong, 0);
    EXPECT_EQ(hid.failed, 0) << "HID mode, " << hid.wrong << " wrong";
    EXPECT_EQ(hid.wrong, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << output;
    EXPECT_NE(output.find("worker failed=0 wrong=0"), std::string::npos) << output;
    EXPECT_GT(touchesDuring, 0u) << "touches stopped while the commands ran";
}

// The other process of the test above; it does nothing when run on its own.
TEST(SharedScreenWorker, OtherProcess) {
    const char* syspath = std::getenv(kWorkerScreen);
    if (syspath == nullptr) GTEST_SKIP() << "started only by HandlesAndProcessesTakeTurns";
    TouchScreenHandle handle = nullptr;
    ASSERT_EQ(TsdOpenTouchScreenA(syspath, &handle), TSD_OK);
    const Tally working =
        setAndReadBack(handle, TsdSetTouchScreenWorkingMode, TsdGetTouchScreenWorkingMode, 2);
    std::printf("worker failed=%d wrong=%d\n", working.failed, working.wrong);
    std::fflush(stdout);
    EXPECT_EQ(TsdCloseTouchScreen(handle), TSD_OK);
    EXPECT_EQ(working.failed, 0);
    EXPECT_EQ(working.wrong, 0);
}

// A holder that never lets go (a process stopped mid-command) costs a
// command the whole wait and then its failure, with nothing sent; once the
// holder lets go the screen answers again.
TEST_F(SharedScreen, AHolderThatNeverLetsGoCostsTheBoundedWaitThenFailure) {
    touchsdk::UniqueFd holder(::open(screen->devnode().c_str(), O_RDWR | O_CLOEXEC));
    ASSERT_TRUE(holder);
    ASSERT_EQ(::flock(holder.get(), LOCK_EX | LOCK_NB), 0);
    uint8_t mode = 0;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(TsdGetTouchScreenDataMode(handle, &mode), TSD_FAILURE);
    const std::chrono::duration<double, std::milli> waited =
        std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited.count(), touchsdk::kScreenLockWait.count());
    EXPECT_TRUE(model().requests().empty());

    ASSERT_EQ(::flock(holder.get(), LOCK_UN), 0);
    EXPECT_EQ(TsdGetTouchScreenDataMode(handle, &mode), TSD_OK);
}
