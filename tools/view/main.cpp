// tsd-view: a live picture of the touches on the display the screen lies
// on. See tsd-view(1).
#include <csignal>
#include <cstdio>
#include <cwchar>

#include "display.h"
#include "library_screen.h"
#include "signals.h"
#include "view_options.h"
#include "viewer.h"

namespace {

constexpr int kExitDone = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
constexpr int kExitNoScreen = 3;
constexpr int kExitDenied = 4;

int fail(const std::string& message, int code = kExitFailed) {
    std::fprintf(stderr, "tsd-view: %s\n", message.c_str());
    return code;
}

// Why the screen could not be had, as the tools' exit codes tell it.
int openFailure(const std::string& error) {
    if (error.rfind("permission denied", 0) == 0) return fail(error, kExitDenied);
    if (error.rfind("no touch screen", 0) == 0) return fail(error, kExitNoScreen);
    return fail(error);
}

struct SerialLookup {
    std::string syspath;
    std::string serial;
};

// Serial numbers are printable ASCII; anything else is shown as '?'.
void collectSerial(void* context, const char* syspath, const wchar_t* serial) {
    auto* lookup = static_cast<SerialLookup*>(context);
    if (syspath == nullptr || serial == nullptr || lookup->syspath != syspath) return;
    for (const wchar_t* c = serial; *c != L'\0'; ++c) {
        lookup->serial += *c >= 0x20 && *c < 0x7F ? static_cast<char>(*c) : '?';
    }
}

std::string serialOf(const std::string& syspath) {
    SerialLookup lookup{syspath, {}};
    TsdEnumTouchScreensA(collectSerial, &lookup);
    return lookup.serial;
}

std::string geometryText(const tsdcal::Rect& r) {
    return std::to_string(r.width) + "x" + std::to_string(r.height) + "+" + std::to_string(r.x) +
           "+" + std::to_string(r.y);
}

int run(tsdview::ViewOptions options) {
    tsdcal::SignalPipe signals;
    if (!signals.ok()) return fail("cannot watch for signals");
    std::string error;
    const std::unique_ptr<tsdcal::LibraryScreen> screen =
        tsdcal::LibraryScreen::open(options.device, error);
    if (!screen) return openFailure(error);
    if (!screen->listenToKeys()) return fail("cannot receive the screen's virtual keys");
    options.display.title = "tsd-view";
    const std::unique_ptr<tsdcal::Display> display = tsdcal::openDisplay(options.display, error);
    if (!display) return fail(error);
    const tsdcal::Size size = display->size();
    const tsdcal::Rect area =
        options.geometry.value_or(tsdcal::Rect{0, 0, size.width, size.height});
    if (!tsdcal::insideDisplay(area, size)) {
        return fail("the geometry " + geometryText(area) + " does not lie inside the display (" +
                        std::to_string(size.width) + "x" + std::to_string(size.height) + ")",
                    kExitUsage);
    }
    tsdview::ViewLimits limits;
    if (options.timeoutSeconds) {
        limits.idleMs = static_cast<int64_t>(*options.timeoutSeconds * 1000.0);
    }
    limits.frames = options.frames;
    tsdview::Viewer viewer(*screen, *display, signals, tsdcal::View(area, options.rotation),
                           {serialOf(screen->syspath()), screen->range()}, limits);
    const tsdview::Ending ending = viewer.run();
    if (!ending.message.empty()) std::fprintf(stderr, "tsd-view: %s\n", ending.message.c_str());
    return ending.failed ? kExitFailed : kExitDone;
}

}  // namespace

int main(int argc, char** argv) {
    tsdview::ViewOptions options;
    std::string error;
    if (!tsdview::parseViewOptions(argc, argv, options, error)) {
        std::fprintf(stderr, "tsd-view: %s\n%s", error.c_str(), tsdview::viewUsage());
        return kExitUsage;
    }
    if (options.help) {
        std::fputs(tsdview::viewUsage(), stdout);
        return kExitDone;
    }
    if (options.version) {
        uint32_t v[4];
        TsdGetSdkVersion(&v[0], &v[1], &v[2], &v[3]);
        std::printf("tsd-view (touchsdk) %u.%u.%u.%u\n", v[0], v[1], v[2], v[3]);
        return kExitDone;
    }
    std::signal(SIGPIPE, SIG_IGN);
    try {
        return run(options);
    } catch (const std::exception& e) {
        return fail(std::string("unexpected failure: ") + e.what());
    }
}
