// Runs a program against emulated touch screens, for trying an application
// (or the library) without hardware, and for an application's own tests:
//
//   tsd-emulate [options] [--] program [arguments...]
//
// The screens appear to the program as USB hidraw devices: discovery finds
// them, commands get answers, calibration is stored and applied. While the
// program runs, the screens can be driven through a control FIFO or a taps
// file (touches at true positions, keys, unplug and plug), stream a sweeping
// contact (--touch), or replay a recording made by `tsdctl record`. The
// program runs under umockdev's preload, as does this process, which hosts
// the screens. Its exit status is the program's. See tsd-emulate(1).
#include <atomic>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "calibration_sensor.h"
#include "command_line.h"
#include "control_channel.h"
#include "control_command.h"
#include "exit_status.h"
#include "preload.h"
#include "presentation.h"
#include "program_runner.h"
#include "recording.h"
#include "screen_set.h"
#include "testbed.h"
#include "touch_script_player.h"
#include "touch_sweep.h"
#include "values.h"

namespace {

using tsdtool::Exit;
using tsdtool::Failure;

constexpr double kMinRateHz = 1.0;
constexpr double kMaxRateHz = 1000.0;
constexpr unsigned kMaxScreens = 16;

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
    std::vector<std::string> program;
};

constexpr const char* kUsage =
    "usage: tsd-emulate [OPTIONS] [--] PROGRAM [ARGS...]\n"
    "Runs PROGRAM with emulated touch screens that it sees as USB hidraw devices.\n"
    "\n"
    "  --screens N           emulate N screens (1-16; default 1), numbered from 0\n"
    "  --serial TEXT         serial number of the next screen (repeatable; at most\n"
    "                        126 characters); default EMU000001, EMU000002, ...\n"
    "  --vendor HEX          USB vendor ID (default E2C4)\n"
    "  --product HEX         USB product ID (default 0001)\n"
    "  --range X0,X1,Y0,Y1   the screens' own coordinate range (default 0,4095,0,4095)\n"
    "  --warp typical|turned give each sensor a distortion, for testing calibration\n"
    "  --touch               each screen streams a finger sweeping across its range\n"
    "  --rate HZ             positions a second for --touch (1-1000; default 100)\n"
    "  --control PATH        make a FIFO at PATH and carry out the control commands\n"
    "                        written to it\n"
    "  --taps FILE           carry out the control commands of FILE\n"
    "  --replay FILE         emulate the screen of a recording (tsdctl record) and\n"
    "                        play its reports once PROGRAM holds it open\n"
    "  --usbip               present the screens to the kernel itself, as USB devices\n"
    "                        on its USB/IP host controller (root, vhci-hcd)\n"
    "  -h, --help            show this help\n"
    "  --version             show the version\n"
    "\n"
    "Exit status: PROGRAM's (128 + N if signal N ended it); 125 if tsd-emulate\n"
    "itself failed, 126 if PROGRAM could not be run, 127 if it was not found.\n"
    "See tsd-emulate(1) for the control commands and the recording format.\n";

const std::vector<tsdtool::OptionEntry> kSpecs = {
    {"screens", 0, true}, {"serial", 0, true}, {"vendor", 0, true}, {"product", 0, true},
    {"range", 0, true},   {"warp", 0, true},   {"touch", 0, false}, {"rate", 0, true},
    {"control", 0, true}, {"taps", 0, true},   {"replay", 0, true}, {"usbip", 0, false},
};

[[noreturn]] void badValue(const char* option, const std::string& value, const char* takes) {
    tsdtool::usageError(std::string(option) + " takes " + takes + ", not " +
                        tsdemu::excerpt(value));
}

uint16_t hexId(const char* option, const std::string& value) {
    const auto id = tsdtool::parseHex16(value);
    if (!id) badValue(option, value, "one to four hex digits");
    return *id;
}

void takeSerials(const tsdtool::Options& given, Options& options) {
    options.serials = given.values("serial");
    for (const std::string& serial : options.serials) {
        const std::size_t units = tsdemu::utf16Units(serial);
        if (units > tsdemu::kUsbStringUnits) {
            tsdtool::usageError("--serial " + tsdemu::excerpt(serial) + " has " +
                                std::to_string(units) + " characters; a USB serial number " +
                                "holds at most " + std::to_string(tsdemu::kUsbStringUnits));
        }
    }
}

void takeScreenShape(const tsdtool::Options& given, Options& options) {
    if (const auto text = given.value("screens")) {
        const auto n = tsdtool::parseUnsigned(*text, kMaxScreens);
        if (!n || *n == 0) badValue("--screens", *text, "a number from 1 to 16");
        options.screens = static_cast<unsigned>(*n);
    }
    if (const auto text = given.value("vendor"))
        options.setup.identity.vendorId = hexId("--vendor", *text);
    if (const auto text = given.value("product"))
        options.setup.identity.productId = hexId("--product", *text);
    if (const auto text = given.value("range")) {
        const auto range = tsdtool::parseRange(*text);
        if (!range)
            badValue("--range", *text, "X0,X1,Y0,Y1 from 0 to 65535, each axis with two ends");
        options.setup.range = touchsdk::CalibrationRange{
            static_cast<float>(range->x0), static_cast<float>(range->x1),
            static_cast<float>(range->y0), static_cast<float>(range->y1)};
    }
    if (const auto text = given.value("warp")) {
        if (*text == "typical") {
            options.setup.warp = tsdemu::typicalDistortion();
        } else if (*text == "turned") {
            options.setup.warp = tsdemu::turnedDistortion();
        } else {
            badValue("--warp", *text, "typical or turned");
        }
    }
}

