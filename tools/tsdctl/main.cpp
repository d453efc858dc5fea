// tsdctl: lists, inspects, configures, watches and records the touch
// screens the library supports. See tsdctl(1).
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "commands.h"
#include "touchsdk.h"

namespace {

using tsdctl::Exit;

struct Subcommand {
    const char* name;
    Exit (*run)(const tsdctl::Words&);
    const char* summary;
    const char* help;
};

constexpr Subcommand kSubcommands[] = {
    {"list", tsdctl::listCommand, "the supported screens attached",
     "usage: tsdctl list [--json]\n"
     "Lists every supported screen: index, node, VID:PID, serial, access, sysfs path.\n"},
    {"info", tsdctl::infoCommand, "identity, modes, range and calibration state",
     "usage: tsdctl info [SCREEN] [--serial S] [--json]\n"
     "Identity, modes, module list, coordinate range and calibration state.\n"},
    {"mode", tsdctl::modeCommand, "read or set the working, data or HID mode",
     "usage: tsdctl mode [SCREEN] [--serial S] working|data|hid [VALUE] [--json]\n"
     "Reads a mode, or sets it and reads it back. working 0-1, data 0-4, hid 0-2.\n"},
    {"restart", tsdctl::restartCommand, "restart a screen",
     "usage: tsdctl restart [SCREEN] [--serial S] -y\n"
     "Restarts the screen. Without -y, says what it would do and exits 2.\n"},
    {"calibration", tsdctl::calibrationCommand, "reset, apply, cancel or fit the calibration",
     "usage: tsdctl calibration reset [SCREEN] -y\n"
     "       tsdctl calibration apply|cancel [SCREEN]\n"
     "       tsdctl calibration fit [SCREEN] --points FILE --range X0,X1,Y0,Y1 [--apply]\n"
     "reset empties the active calibration; apply keeps the preview, cancel drops it.\n"
     "fit reads touchX,touchY,targetX,targetY lines (targets in the --range units),\n"
     "previews the fitted calibration and prints each pair's residual.\n"},
    {"events", tsdctl::eventsCommand, "print touches, keys and diagnosis data as they arrive",
     "usage: tsdctl events [SCREEN] [--serial S] [--raw] [--keys] [--diagnosis]\n"
     "                     [--count N] [--json]\n"
     "Prints touches (and raw touches, keys, diagnosis data) as they arrive,\n"
     "one line each, until Ctrl-C or N records.\n"},
    {"watch", tsdctl::watchCommand, "print screens as they come and go",
     "usage: tsdctl watch [--all] [--count N] [--json]\n"
     "Prints a line for each supported screen added or removed (--all: every device).\n"},
    {"record", tsdctl::recordCommand, "record a screen to replay with tsd-emulate",
     "usage: tsdctl record [SCREEN] [--serial S] [--count N] FILE\n"
     "Records the screen's identity, descriptor, range and input reports with\n"
     "their timing into FILE (- for stdout) until Ctrl-C or N reports; replay\n"
     "it with tsd-emulate --replay FILE.\n"},
};

void printUsage(std::FILE* to) {
    std::fputs("usage: tsdctl [--version] [--help] COMMAND [ARGS]\n\ncommands:\n", to);
    for (const Subcommand& command : kSubcommands) {
        std::fprintf(to, "  %-12s %s\n", command.name, command.summary);
    }
    std::fputs(
        "\nSCREEN is an index from 'tsdctl list', a sysfs path or a /dev/hidrawN;\n"
        "it may be left out when one screen is attached. 'tsdctl COMMAND --help'\n"
        "tells more; see also tsdctl(1).\n",
        to);
}

bool wantsHelp(const tsdctl::Words& words) {
    for (const std::string& word : words) {
        if (word == "--help" || word == "-h") return true;
    }
    return false;
}

int runSubcommand(const Subcommand& command, const tsdctl::Words& words) {
    if (wantsHelp(words)) {
        std::fputs(command.help, stdout);
        return 0;
    }
    try {
        return static_cast<int>(command.run(words));
    } catch (const tsdctl::Failure& failure) {
        std::fprintf(stderr, "tsdctl %s: %s\n", command.name, failure.what());
        if (failure.status() == Exit::Usage) {
            std::fprintf(stderr, "(see tsdctl %s --help)\n", command.name);
        }
        return static_cast<int>(failure.status());
    } catch (const std::exception& error) {
        std::fprintf(stderr, "tsdctl %s: %s\n", command.name, error.what());
        return static_cast<int>(Exit::Failed);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        printUsage(stderr);
        return static_cast<int>(Exit::Usage);
    }
    const std::string first = argv[1];
    if (first == "--version") {
        uint32_t v[4];
        TsdGetSdkVersion(&v[0], &v[1], &v[2], &v[3]);
        std::printf("tsdctl (touchsdk) %u.%u.%u.%u\n", v[0], v[1], v[2], v[3]);
        return 0;
    }
    if (first == "--help" || first == "-h" || first == "help") {
        printUsage(stdout);
        return 0;
    }
    for (const Subcommand& command : kSubcommands) {
        if (first == command.name) {
            return runSubcommand(command, tsdctl::Words(argv + 2, argv + argc));
        }
    }
    std::fprintf(stderr, "tsdctl: unknown command \"%s\" (see tsdctl --help)\n", first.c_str());
    return static_cast<int>(Exit::Usage);
}
