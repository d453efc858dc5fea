#include "second_correction.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>
#include <sstream>

#include "library_internals.h"

extern char** environ;

namespace tsdcal {
namespace {

using UdevDevice = std::unique_ptr<udev_device, touchsdk::UdevUnref>;
using UdevEnumerate = std::unique_ptr<udev_enumerate, touchsdk::UdevUnref>;

// The output of `xinput list-props NAME`, empty when xinput is missing or
// there is no X server to ask.
std::string xinputProperties(const std::string& name) {
    if (std::getenv("DISPLAY") == nullptr) return {};
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    const char* argv[] = {"xinput", "list-props", name.c_str(), nullptr};
    pid_t child = -1;
    const int spawned =
        posix_spawnp(&child, "xinput", &actions, nullptr, const_cast<char* const*>(argv), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    std::string out;
    char buffer[4096];
    ssize_t n = 0;
    while (spawned == 0 && (n = ::read(fds[0], buffer, sizeof buffer)) > 0) {
        out.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fds[0]);
    int status = 0;
    if (spawned == 0) ::waitpid(child, &status, 0);
    return out;
}

// "Coordinate Transformation Matrix (NNN):	1.000000, 0.000000, ..."
bool hasNonIdentityMatrix(const std::string& properties) {
    const std::size_t at = properties.find("Coordinate Transformation Matrix");
    if (at == std::string::npos) return false;
    std::istringstream values(properties.substr(properties.find(':', at) + 1));
    const double identity[] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    for (double expected : identity) {
        double value = 0;
        char comma = 0;
        if (!(values >> value)) return false;
        if (std::abs(value - expected) > 1e-6) return true;
        values >> comma;
    }
    return false;
}

}  // namespace

std::vector<std::string> secondCorrections(const std::string& hidrawSyspath) {
    std::vector<std::string> found;
    touchsdk::UdevContext context;
    if (!context.valid()) return found;
    UdevDevice hidraw(udev_device_new_from_syspath(context.get(), hidrawSyspath.c_str()));
    udev_device* hid =
        hidraw ? udev_device_get_parent_with_subsystem_devtype(hidraw.get(), "hid", nullptr)
               : nullptr;
    if (hid == nullptr) return found;
    // The input devices the kernel made from the same HID device.
    UdevEnumerate enumeration(udev_enumerate_new(context.get()));
    if (!enumeration) return found;
    udev_enumerate_add_match_subsystem(enumeration.get(), "input");
    udev_enumerate_add_match_parent(enumeration.get(), hid);
    udev_enumerate_scan_devices(enumeration.get());
    udev_list_entry* entry = nullptr;
    udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(enumeration.get())) {
        UdevDevice input(
            udev_device_new_from_syspath(context.get(), udev_list_entry_get_name(entry)));
        if (!input) continue;
        const char* node = udev_device_get_devnode(input.get());
        const char* matrix =
            udev_device_get_property_value(input.get(), "LIBINPUT_CALIBRATION_MATRIX");
        if (matrix != nullptr && node != nullptr) {
            found.push_back(std::string("udev sets LIBINPUT_CALIBRATION_MATRIX=\"") + matrix +
                            "\" on " + node +
                            ": libinput would correct every touch a second time; remove that rule");
        }
        const char* name = udev_device_get_sysattr_value(input.get(), "name");
        if (name != nullptr && hasNonIdentityMatrix(xinputProperties(name))) {
            found.push_back(std::string("X applies a coordinate transformation matrix to \"") +
                            name +
                            "\": set it to the identity (xinput set-prop) or touches are corrected "
                            "twice");
        }
    }
    return found;
}

}  // namespace tsdcal
