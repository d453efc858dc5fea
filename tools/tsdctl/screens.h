#pragma once

#include <optional>
#include <string>
#include <vector>

#include "args.h"
#include "touchsdk.h"

namespace tsdctl {

// A supported screen as discovery finds it.
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

// The screen named by `word` (an index from `list`, a sysfs path or a
// /dev/hidrawN) or by --serial; with neither, the only screen attached.
// Ends with status 3 when there is no such screen, 2 when the choice is
// ambiguous.
Screen chooseScreen(const Args& args, const std::optional<std::string>& word);

// Takes the leading SCREEN word off `words` if there is one.
std::optional<std::string> takeScreenWord(std::vector<std::string>& words);

// True when `word` looks like a screen name rather than another argument.
bool looksLikeScreen(const std::string& word);

// The screen opened through the library; closed on destruction. A node this
// user may not open ends with status 4 and names the udev rule.
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

// Ends with status 4 if this user may not open the node.
void requireAccess(const Screen& screen);

}  // namespace tsdctl
