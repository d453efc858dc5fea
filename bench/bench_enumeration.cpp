// Enumeration among many HID devices: 16, 64 and 256 emulated hidraw
// devices, 4 of them supported screens, the rest other makers' devices.
// TsdEnumTouchScreensA is timed next to a bare libudev pass over the same
// hidraw devices with their USB parents (what any enumeration must read),
// and the hidraw nodes each pass opens are counted.
//
//   tools/bench-enumeration [repetitions per size] [largest size]
#include <dlfcn.h>
#include <fcntl.h>
#include <libudev.h>

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <vector>

#include "bench_support.h"
#include "preload.h"
#include "testbed.h"

namespace {

using namespace bench;

std::atomic<int> hidrawOpens{0};

void countOpen(const char* path) {
    if (path != nullptr && std::strncmp(path, "/dev/hidraw", 11) == 0) ++hidrawOpens;
}

using OpenFunction = int (*)(const char*, int, ...);

int forwardOpen(OpenFunction next, const char* path, int flags, va_list args) {
    countOpen(path);
    const mode_t mode = (flags & (O_CREAT | O_TMPFILE)) != 0 ? va_arg(args, mode_t) : 0;
    return next(path, flags, mode);
}

}  // namespace

// Every open of the process passes here first, the library's and the
// emulator's alike, and goes on to the umockdev preload and libc.
extern "C" int open(const char* path, int flags, ...) {
    va_list args;
    va_start(args, flags);
    static const auto next = reinterpret_cast<OpenFunction>(dlsym(RTLD_NEXT, "open"));
    const int fd = forwardOpen(next, path, flags, args);
    va_end(args);
    return fd;
}

extern "C" int open64(const char* path, int flags, ...) {
    va_list args;
    va_start(args, flags);
    static const auto next = reinterpret_cast<OpenFunction>(dlsym(RTLD_NEXT, "open64"));
    const int fd = forwardOpen(next, path, flags, args);
    va_end(args);
    return fd;
}

namespace {

constexpr int kSupported = 4;

// What any enumeration has to read: each hidraw device, its node and the
// USB device above it with its serial number.
int bareEnumeration() {
    udev* context = udev_new();
    udev_enumerate* enumeration = udev_enumerate_new(context);
    udev_enumerate_add_match_subsystem(enumeration, "hidraw");
    udev_enumerate_scan_devices(enumeration);
    int found = 0;
    udev_list_entry* entry = nullptr;
    udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(enumeration)) {
        udev_device* device =
            udev_device_new_from_syspath(context, udev_list_entry_get_name(entry));
        if (device == nullptr) continue;
        udev_device* usb =
            udev_device_get_parent_with_subsystem_devtype(device, "usb", "usb_device");
        if (udev_device_get_devnode(device) != nullptr && usb != nullptr &&
            udev_device_get_sysattr_value(usb, "serial") != nullptr) {
            ++found;
        }
        udev_device_unref(device);
    }
    udev_enumerate_unref(enumeration);
    udev_unref(context);
    return found;
}

int libraryEnumeration() {
    int found = 0;
    TsdEnumTouchScreensA(
        [](void* context, const char*, const wchar_t*) { ++*static_cast<int*>(context); }, &found);
    return found;
}

template <typename Pass>
double timedUs(Pass&& pass, int expected, bool& right) {
    const int64_t start = nowNs();
    right = pass() == expected && right;
    return static_cast<double>(nowNs() - start) / 1000.0;
}

// Another maker's HID device: listed nowhere, but it has a node to open.
tsdemu::ScreenIdentity otherDevice(unsigned index) {
    tsdemu::ScreenIdentity identity;
    identity.vendorId = 0x1A2B;
    identity.productId = static_cast<uint16_t>(index);
    identity.serial = "OTHER" + std::to_string(index);
    identity.manufacturer = "Other";
    identity.product = "Keyboard";
    identity.descriptor = tsdemu::DescriptorKind::NoCommandReport;
    return identity;
}

}  // namespace

int main(int argc, char** argv) {
    tsdemu::ensureUmockdevPreload(argv);
    const std::vector<int> given =
        bench::sizes(argc, argv, {{"REPETITIONS", 15, 1, 10000}, {"LARGEST", 256, 1, 4096}});
    const int repetitions = given[0];
    const int largest = given[1];
    tsdemu::Testbed testbed;
    int present = 0;
    for (; present < kSupported; ++present) testbed.plug();
    bool right = true;
    double perDeviceAtSmallest = 0;
    double barePerDeviceAtSmallest = 0;
    for (int size = 16; size <= largest; size *= 4) {
        for (; present < size; ++present) testbed.plug(otherDevice(static_cast<unsigned>(present)));
        std::vector<double> library;
        std::vector<double> bare;
        int libraryOpens = 0;
        // Interleaved, so that load from other processes falls on both alike.
        for (int r = 0; r < repetitions; ++r) {
            const int opensBefore = hidrawOpens.load();
            library.push_back(timedUs(libraryEnumeration, kSupported, right));
            libraryOpens = hidrawOpens.load() - opensBefore;
            bare.push_back(timedUs(bareEnumeration, size, right));
        }
        const double libraryUs = percentile(library, 0.5);
        const double bareUs = percentile(bare, 0.5);
        const double perDevice = libraryUs / size;
        const double barePerDevice = bareUs / size;
        if (size == 16) perDeviceAtSmallest = perDevice;
        if (size == 16) barePerDeviceAtSmallest = barePerDevice;
        const std::string name = "enumerate_" + std::to_string(size);
        figure(name + "_library", libraryUs, "us");
        figure(name + "_bare_libudev", bareUs, "us");
        figure(name + "_ratio", libraryUs / bareUs, "x");
        figure(name + "_library_per_device_ratio_to_16", perDevice / perDeviceAtSmallest, "x");
        figure(name + "_bare_per_device_ratio_to_16", barePerDevice / barePerDeviceAtSmallest, "x");
        figure(name + "_nodes_opened", libraryOpens, "nodes");
    }
    figure("enumerate_found_right", right ? 1 : 0, "bool");
    return right ? 0 : 1;
}
