// Runs a program against emulated touch screens, for trying an application
// (or the library) without hardware, and for an application's own tests:
//
//   tsd-emulate [options] -- program [arguments...]
//
// The screens appear to the program as USB hidraw devices: discovery finds
// them, commands get answers, calibration is stored and applied. While the
// program runs, the screens can be driven through a control FIFO or a taps
// file (touches at true positions, keys, unplug and plug), stream a sweeping
// contact (--touch), or replay a recording made by `tsdctl record`. The
// program runs under umockdev's preload, as does this process, which hosts
// the screens. Its exit status is the program's. See tsd-emulate(1).
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "control_channel.h"
#include "preload.h"
#include "recording.h"
#include "screen_set.h"
#include "presentation.h"
#include "touch_script.h"
#include "touch_script_player.h"

namespace {

struct Options {
    unsigned screens = 1;
    tsdemu::ScreenSetup setup;
    std::vector<std::string> serials;
    bool touch = false;
    bool usbip = false;  // on the kernel's USB/IP host controller, not in umockdev
    double rateHz = 100.0;
    std::string control;
    std::string taps;
    std::string replay;
    char** program = nullptr;
};

constexpr const char* kUsage =
    "usage: tsd-emulate [--usbip] [--screens N] [--vendor HEX] [--product HEX] [--serial S]...\n"
    "                   [--range X0,X1,Y0,Y1] [--warp typical|turned] [--touch] [--rate HZ]\n"
    "                   [--control FIFO] [--taps FILE] [--replay FILE]\n"
    "                   -- program [arguments...]\n";

bool parseHex(const char* text, uint16_t& out) {
    char* end = nullptr;
    errno = 0;
    const unsigned long value = std::strtoul(text, &end, 16);
    if (errno != 0 || *end != '\0' || end == text || value > 0xFFFF) return false;
    out = static_cast<uint16_t>(value);
    return true;
}

bool parseRange(const char* text, tsdemu::ScreenSetup& setup) {
    float v[4];
    char tail = 0;
    if (std::sscanf(text, "%f,%f,%f,%f%c", &v[0], &v[1], &v[2], &v[3], &tail) != 4) return false;
    for (float f : v) {
        if (!std::isfinite(f) || f < 0.0f || f > 65535.0f) return false;
    }
    if (v[0] == v[1] || v[2] == v[3]) return false;
    setup.range = touchsdk::CalibrationRange{v[0], v[1], v[2], v[3]};
    return true;
}

// Options that name a file or a text: any value will do.
bool parseText(const std::string& arg, const char* value, Options& options) {
    if (arg == "--serial") {
        options.serials.emplace_back(value);
    } else if (arg == "--control") {
        options.control = value;
    } else if (arg == "--taps") {
        options.taps = value;
    } else if (arg == "--replay") {
        options.replay = value;
    } else {
        return false;
    }
    return true;
}

// Options whose value is checked; false when the value is bad.
bool parseChecked(const std::string& arg, const char* value, Options& options) {
    char* end = nullptr;
    if (arg == "--screens") {
        options.screens = static_cast<unsigned>(std::strtoul(value, &end, 10));
        return *end == '\0' && options.screens >= 1 && options.screens <= 16;
    }
    if (arg == "--vendor") return parseHex(value, options.setup.identity.vendorId);
    if (arg == "--product") return parseHex(value, options.setup.identity.productId);
    if (arg == "--range") return parseRange(value, options.setup);
    if (arg == "--warp") {
        if (std::strcmp(value, "typical") == 0) {
            options.setup.warp = tsdemu::typicalDistortion();
        } else if (std::strcmp(value, "turned") == 0) {
            options.setup.warp = tsdemu::turnedDistortion();
        } else {
            return false;
        }
        return true;
    }
    if (arg == "--rate") {
        options.rateHz = std::strtod(value, &end);
        return *end == '\0' && options.rateHz > 0 && options.rateHz <= 10000;
    }
    return false;
}

constexpr const char* kValueOptions[] = {"--screens", "--vendor", "--product", "--range",
                                         "--warp",    "--rate",   "--serial",  "--control",
                                         "--taps",    "--replay"};

// Options that take a value; says what is wrong when one is unknown, lacks
// its value or has a bad one.
bool parseValue(const std::string& arg, const char* value, Options& options) {
    if (value != nullptr && parseText(arg, value, options)) return true;
    bool known = false;
    for (const char* name : kValueOptions) known = known || arg == name;
    if (!known) {
        std::fprintf(stderr, "tsd-emulate: unknown option %s\n", arg.c_str());
    } else if (value == nullptr) {
        std::fprintf(stderr, "tsd-emulate: %s needs a value\n", arg.c_str());
    } else if (!parseChecked(arg, value, options)) {
        std::fprintf(stderr, "tsd-emulate: bad value for %s: %s\n", arg.c_str(), value);
    } else {
        return true;
    }
    return false;
}

bool parse(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--") {
            options.program = i + 1 < argc ? argv + i + 1 : nullptr;
            return options.program != nullptr;
        }
        if (arg == "--touch") {
            options.touch = true;
        } else if (arg == "--usbip") {
            options.usbip = true;
        } else if (!parseValue(arg, i + 1 < argc ? argv[i + 1] : nullptr, options)) {
            return false;
        } else {
            ++i;
        }
    }
    return false;
}

