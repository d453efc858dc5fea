#include "screens.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>

#include "access.h"
#include "exit_status.h"
#include "library_internals.h"
#include "values.h"

namespace tsdtool {

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
// user may not open never reaches its list. What discovery checks without
// opening the node must hold here too, or the person would be shown a
// device (a uhid one, say, with no USB parent) the library never reports.
std::optional<Screen> deniedScreen(const touchsdk::UdevContext& context,
                                   const std::string& syspath) {
    Screen screen;
    screen.syspath = syspath;
    screen.devnode = "/dev/" + baseName(syspath);
    if (::access(screen.devnode.c_str(), R_OK | W_OK) == 0 || errno != EACCES) return std::nullopt;
    // The USB parent belongs to the hidraw device, which must outlive it.
    const touchsdk::UdevDevice device = touchsdk::UdevDevice::fromSyspath(context, syspath.c_str());
    const touchsdk::UdevDevice usb = device.usbDevice();
    if (!usb.valid()) return std::nullopt;
    fillIds(screen);
    if (const char* serial = usb.sysattr("serial")) screen.serial = serial;
    return screen;
}

std::string describe(const Screen& screen) {
    return screen.devnode + " (index " + std::to_string(screen.index) + ")";
}

Screen bySerial(const std::vector<Screen>& screens, const std::string& serial) {
    std::vector<Screen> matches;
    std::copy_if(screens.begin(), screens.end(), std::back_inserter(matches),
                 [&](const Screen& screen) { return screen.serial == serial; });
    if (matches.empty()) throw Failure(Exit::NoScreen, "no screen with serial " + serial);
    if (matches.size() > 1) {
        std::string names;
        for (const Screen& screen : matches) names += (names.empty() ? "" : ", ") + describe(screen);
        usageError(std::to_string(matches.size()) + " screens have serial " + serial + ": " +
                   names + "; name one by its index or node");
    }
    return matches.front();
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

std::vector<std::string> passedOverDevices() {
    std::vector<std::string> ids;
    const touchsdk::UdevContext context;
    if (!context.valid()) return ids;
    const std::vector<Screen> screens = listScreens();
    const touchsdk::UdevEnumeration enumeration(context);
    for (auto entry = enumeration.first(); entry.valid(); entry = entry.next()) {
        const bool listed = std::any_of(screens.begin(), screens.end(), [&](const Screen& s) {
            return s.syspath == entry.name();
        });
        if (listed) continue;
        const touchsdk::UdevDevice device = touchsdk::UdevDevice::fromSyspath(context, entry.name());
        const char* hidId = device.ancestor("hid").property("HID_ID");
        unsigned bus = 0;
        unsigned vendor = 0;
        unsigned product = 0;
        char id[16];
        if (hidId == nullptr || std::sscanf(hidId, "%x:%x:%x", &bus, &vendor, &product) != 3) {
            ids.emplace_back("unknown");
            continue;
        }
        std::snprintf(id, sizeof id, "%04x:%04x", vendor & 0xFFFF, product & 0xFFFF);
        ids.emplace_back(id);
    }
    return ids;
}

bool looksLikeScreen(const std::string& word) {
    return parseUnsigned(word, 1000).has_value() || word.rfind("/sys/", 0) == 0 ||
           word.rfind("/dev/", 0) == 0;
}

Screen chooseScreen(const ScreenSelection& selection) {
    const std::vector<Screen> screens = listScreens();
    if (selection.word && selection.serial) usageError("name the screen or give --serial, not both");
    if (selection.serial) return bySerial(screens, *selection.serial);
    if (const auto& word = selection.word) {
        if (!looksLikeScreen(*word)) usageError("\"" + *word + "\" does not name a screen");
        if (auto found = findByWord(screens, *word)) return *found;
        throw Failure(Exit::NoScreen, "no supported screen " + *word + " (see tsdctl list)");
    }
    if (screens.empty()) throw Failure(Exit::NoScreen, "no supported screen found");
    if (screens.size() > 1) {
        usageError(std::to_string(screens.size()) +
                   " screens attached: name one (an index from tsdctl list, a node, a sysfs path "
                   "or --serial)");
    }
    return screens.front();
}

OpenScreen::OpenScreen(const Screen& screen) : screen_(screen) {
    requireAccess(screen.devnode);
    if (TsdOpenTouchScreenA(screen.syspath.c_str(), &handle_) != TSD_OK) {
        handle_ = nullptr;
        throw Failure(Exit::Failed, "cannot open " + screen.devnode);
    }
}

OpenScreen::~OpenScreen() {
    if (handle_ != nullptr) TsdCloseTouchScreen(handle_);
}

}  // namespace tsdtool
