// mode and restart: the screen's three modes, and restarting it.
#include <cstdio>
#include <string>

#include "commands.h"
#include "values.h"

namespace tsdctl {

namespace {

struct ModeKind {
    const char* name;
    unsigned highest;
    TsdResult (*get)(TouchScreenHandle, uint8_t*);
    TsdResult (*set)(TouchScreenHandle, uint32_t);
};

constexpr ModeKind kModes[] = {
    {"working", 1, TsdGetTouchScreenWorkingMode, TsdSetTouchScreenWorkingMode},
    {"data", 4, TsdGetTouchScreenDataMode, TsdSetTouchScreenDataMode},
    {"hid", 2, TsdGetTouchScreenHidMode, TsdSetTouchScreenHidMode},
};

const ModeKind& modeNamed(const std::string& name) {
    for (const ModeKind& mode : kModes) {
        if (name == mode.name) return mode;
    }
    usageError("unknown mode \"" + name + "\" (working, data or hid)");
}

// Checked before the screen is opened, so bad input sends nothing.
std::optional<uint32_t> valueToSet(const ModeKind& mode, const std::vector<std::string>& rest) {
    if (rest.size() < 2) return std::nullopt;
    if (rest.size() > 2) usageError("unexpected \"" + rest[2] + "\"");
    const auto value = tsdtool::parseUnsigned(rest[1], mode.highest);
    if (!value) {
        usageError(std::string(mode.name) + " mode takes 0 to " + std::to_string(mode.highest) +
                   ", not \"" + rest[1] + "\"");
    }
    return static_cast<uint32_t>(*value);
}

}  // namespace

Exit modeCommand(const Options& args) {
    std::vector<std::string> rest = args.words();
    const tsdtool::ScreenSelection selection = takeSelection(args, rest);
    if (rest.empty()) usageError("name a mode: working, data or hid");
    const ModeKind& mode = modeNamed(rest[0]);
    const std::optional<uint32_t> wanted = valueToSet(mode, rest);
    OpenScreen open(tsdtool::chooseScreen(selection));
    if (wanted && mode.set(open.handle(), *wanted) != TSD_OK) {
        throw Failure(Exit::Failed, "the screen refused " + std::string(mode.name) + " mode " +
                                        std::to_string(*wanted));
    }
    uint8_t value = 0;
    if (mode.get(open.handle(), &value) != TSD_OK) {
        throw Failure(Exit::Failed,
                      "the screen did not report its " + std::string(mode.name) + " mode");
    }
    if (args.has("json")) {
        printLine(versioned()
                      .add("screen", open.screen().index)
                      .add("mode", mode.name)
                      .add("value", unsigned{value})
                      .str());
    } else {
        std::printf("%s mode %u\n", mode.name, value);
    }
    if (wanted && value != *wanted) {
        throw Failure(Exit::Failed, "set " + std::to_string(*wanted) + " but the screen reports " +
                                        std::to_string(value));
    }
    return Exit::Ok;
}

Exit restartCommand(const Options& args) {
    std::vector<std::string> rest = args.words();
    const tsdtool::ScreenSelection selection = takeSelection(args, rest);
    noMoreWords(rest);
    const Screen screen = tsdtool::chooseScreen(selection);
    if (!args.has("yes")) {
        usageError("would restart screen " + std::to_string(screen.index) + " (" + screen.devnode +
                   "); add --yes to do it");
    }
    OpenScreen open(screen);
    if (TsdRestartTouchScreen(open.handle()) != TSD_OK) {
        throw Failure(Exit::Failed, "the screen did not accept the restart");
    }
    std::printf("restarted screen %u (%s)\n", screen.index, screen.devnode.c_str());
    return Exit::Ok;
}

}  // namespace tsdctl
