#include "screens.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "device/discovery.h"
#include "device/udev.h"
#include "output.h"

namespace tsdctl {

namespace {

std::string baseName(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string parentOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

// Serial numbers arrive one wide character per byte of the screen's string.
std::string utf8Of(const wchar_t* text) {
    std::string out;
    for (; *text != L'\0'; ++text) {
        const auto code = static_cast<uint32_t>(*text);
        if (code < 0x80) {
            out += static_cast<char>(code);
        } else if (code < 0x800) {
            out += static_cast<char>(0xC0 | (code >> 6));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            out += '?';
        }
    }
    return out;
}

// The hidraw node sits below its HID device, named BUS:VENDOR:PRODUCT.N:
// .../0003:E2C4:0001.0001/hidraw/hidraw0.
void fillIds(Screen& screen) {
    const std::string hid = baseName(parentOf(parentOf(screen.syspath)));
    if (hid.size() >= 14 && hid[4] == ':' && hid[9] == ':') {
        screen.vendor = hid.substr(5, 4);
        screen.product = hid.substr(10, 4);
    }
}

void onScreen(void* context, const char* syspath, const wchar_t* serial) {
    auto& screens = *static_cast<std::vector<Screen>*>(context);
    Screen screen;
    screen.index = static_cast<unsigned>(screens.size());
    screen.syspath = syspath;
    screen.devnode = "/dev/" + baseName(screen.syspath);
    if (serial != nullptr) screen.serial = utf8Of(serial);
    fillIds(screen);
    screen.accessible = ::access(screen.devnode.c_str(), R_OK | W_OK) == 0;
    screens.push_back(screen);
}

std::string canonical(const std::string& path) {
    char resolved[PATH_MAX];
    return ::realpath(path.c_str(), resolved) != nullptr ? resolved : path;
}

std::optional<Screen> findByWord(const std::vector<Screen>& screens, const std::string& word) {
    if (const auto index = parseUnsigned(word, 1000)) {
        if (*index < screens.size()) return screens[*index];
        return std::nullopt;
    }
    const std::string wanted = word.rfind("/sys/", 0) == 0 ? canonical(word) : word;
    for (const Screen& screen : screens) {
        if (screen.devnode == word || screen.syspath == word || screen.syspath == wanted) {
            return screen;
        }
    }
    return std::nullopt;
}

// Discovery opens each node to read its report descriptor, so a screen this
// user may not open never reaches its list: the person would be told there
// is no screen when the udev rule is what is missing.
std::optional<Screen> deniedScreen(const touchsdk::UdevContext& context,
                                   const std::string& syspath) {
    Screen screen;
    screen.syspath = syspath;
    screen.devnode = "/dev/" + baseName(syspath);
    if (::access(screen.devnode.c_str(), R_OK | W_OK) == 0 || errno != EACCES) return std::nullopt;
    fillIds(screen);
    // The USB parent belongs to the hidraw device, which must outlive it.
    const touchsdk::UdevDevice device = touchsdk::UdevDevice::fromSyspath(context, syspath.c_str());
    const touchsdk::UdevDevice usb = device.usbDevice();
    if (const char* serial = usb.valid() ? usb.sysattr("serial") : nullptr) screen.serial = serial;
    return screen;
}

}  // namespace

std::vector<Screen> listScreens() {
    std::vector<Screen> found;
    TsdEnumTouchScreensA(onScreen, &found);
    // In udev's order, as discovery walks it, with the denied ones in place.
    std::vector<Screen> screens;
    const touchsdk::UdevContext context;
    for (const std::string& syspath :
         touchsdk::supportedNodesByIds(touchsdk::SupportedDeviceList.data())) {
        const auto known = std::find_if(found.begin(), found.end(), [&](const Screen& screen) {
            return screen.syspath == syspath;
        });
        if (known != found.end()) {
            screens.push_back(*known);
            found.erase(known);
        } else if (auto denied = deniedScreen(context, syspath)) {
            screens.push_back(*denied);
        }
    }
    // Screens whose IDs udev did not state: discovery opened and asked them.
    screens.insert(screens.end(), found.begin(), found.end());
    for (std::size_t i = 0; i < screens.size(); ++i) screens[i].index = static_cast<unsigned>(i);
    return screens;
}

bool looksLikeScreen(const std::string& word) {
    return parseUnsigned(word, 1000).has_value() || word.rfind("/sys/", 0) == 0 ||
           word.rfind("/dev/", 0) == 0;
}

std::optional<std::string> takeScreenWord(std::vector<std::string>& words) {
    if (words.empty() || !looksLikeScreen(words.front())) return std::nullopt;
    std::string word = words.front();
    words.erase(words.begin());
    return word;
}

Screen chooseScreen(const Args& args, const std::optional<std::string>& word) {
    const std::vector<Screen> screens = listScreens();
    const std::optional<std::string> serial = args.value("--serial");
    if (word && serial) usageError("name the screen or give --serial, not both");
    if (serial) {
        for (const Screen& screen : screens) {
            if (screen.serial == *serial) return screen;
        }
        throw Failure(Exit::NoScreen, "no screen with serial " + *serial);
    }
    if (word) {
        if (!looksLikeScreen(*word)) usageError("\"" + *word + "\" does not name a screen");
        if (auto found = findByWord(screens, *word)) return *found;
        throw Failure(Exit::NoScreen, "no supported screen " + *word + " (see tsdctl list)");
    }
    if (screens.empty()) throw Failure(Exit::NoScreen, "no supported screen found");
    if (screens.size() > 1) {
        usageError(std::to_string(screens.size()) +
                   " screens attached: name one (an index from tsdctl list, a path or --serial)");
    }
    return screens.front();
}

void requireAccess(const Screen& screen) {
    if (::access(screen.devnode.c_str(), R_OK | W_OK) == 0 || errno != EACCES) return;
    throw Failure(Exit::Denied,
                  "permission denied on " + screen.devnode +
                      ": install the udev rule 70-touchsdk.rules and add this user to the "
                      "group touchsdk (then log in again)");
}

OpenScreen::OpenScreen(const Screen& screen) : screen_(screen) {
    requireAccess(screen);
    if (TsdOpenTouchScreenA(screen.syspath.c_str(), &handle_) != TSD_OK) {
        handle_ = nullptr;
        throw Failure(Exit::Failed, "cannot open " + screen.devnode);
    }
}

OpenScreen::~OpenScreen() {
    if (handle_ != nullptr) TsdCloseTouchScreen(handle_);
}

}  // namespace tsdctl