// Screen i takes the i-th --serial; later screens repeat the last one, and
// without any they are numbered EMU000001, EMU000002, ...
tsdemu::ScreenSetup setupOf(const Options& options, unsigned index) {
    tsdemu::ScreenSetup setup = options.setup;
    if (!options.serials.empty()) {
        setup.identity.serial =
            options.serials[std::min<std::size_t>(index, options.serials.size() - 1)];
    } else {
        char serial[16];
        std::snprintf(serial, sizeof serial, "EMU%06u", index + 1);
        setup.identity.serial = serial;
    }
    return setup;
}

std::vector<std::string> readLines(const std::string& path) {
    std::ifstream in(path);
    if (!in) throw std::runtime_error("cannot read " + path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

tsdemu::Recording readRecordingFile(const std::string& path) {
    std::ifstream in(path);
    if (!in) throw std::runtime_error("cannot read " + path);
    std::string error;
    std::optional<tsdemu::Recording> recording = tsdemu::readRecording(in, error);
    if (!recording) throw std::runtime_error(path + ": " + error);
    return std::move(*recording);
}

// The one place the program is started; on a board target the command
// given already starts with the runner (qemu-user and the target's loader).
// The preload in the program's process reaches the screens through the
// testbed directory this process made (UMOCKDEV_DIR, already exported).
// Screens on USB/IP are the kernel's own: the program needs no preload.
pid_t startProgram(char** program, bool preload) {
    const std::string preloads = preload ? tsdemu::umockdevPreloadList() : std::string();
    const pid_t child = ::fork();
    if (child != 0) return child;
    if (preload) ::setenv("LD_PRELOAD", preloads.c_str(), 1);
    ::execvp(program[0], program);
    std::perror(program[0]);
    ::_exit(127);
}

volatile sig_atomic_t gChild = 0;
// A signal that came while the screens were still being set up (on USB/IP
// that takes seconds): the program is then never started.
volatile sig_atomic_t gEarlySignal = 0;

// Ending tsd-emulate ends the program first, so that the FIFO and the
// screens are taken down after it.
void forwardSignal(int signal) {
    if (gChild > 0) {
        ::kill(static_cast<pid_t>(gChild), signal);
    } else {
        gEarlySignal = signal;
    }
}

void forwardSignals() {
    struct sigaction action {};
    action.sa_handler = forwardSignal;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) ::sigaction(signal, &action, nullptr);
}

// One contact sweeping the screen's diagonals, in short strokes so that the
// stream ends soon after the program does.
void sweep(tsdemu::PresentedScreen& screen, double rateHz, const std::atomic<bool>& done) {
    constexpr int kStrokes = 10;
    constexpr uint16_t kStep = 3000;
    for (int stroke = 0; !done && screen.plugged(); stroke = (stroke + 1) % kStrokes) {
        const auto from = static_cast<uint16_t>(1000 + stroke * kStep);
        const tsdemu::ScreenPoint start =
            stroke % 2 == 0 ? tsdemu::ScreenPoint{from, from} : tsdemu::ScreenPoint{from, 31000};
        const tsdemu::ScreenPoint end{static_cast<uint16_t>(from + kStep),
                                      static_cast<uint16_t>(stroke % 2 == 0 ? from + kStep : 1000)};
        tsdemu::TouchScriptPlayer player(screen, tsdemu::movingContact(start, end, 10, rateHz));
        player.wait();
    }
}

// Plays the recorded reports once the program has opened the screen, so
// that none is lost before anybody reads. Both waits look at `done` a few
// times a second: the program's end must stop them, and neither the open
// nor the player offers a way to be woken for it.
void replay(tsdemu::PresentedScreen& screen, const tsdemu::TouchScript& script,
            const std::atomic<bool>& done) {
    while (!done && !screen.waitUntilOpened(std::chrono::milliseconds(50))) {
    }
    if (done) return;
    tsdemu::TouchScriptPlayer player(screen, script);
    while (!done && player.pushed() < script.size() && screen.plugged()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

int run(const Options& options) {
    const std::unique_ptr<tsdemu::Presentation> presentation = tsdemu::makePresentation(
        options.usbip ? tsdemu::PresentationKind::Usbip : tsdemu::PresentationKind::Umockdev);
    tsdemu::ScreenSet screens(*presentation);
    tsdemu::TouchScript recorded;
    if (!options.replay.empty()) {
        tsdemu::Recording recording = readRecordingFile(options.replay);
        screens.add(recording.setup);
        recorded = std::move(recording.reports);
    } else {
        for (unsigned i = 0; i < options.screens; ++i) screens.add(setupOf(options, i));
    }
    const std::vector<std::string> taps =
        options.taps.empty() ? std::vector<std::string>{} : readLines(options.taps);
    std::unique_ptr<tsdemu::ControlChannel> channel;
    if (!options.control.empty()) {
        channel = std::make_unique<tsdemu::ControlChannel>(screens, options.control);
    }
    if (gEarlySignal != 0) return 128 + gEarlySignal;
    const pid_t child = startProgram(options.program, !options.usbip);
    if (child < 0) return 127;
    gChild = child;
    if (gEarlySignal != 0) ::kill(child, gEarlySignal);  // came during the fork
    std::unique_ptr<tsdemu::ControlScript> script;
    if (!taps.empty()) {
        script = std::make_unique<tsdemu::ControlScript>(screens, taps, options.taps);
    }
    std::atomic<bool> done{false};
    std::vector<std::thread> streams;
    for (tsdemu::PresentedScreen* screen :
         options.touch ? screens.plugged() : std::vector<tsdemu::PresentedScreen*>{}) {
        streams.emplace_back(sweep, std::ref(*screen), options.rateHz, std::cref(done));
    }
    if (!recorded.empty()) {
        streams.emplace_back(replay, std::ref(*screens.screen(0)), std::cref(recorded),
                             std::cref(done));
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    gChild = 0;
    done = true;
    screens.stop();
    script.reset();
    channel.reset();
    for (std::thread& stream : streams) stream.join();
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    return 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    Options options;
    if (!parse(argc, argv, options)) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    // The testbed announces a removal through libudev, which must see the
    // emulated /sys as the program does.
    if (!options.usbip) tsdemu::ensureUmockdevPreload(argv);
    forwardSignals();
    try {
        return run(options);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "tsd-emulate: %s\n", error.what());
        return 125;  // apart from any status the program itself may end with
    }
}
