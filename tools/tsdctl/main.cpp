// tsdctl: lists, inspects, configures, watches and records the touch
// screens the library supports. See tsdctl(1).
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "commands.h"

namespace {

using tsdctl::Exit;
using tsdtool::OptionSpec;

constexpr OptionSpec kJson = {"json", 0, false};
constexpr OptionSpec kSerial = {"serial", 0, true};
constexpr OptionSpec kYes = {"yes", 'y', false};
constexpr OptionSpec kCount = {"count", 0, true};

struct Subcommand {
    const char* name;
    Exit (*run)(const tsdtool::Options&);
    std::vector<OptionSpec> options;
    const char* summary;
    const char* help;
};

const Subcommand kSubcommands[] = {
    {"list", tsdctl::listCommand, {kJson}, "the supported screens attached",
     "usage: tsdctl list [--json]\n"
     "Lists every supported screen: index, node, VID:PID, serial, access, sysfs path.\n"
     "With none, tells how many other HID devices it passed over, and their IDs.\n"},
    {"info", tsdctl::infoCommand, {kJson, kSerial},
     "identity, modes, range and calibration state",
     "usage: tsdctl info [SCREEN] [--serial S] [--json]\n"
     "Identity, modes, module list, coordinate range and calibration state.\n"},
    {"mode", tsdctl::modeCommand, {kJson, kSerial}, "read or set the working, data or HID mode",
     "usage: tsdctl mode [SCREEN] [--serial S] working|data|hid [VALUE] [--json]\n"
     "Reads a mode, or sets it and reads it back. working 0-1, data 0-4, hid 0-2.\n"},
    {"restart", tsdctl::restartCommand, {kYes, kSerial}, "restart a screen",
     "usage: tsdctl restart [SCREEN] [--serial S] -y|--yes\n"
     "Restarts the screen. Without --yes, says what it would do and exits 2.\n"},
    {"calibration", tsdctl::calibrationCommand,
     {kYes, kSerial, {"points", 0, true}, {"range", 0, true}, {"apply", 0, false}},
     "reset, apply, cancel or fit the calibration",
     "usage: tsdctl calibration reset [SCREEN] -y|--yes\n"
     "       tsdctl calibration apply|cancel [SCREEN]\n"
     "       tsdctl calibration fit [SCREEN] --points FILE --range X0,X1,Y0,Y1 [--apply]\n"
     "reset empties the active calibration; apply keeps the preview, cancel drops it.\n"
     "fit reads touchX,touchY,targetX,targetY lines (targets in the --range units),\n"
     "previews the fitted calibration and prints each pair's residual.\n"},
    {"events", tsdctl::eventsCommand,
     {kJson, kSerial, kCount, {"raw", 0, false}, {"keys", 0, false}, {"diagnosis", 0, false}},
     "print touches, keys and diagnosis data as they arrive",
     "usage: tsdctl events [SCREEN] [--serial S] [--raw] [--keys] [--diagnosis]\n"
     "                     [--count N] [--json]\n"
     "Prints touches (and raw touches, keys, diagnosis data) as they arrive, one\n"
     "line each with its time of arrival, until Ctrl-C or N records. Ends with\n"
     "status 1 if the screen goes away.\n"},
    {"watch", tsdctl::watchCommand, {kJson, kCount, {"all", 0, false}},
     "print screens as they come and go",
     "usage: tsdctl watch [--all] [--count N] [--json]\n"
     "Prints a line for each supported screen added or removed, with the time,\n"
     "its IDs and serial (--all: every device).\n"},
    {"record", tsdctl::recordCommand, {kSerial, kCount}, "record a screen to replay with tsd-emulate",
     "usage: tsdctl record [SCREEN] [--serial S] [--count N] FILE\n"
     "Records the screen's identity, descriptor, range and input reports with\n"
     "their timing into FILE (- for stdout) until Ctrl-C or N reports; replay\n"
     "it with tsd-emulate --replay FILE. Ends with status 1 if the file cannot\n"
     "be written or the screen goes away.\n"},
};

constexpr const char* kExitTable =
    "\nexit status: 0 done, 1 failed, 2 usage, 3 no such screen, 4 access denied\n";

std::string usage() {
    std::string text = "usage: tsdctl [--version] [--help] COMMAND [ARGS]\n\ncommands:\n";
    char line[128];
    for (const Subcommand& command : kSubcommands) {
        std::snprintf(line, sizeof line, "  %-12s %s\n", command.name, command.summary);
        text += line;
    }
    return text +
           "\nSCREEN is an index from 'tsdctl list', a /dev/hidrawN or a sysfs path; it\n"
           "may be left out when one screen is attached. 'tsdctl help COMMAND' tells\n"
           "more; see also tsdctl(1).\n" +
           kExitTable;
}

const Subcommand* named(const std::string& name) {
    for (const Subcommand& command : kSubcommands) {
        if (name == command.name) return &command;
    }
    return nullptr;
}

const Subcommand& mustName(const std::string& name) {
    const Subcommand* command = named(name);
    if (command == nullptr) {
        tsdtool::usageError("unknown command \"" + name + "\"");
    }
    return *command;
}

int runSubcommand(const Subcommand& command, const std::vector<std::string>& words) {
    const tsdtool::Options args = tsdtool::parseOptions(words, command.options);
    const std::string help = std::string(command.help) + kExitTable;
    const std::string program = std::string("tsdctl ") + command.name;
    if (tsdtool::answerHelpOrVersion(args, program.c_str(), help.c_str())) return 0;
    return tsdtool::code(command.run(args));
}

int tsdctlMain(int argc, char** argv) {
    // Options before the command: only --help and --version.
    const tsdtool::Options top = tsdtool::parseOptions(argc, argv, {}, true);
    if (tsdtool::answerHelpOrVersion(top, "tsdctl", usage().c_str())) return 0;
    std::vector<std::string> words = top.words();
    if (words.empty()) tsdtool::usageError("name a command");
    const std::string first = words.front();
    words.erase(words.begin());
    if (first == "help") {
        if (words.empty()) {
            std::fputs(usage().c_str(), stdout);
            return 0;
        }
        if (words.size() > 1) tsdtool::usageError("help takes one COMMAND");
        std::fputs((std::string(mustName(words.front()).help) + kExitTable).c_str(), stdout);
        return 0;
    }
    const Subcommand& command = mustName(first);
    try {
        return runSubcommand(command, words);
    } catch (const tsdtool::Failure& failure) {
        // Named after the subcommand, and pointed at its own help.
        std::fprintf(stderr, "tsdctl %s: %s\n", command.name, failure.what());
        if (failure.status() == Exit::Usage) {
            std::fprintf(stderr, "(see tsdctl help %s)\n", command.name);
        }
        return tsdtool::code(failure.status());
    }
}

}  // namespace

int main(int argc, char** argv) { return tsdtool::runTool("tsdctl", tsdctlMain, argc, argv); }
