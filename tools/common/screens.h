#pragma once

// Screen discovery and selection for every tool: the supported screens in
// udev's order (those this user may not open included, so that the person
// is told access is missing, not the screen), and one way to name one: an
// index from `tsdctl list`, a /dev/hidrawN, a sysfs path, or a serial.
#include <optional>
#include <string>
#include <vector>

#include "touchsdk.h"

namespace tsdtool {

struct Screen {
    unsigned index = 0;
    std::string syspath;  // of the hidraw device
    std::string devnode;  // /dev/hidrawN
    std::string vendor;   // four hex digits
    std::string product;
    std::optional<std::string> serial;  // UTF-8
    bool accessible = false;            // this user may open the node read-write
};

std::vector<Screen> listScreens();

// The IDs (VVVV:PPPP) of the HID devices that are not supported screens:
// what `list` passed over.
std::vector<std::string> passedOverDevices();

struct ScreenSelection {
    std::optional<std::string> word;    // index, node or sysfs path
    std::optional<std::string> serial;  // --serial
};

// True when `word` looks like a screen name rather than another argument.
bool looksLikeScreen(const std::string& word);

// The screen selected; with neither a word nor a serial, the only screen
// attached. Ends with status 3 when there is no such screen, 2 when the
// choice is ambiguous (several screens, or several with that serial, named).
Screen chooseScreen(const ScreenSelection& selection);

// The screen opened through the library; closed on destruction. A node
// this user may not open ends with status 4 and the advice.
class OpenScreen {
public:
    explicit OpenScreen(const Screen& screen);
    ~OpenScreen();
    OpenScreen(const OpenScreen&) = delete;
    OpenScreen& operator=(const OpenScreen&) = delete;

    TouchScreenHandle handle() const { return handle_; }
    const Screen& screen() const { return screen_; }

private:
    Screen screen_;
    TouchScreenHandle handle_ = nullptr;
};

}  // namespace tsdtool
