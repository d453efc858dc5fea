// Runs a program against emulated touch screens, for trying an application
// (or the library) without hardware:
//
//   tsd-emulate [--screens N] [--vendor V --product P] [--serial S]
//               [--touch] [--rate HZ] -- program [arguments...]
//
// The screens appear to the program as USB hidraw devices: discovery finds
// them, commands get answers, calibration is stored and applied, and with
// --touch each screen streams a contact sweeping across it until the program
// ends. The program runs under umockdev's preload; this process hosts the
// screens. Its exit status is the program's.
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "preload.h"
#include "testbed.h"
#include "touch_script.h"
#include "touch_script_player.h"

namespace {

struct Options {
    unsigned screens = 1;
    tsdemu::ScreenIdentity identity;
    bool touch = false;
    double rateHz = 100.0;
    char** program = nullptr;
};

void usage() {
    std::fprintf(stderr,
                 "usage: tsd-emulate [--screens N] [--vendor HEX] [--product HEX] [--serial S]\n"
                 "                   [--touch] [--rate HZ] -- program [arguments...]\n");
}

uint16_t parseHex(const char* text) {
    return static_cast<uint16_t>(std::strtoul(text, nullptr, 16));
}

bool parse(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--") {
            options.program = i + 1 < argc ? argv + i + 1 : nullptr;
            return options.program != nullptr;
        }
        if (arg == "--touch") {
            options.touch = true;
        } else if (arg == "--screens" && hasValue) {
            options.screens = static_cast<unsigned>(std::strtoul(argv[++i], nullptr, 10));
        } else if (arg == "--vendor" && hasValue) {
            options.identity.vendorId = parseHex(argv[++i]);
        } else if (arg == "--product" && hasValue) {
            options.identity.productId = parseHex(argv[++i]);
        } else if (arg == "--serial" && hasValue) {
            options.identity.serial = std::string(argv[++i]);
        } else if (arg == "--rate" && hasValue) {
            options.rateHz = std::strtod(argv[++i], nullptr);
        } else {
            return false;
        }
    }
    return false;
}

// The preload in the program's process reaches the screens through the
// testbed directory this process made (UMOCKDEV_DIR, already exported).
pid_t startProgram(char** program) {
    const std::string preload = tsdemu::umockdevPreloadList();
    const pid_t child = ::fork();
    if (child != 0) return child;
    ::setenv("LD_PRELOAD", preload.c_str(), 1);
    ::execvp(program[0], program);
    std::perror(program[0]);
    ::_exit(127);
}

// One contact sweeping the screen's diagonals, in short strokes so that the
// stream ends soon after the program does.
void sweep(tsdemu::EmulatedScreen& screen, double rateHz, const std::atomic<bool>& done) {
    constexpr int kStrokes = 10;
    constexpr uint16_t kStep = 3000;
    for (int stroke = 0; !done; stroke = (stroke + 1) % kStrokes) {
        const auto from = static_cast<uint16_t>(1000 + stroke * kStep);
        const tsdemu::ScreenPoint start = stroke % 2 == 0 ? tsdemu::ScreenPoint{from, from}
                                                          : tsdemu::ScreenPoint{from, 31000};
        const tsdemu::ScreenPoint end{static_cast<uint16_t>(from + kStep),
                                      static_cast<uint16_t>(stroke % 2 == 0 ? from + kStep : 1000)};
        tsdemu::TouchScriptPlayer player(screen, tsdemu::movingContact(start, end, 10, rateHz));
        player.wait();
    }
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!parse(argc, argv, options) || options.screens == 0 || options.rateHz <= 0) {
        usage();
        return 2;
    }
    tsdemu::Testbed testbed;
    std::vector<tsdemu::EmulatedScreen*> screens;
    for (unsigned i = 0; i < options.screens; ++i) {
        screens.push_back(&testbed.plug(options.identity));
        std::fprintf(stderr, "tsd-emulate: screen %s at %s\n", screens.back()->devnode().c_str(),
                     screens.back()->syspath().c_str());
    }
    const pid_t child = startProgram(options.program);
    if (child < 0) return 127;
    std::atomic<bool> done{false};
    std::vector<std::thread> streams;
    if (options.touch) {
        for (tsdemu::EmulatedScreen* screen : screens) {
            streams.emplace_back(sweep, std::ref(*screen), options.rateHz, std::cref(done));
        }
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0) {
    }
    done = true;
    for (std::thread& stream : streams) stream.join();
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    return 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
}
