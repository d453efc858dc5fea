// list and info: what is attached and what each screen holds.
#include <cstdio>
#include <string>

#include "commands.h"
#include "stored.h"

namespace tsdctl {

namespace {

std::string screenJson(const Screen& screen) {
    JsonObject object;
    object.add("index", screen.index);
    return addIdentity(object, screen).add("access", screen.accessible).str();
}

std::string describe(const Screen& screen) {
    char line[1024];
    std::snprintf(line, sizeof line, "%-5u %-13s %s:%s  %-16s %-6s %s", screen.index,
                  screen.devnode.c_str(), screen.vendor.c_str(), screen.product.c_str(),
                  screen.serial ? screen.serial->c_str() : "-", screen.accessible ? "ok" : "denied",
                  screen.syspath.c_str());
    return line;
}

// A mode read through the public functions; nullopt when the screen did not
// answer.
template <typename Get>
std::optional<unsigned> readMode(Get get, TouchScreenHandle handle) {
    uint8_t value = 0;
    if (get(handle, &value) != TSD_OK) return std::nullopt;
    return value;
}

struct Facts {
    std::optional<unsigned> working, data, hid;
    std::optional<std::vector<uint8_t>> modules;
    std::optional<touchsdk::CalibrationRange> range;
    Slot active, preview;
};

Facts gather(const OpenScreen& open) {
    Facts facts;
    facts.working = readMode(TsdGetTouchScreenWorkingMode, open.handle());
    facts.data = readMode(TsdGetTouchScreenDataMode, open.handle());
    facts.hid = readMode(TsdGetTouchScreenHidMode, open.handle());
    // What the public functions do not show, over a channel of our own.
    tsdtool::PrivateChannel channel(open.screen().devnode);
    if (!channel.valid()) return facts;
    facts.modules = moduleList(channel.handle());
    facts.range = screenRange(channel.handle());
    facts.active = activeCalibration(channel.handle());
    facts.preview = previewCalibration(channel.handle());
    return facts;
}

void addOptional(JsonObject& object, const char* key, const std::optional<unsigned>& value) {
    if (value) {
        object.add(key, *value);
    } else {
        object.addNull(key);
    }
}

std::string recordJson(const Slot& slot) {
    if (slot.state == Slot::State::NoAnswer) return "null";
    const bool stored = slot.state == Slot::State::Stored;
    return JsonObject()
        .add("present", stored)
        .add("valid", stored && slot.record.valid == 1)
        .add("degree", stored ? degreeOf(slot.record) : 0)
        .str();
}

std::string rangeJson(const std::optional<touchsdk::CalibrationRange>& range) {
    if (!range) return "null";
    return JsonObject()
        .add("xBegin", double{range->xBegin})
        .add("xEnd", double{range->xEnd})
        .add("yBegin", double{range->yBegin})
        .add("yEnd", double{range->yEnd})
        .str();
}

std::string modulesJson(const std::optional<std::vector<uint8_t>>& modules) {
    if (!modules) return "null";
    std::string text = "[";
    for (uint8_t module : *modules) text += (text.size() > 1 ? "," : "") + std::to_string(module);
    return text + "]";
}

std::string infoJson(const Screen& screen, const Facts& facts) {
    JsonObject object = versioned();
    object.addRaw("screen", screenJson(screen));
    addOptional(object, "workingMode", facts.working);
    addOptional(object, "dataMode", facts.data);
    addOptional(object, "hidMode", facts.hid);
    object.addRaw("modules", modulesJson(facts.modules))
        .addRaw("range", rangeJson(facts.range))
        .addRaw("activeCalibration", recordJson(facts.active))
        .addRaw("previewCalibration", recordJson(facts.preview))
        .addNull("previewSwitch");  // the screen offers no way to read it
    return object.str();
}

std::string text(const std::optional<unsigned>& value) {
    return value ? std::to_string(*value) : std::string("(no answer)");
}

std::string recordText(const Slot& slot) {
    if (slot.state == Slot::State::NoAnswer) return "(no answer)";
    if (slot.state == Slot::State::Empty) return "none";
    const touchsdk::DecodedCalibration& record = slot.record;
    const std::string validity = record.valid == 1 ? ", valid" : ", not valid";
    if (!record.hasModel()) return record.valid == 1 ? "without a model, valid" : "empty (reset)";
    return "degree " + std::to_string(degreeOf(record)) + validity;
}

void printInfo(const Screen& screen, const Facts& facts) {
    std::printf("screen %u: %s %s:%s serial %s\n", screen.index, screen.devnode.c_str(),
                screen.vendor.c_str(), screen.product.c_str(),
                screen.serial ? screen.serial->c_str() : "(none)");
    std::printf("  syspath:      %s\n", screen.syspath.c_str());
    std::printf("  working mode: %s\n  data mode:    %s\n  hid mode:     %s\n",
                text(facts.working).c_str(), text(facts.data).c_str(), text(facts.hid).c_str());
    std::string modules = facts.modules ? "" : "(no answer)";
    if (facts.modules && facts.modules->empty()) modules = "none besides the controller";
    for (uint8_t module : facts.modules.value_or(std::vector<uint8_t>{})) {
        modules += (modules.empty() ? "" : " ") + std::to_string(module);
    }
    std::printf("  modules:      %s\n", modules.c_str());
    if (facts.range) {
        std::printf("  range:        x %g..%g, y %g..%g\n", double{facts.range->xBegin},
                    double{facts.range->xEnd}, double{facts.range->yBegin},
                    double{facts.range->yEnd});
    } else {
        std::printf("  range:        (no answer)\n");
    }
    std::printf("  calibration:  active %s; preview slot %s; preview switch not readable\n",
                recordText(facts.active).c_str(), recordText(facts.preview).c_str());
}

// A machine whose only HID devices are others must not look like one where
// the screen went unseen: say what was passed over.
void reportPassedOver() {
    const std::vector<std::string> ids = tsdtool::passedOverDevices();
    std::string list;
    for (const std::string& id : ids) list += (list.empty() ? " (" : ", ") + id;
    if (!list.empty()) list += ")";
    std::fprintf(stderr, "no supported screen found; passed over %zu other HID device%s%s\n",
                 ids.size(), ids.size() == 1 ? "" : "s", list.c_str());
}

}  // namespace

Exit listCommand(const Options& args) {
    if (!args.words().empty()) usageError("list takes no arguments");
    const std::vector<Screen> screens = tsdtool::listScreens();
    if (args.has("json")) {
        std::string array = "[";
        for (const Screen& screen : screens) {
            array += (array.size() > 1 ? "," : "") + screenJson(screen);
        }
        printLine(versioned().addRaw("screens", array + "]").str());
        return Exit::Ok;
    }
    if (screens.empty()) {
        reportPassedOver();
        return Exit::Ok;
    }
    printLine("INDEX NODE          VID:PID    SERIAL           ACCESS SYSPATH");
    for (const Screen& screen : screens) printLine(describe(screen));
    return Exit::Ok;
}

Exit infoCommand(const Options& args) {
    std::vector<std::string> rest = args.words();
    const tsdtool::ScreenSelection selection = takeSelection(args, rest);
    noMoreWords(rest);
    OpenScreen open(tsdtool::chooseScreen(selection));
    const Facts facts = gather(open);
    if (args.has("json")) {
        printLine(infoJson(open.screen(), facts));
    } else {
        printInfo(open.screen(), facts);
    }
    const bool answered = facts.working && facts.data && facts.hid;
    return answered ? Exit::Ok : Exit::Failed;
}

}  // namespace tsdctl