Options parse(const tsdtool::Options& given) {
    Options options;
    takeSerials(given, options);
    takeScreenShape(given, options);
    options.touch = given.has("touch");
    options.usbip = given.has("usbip");
    if (const auto text = given.value("rate")) {
        const auto rate = tsdtool::parseNumber(*text);
        if (!rate || *rate < kMinRateHz || *rate > kMaxRateHz) {
            badValue("--rate", *text, "a number of positions a second from 1 to 1000");
        }
        options.rateHz = *rate;
    }
    options.control = given.value("control").value_or("");
    options.taps = given.value("taps").value_or("");
    options.replay = given.value("replay").value_or("");
    options.program = given.words();
    if (options.program.empty()) tsdtool::usageError("no program to run");
    return options;
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

// A taps file from Windows ends its lines in CR LF; the parser takes the
// CR for the blank it is.
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

// Plays the recorded transfers once the program holds the screen open, so
// that none is lost before anybody reads: a node opened for as long as
// kSteadyOpen, which a glance at it during discovery is not. The waits look
// at the screen set a few times a second: the program's end must stop them,
// and neither the node nor the player offers a way to be woken for it.
void replay(tsdemu::ScreenSet& screens, const tsdemu::TouchScript& script) {
    constexpr auto kSteadyOpen = std::chrono::milliseconds(200);
    constexpr auto kLook = std::chrono::milliseconds(20);
    tsdemu::PresentedScreen& presented = *screens.screen(0);
    const auto* emulated = dynamic_cast<const tsdemu::EmulatedScreen*>(&presented);
    // A kernel node's opens are the kernel's to count: there, the first open.
    if (emulated == nullptr) {
        while (!screens.stopped() && !presented.waitUntilOpened(kLook * 2)) {
        }
    }
    auto openSince = std::chrono::steady_clock::time_point::max();
    while (emulated != nullptr && !screens.stopped()) {
        const auto now = std::chrono::steady_clock::now();
        if (emulated->openFiles() == 0) {
            openSince = std::chrono::steady_clock::time_point::max();
        } else if (openSince == std::chrono::steady_clock::time_point::max()) {
            openSince = now;
        } else if (now - openSince >= kSteadyOpen) {
            break;
        }
        std::this_thread::sleep_for(kLook);
    }
    if (screens.stopped()) return;
    tsdemu::TouchScriptPlayer player(presented, script);
    while (!screens.stopped() && player.pushed() < script.size() && presented.plugged()) {
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
    std::vector<char*> argv;
    for (const std::string& word : options.program) argv.push_back(const_cast<char*>(word.c_str()));
    argv.push_back(nullptr);
    const pid_t child = tsdemu::startProgram(argv.data(), !options.usbip);
    if (child < 0) throw std::runtime_error("cannot start a process");
    std::unique_ptr<tsdemu::ControlScript> script;
    if (!taps.empty()) {
        script = std::make_unique<tsdemu::ControlScript>(screens, taps, options.taps);
    }
    std::vector<std::thread> streams;
    const touchsdk::CalibrationRange range =
        options.setup.range.value_or(tsdemu::kDefaultCoordinateRange);
    for (unsigned i = 0; options.touch && i < options.screens; ++i) {
        streams.emplace_back(tsdemu::sweepTouches, std::ref(screens), i, range, options.rateHz);
    }
    if (!recorded.empty()) streams.emplace_back(replay, std::ref(screens), std::cref(recorded));
    const int status = tsdemu::waitForProgram(child);
    screens.stop();
    script.reset();
    channel.reset();
    for (std::thread& stream : streams) stream.join();
    return tsdemu::statusOf(status);
}

int emulate(int argc, char** argv) {
    const tsdtool::Options given = tsdtool::parseOptions(argc, argv, kSpecs, true);
    if (tsdtool::answerHelpOrVersion(given, "tsd-emulate", kUsage)) return 0;
    const Options options = parse(given);
    // The testbed announces a removal through libudev, which must see the
    // emulated /sys as the program does.
    if (!options.usbip) tsdemu::ensureUmockdevPreload(argv);
    tsdemu::forwardSignals();
    return run(options);
}

}  // namespace

int main(int argc, char** argv) {
    tsdemu::noteInheritedDescriptors();
    // Every failure of tsd-emulate's own is 125, so that it never passes
    // for a status of the program's.
    try {
        return emulate(argc, argv);
    } catch (const Failure& failure) {
        std::fprintf(stderr, "tsd-emulate: %s\n", failure.what());
        if (failure.status() == Exit::Usage) std::fputs("(see tsd-emulate --help)\n", stderr);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "tsd-emulate: %s\n", error.what());
    }
    return tsdtool::code(Exit::EmulatorFailed);
}
