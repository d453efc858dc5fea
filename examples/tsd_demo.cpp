// SPDX-License-Identifier: MIT
// The C++ interface at work: lists the screens, opens the first, prints its
// serial number and modes, prints touches until it has seen the number
// asked for (default 10) and reports screens plugged in or out meanwhile.
// Try it without hardware:
//
//   tsd-emulate --touch -- tsd-demo-cpp 20
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <mutex>
#include <touchsdk.hpp>

int main(int argc, char** argv) try {
    const unsigned wanted =
        argc > 1 ? static_cast<unsigned>(std::strtoul(argv[1], nullptr, 10)) : 10;
    const tsd::Version v = tsd::version();
    std::printf("touchsdk %u.%u.%u.%u\n", v.major, v.minor, v.build, v.revision);

    // Devices of every subsystem are reported: the application picks.
    tsd::HotplugWatch watch([](tsd::HotplugAction action, std::string_view path) {
        if (path.find("/hidraw/") == std::string_view::npos) return;
        std::printf("%s %.*s\n", action == tsd::HotplugAction::add ? "plugged" : "unplugged",
                    static_cast<int>(path.size()), path.data());
    });

    const std::vector<tsd::ScreenInfo> found = tsd::screens();
    for (const tsd::ScreenInfo& info : found) {
        std::printf("screen %s serial %ls\n", info.syspath.c_str(),
                    info.serial ? info.serial->c_str() : L"(none)");
    }
    if (found.empty()) {
        std::fprintf(stderr, "no touch screen found\n");
        return 1;
    }

    tsd::Screen screen(found.front());
    std::printf("working mode %u, data mode %u, hid mode %u\n", screen.workingMode(),
                screen.dataMode(), screen.hidMode());

    std::mutex mutex;
    std::condition_variable changed;
    unsigned touches = 0;
    screen.callbacks().onTouch([&](const TouchPoint& point) {
        const TouchPoint p = point;  // packed: copy before taking fields apart
        std::printf("touch id %u %s x %.0f y %.0f\n", p.id, p.state ? "down" : "up ",
                    static_cast<double>(p.x), static_cast<double>(p.y));
        std::lock_guard<std::mutex> lock(mutex);
        ++touches;
        changed.notify_all();
    });
    bool done = false;
    {
        std::unique_lock<std::mutex> lock(mutex);
        done = changed.wait_for(lock, std::chrono::seconds(20), [&] { return touches >= wanted; });
    }
    // The screen's destructor stops delivery before it closes the screen.
    screen.callbacks().stopAll();
    std::printf("%u touches\n", touches);
    return done ? 0 : 1;
} catch (const std::exception& e) {  // tsd::Error names the failed call
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
}
