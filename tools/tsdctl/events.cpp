// events: the screen's decoded records as they arrive, one line each.
#include <atomic>
#include <cstdio>
#include <string>

#include "commands.h"

namespace tsdctl {

namespace {

struct Stream {
    bool json = false;
    unsigned long limit = 0;  // 0: until stopped
    std::atomic<unsigned long> printed{0};
    std::atomic<bool> removed{false};
    std::string syspath;
    const tsdtool::StopSignals* stop = nullptr;
};

// Every line starts with its time of arrival: a JSON field, or the text
// line's first word.
JsonObject stamped(const char* type) {
    return versioned().add("time", arrivalTime()).add("type", type);
}

std::string stampedText(const std::string& line) { return arrivalTime() + " " + line; }

// Called on the library's dispatch thread, one record at a time.
void emit(Stream& stream, const std::string& line) {
    const unsigned long count = ++stream.printed;
    if (stream.limit != 0 && count > stream.limit) return;
    printLine(line);
    if (count == stream.limit) stream.stop->stop();
}

std::string pointLine(const Stream& stream, const char* type, const TouchPoint& p) {
    const char* state = p.state != 0 ? "down" : "up";
    if (stream.json) {
        return stamped(type)
            .add("id", unsigned{p.id})
            .add("state", state)
            .add("x", double{p.x})
            .add("y", double{p.y})
            .add("width", double{p.width})
            .add("height", double{p.height})
            .add("scanTime", unsigned{p.scanTime})
            .str();
    }
    char line[160];
    std::snprintf(line, sizeof line, "%-9s id %u %-4s x %.0f y %.0f w %.0f h %.0f scan %u", type,
                  p.id, state, double{p.x}, double{p.y}, double{p.width}, double{p.height},
                  p.scanTime);
    return stampedText(line);
}

void onTouch(void* context, TouchPoint* point) {
    auto& stream = *static_cast<Stream*>(context);
    emit(stream, pointLine(stream, "touch", *point));
}

void onRaw(void* context, TouchPoint* point) {
    auto& stream = *static_cast<Stream*>(context);
    emit(stream, pointLine(stream, "raw", *point));
}

std::string keyState(uint8_t state) {
    if (state == 0) return "released";
    if (state == 1) return "pressed";
    return std::to_string(state);
}

void onKey(void* context, VirtualKeyEvent* event) {
    auto& stream = *static_cast<Stream*>(context);
    const std::string state = keyState(event->state);
    if (stream.json) {
        emit(stream, stamped("key").add("key", unsigned{event->key}).add("state", state).str());
    } else {
        emit(stream, stampedText("key       " + std::to_string(event->key) + " " + state));
    }
}

void onDiagnosis(void* context, uint8_t* data) {
    auto& stream = *static_cast<Stream*>(context);
    std::string hex;
    char pair[4];
    for (int i = 0; i < TSD_DIAGNOSIS_DATA_SIZE; ++i) {
        std::snprintf(pair, sizeof pair, "%02x", data[i]);
        hex += pair;
    }
    if (stream.json) {
        emit(stream, stamped("diagnosis").add("data", hex).str());
    } else {
        emit(stream, stampedText("diagnosis " + hex));
    }
}

void onPlug(void* context, uint32_t action, const char* path) {
    auto& stream = *static_cast<Stream*>(context);
    if (action != TSD_ACTION_REMOVE || path == nullptr) return;
    // The path may come without the /sys mount point.
    if (stream.syspath == path || stream.syspath == std::string("/sys") + path) {
        stream.removed = true;
        stream.stop->stop();
    }
}

// The callback manager, deleted before the screen is closed.
class Delivery {
public:
    Delivery(TouchScreenHandle handle, const Options& args, Stream& stream) {
        if (TsdCreateCallbackManager(&manager_, handle) != TSD_OK) {
            throw Failure(Exit::Failed, "cannot start receiving reports");
        }
        bool ok = TsdRegisterTouchCallback(manager_, onTouch, &stream) == TSD_OK;
        if (args.has("raw")) {
            ok &= TsdRegisterRawtouchCallback(manager_, onRaw, &stream) == TSD_OK;
        }
        if (args.has("keys")) {
            ok &= TsdRegisterVirtualKeyCallback(manager_, onKey, &stream) == TSD_OK;
        }
        if (args.has("diagnosis")) {
            ok &= TsdRegisterDiagnosisCallback(manager_, onDiagnosis, &stream) == TSD_OK;
        }
        if (!ok) throw Failure(Exit::Failed, "cannot register for reports");
    }
    ~Delivery() { TsdDeleteCallbackManager(manager_); }
    Delivery(const Delivery&) = delete;
    Delivery& operator=(const Delivery&) = delete;

private:
    CallbackManagerHandle manager_ = nullptr;
};

}  // namespace

Exit eventsCommand(const Options& args) {
    std::vector<std::string> rest = args.words();
    const tsdtool::ScreenSelection selection = takeSelection(args, rest);
    noMoreWords(rest);
    Stream stream;
    stream.json = args.has("json");
    stream.limit = countOption(args);
    OpenScreen open(tsdtool::chooseScreen(selection));
    stream.syspath = open.screen().syspath;
    const tsdtool::StopSignals stop;
    stream.stop = &stop;
    NotificationHandle watcher = nullptr;
    if (TsdCreateTouchScreenNotificationA(&watcher, onPlug, &stream) != TSD_OK) watcher = nullptr;
    {
        Delivery delivery(open.handle(), args, stream);
        std::fprintf(stderr, "receiving from %s (Ctrl-C to stop)\n", open.screen().devnode.c_str());
        stop.wait();
    }
    if (watcher != nullptr) TsdDeleteTouchScreenNotification(watcher);
    if (stream.removed) throw Failure(Exit::Failed, "the screen was removed");
    return Exit::Ok;
}

}  // namespace tsdctl
