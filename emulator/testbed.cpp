#include "testbed.h"

#include <fcntl.h>
#include <linux/hidraw.h>
#include <linux/input.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <termios.h>
#include <umockdev.h>
#include <unistd.h>

#include <algorithm>
#include <condition_variable>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <deque>
#include <mutex>
#include <stdexcept>

namespace tsdemu {
namespace {

// Guards every glue field that umockdev's worker thread touches. One static
// lock: the hand-off of a new screen to the worker goes through the
// preload's raw socket calls, which ThreadSanitizer cannot see, so the
// screen is built under this lock and the worker takes it before any use.
std::mutex gLock;
// Signalled, under gLock, when a node is opened.
std::condition_variable gOpened;

constexpr unsigned kHidrawMajor = 242;

// The kernel keeps at most this many unread reports per hidraw reader
// (HIDRAW_BUFFER_SIZE). Bounding the queue also bounds the tokens in the
// PTY, whose buffer would otherwise fill and block the writer with gLock
// held, freezing every emulated screen.
constexpr std::size_t kUnreadReportLimit = 64;

std::string format(const char* pattern, unsigned a, unsigned b = 0, unsigned c = 0,
                   unsigned d = 0) {
    char buffer[256];
    std::snprintf(buffer, sizeof buffer, pattern, a, b, c, d);
    return buffer;
}

[[noreturn]] void fail(const std::string& what, GError* error) {
    std::string message = what + ": " + (error != nullptr ? error->message : "failed");
    if (error != nullptr) g_error_free(error);
    throw std::runtime_error(message);
}

void writeAll(int fd, const void* data, std::size_t length) {
    const auto* bytes = static_cast<const uint8_t*>(data);
    while (length > 0) {
        const ssize_t n = ::write(fd, bytes, length);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        bytes += n;
        length -= static_cast<std::size_t>(n);
    }
}

}  // namespace

struct EmulatedScreen::Impl {
    explicit Impl(const ScreenIdentity& identity) : model(identity) {}

    ScreenModel model;
    UMockdevTestbed* testbed = nullptr;
    UMockdevIoctlBase* handler = nullptr;
    bool attached = false;
    std::string devnode;
    std::string usbPath, interfacePath, hidPath, hidrawPath;  // "/sys/devices/..."
    int master = -1;  // device end of the node's PTY
    int drain = -1;   // our own end on the PTY slave, to eat one token per report

    // Guarded by gLock.
    std::deque<std::vector<uint8_t>> reports;
    bool gone = false;
    bool opened = false;
};

struct Testbed::Impl {
    UMockdevTestbed* testbed = nullptr;
    unsigned nextIndex = 0;
    std::vector<std::unique_ptr<EmulatedScreen>> screens;
    std::vector<std::string> otherDevices;
};

namespace {

using ScreenImpl = EmulatedScreen::Impl;

// hidraw hands out one report per read(); a PTY is a byte stream. Each queued
// report puts one token byte in the PTY so that poll() reports it readable;
// the read handler hands out the report and eats the token.
void eatToken(ScreenImpl& screen) {
    pollfd entry{screen.drain, POLLIN, 0};
    uint8_t token;
    // The kernel moves PTY input asynchronously: wait briefly for the token.
    if (::poll(&entry, 1, 1000) > 0) (void)!::read(screen.drain, &token, 1);
}

gboolean onRead(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer user) {
    auto& screen = *static_cast<ScreenImpl*>(user);
    std::lock_guard<std::mutex> guard(gLock);
    if (screen.reports.empty()) {
        umockdev_ioctl_client_complete(client, -1, screen.gone ? EIO : EAGAIN);
        return TRUE;
    }
    std::vector<uint8_t> report = std::move(screen.reports.front());
    screen.reports.pop_front();
    // For read() the argument already is a local copy of the client's
    // buffer (data_len == count), written back on complete().
    UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
    const std::size_t n = std::min(report.size(), static_cast<std::size_t>(arg->data_len));
    std::memcpy(arg->data, report.data(), n);
    if (!screen.gone) eatToken(screen);
    umockdev_ioctl_client_complete(client, static_cast<glong>(n), 0);
    return TRUE;
}

void onConnected(UMockdevIoctlBase*, UMockdevIoctlClient*, gpointer user) {
    std::lock_guard<std::mutex> guard(gLock);
    static_cast<ScreenImpl*>(user)->opened = true;
    gOpened.notify_all();
}

bool isFeatureRequest(gulong request, unsigned number) {
    return _IOC_TYPE(request) == 'H' && _IOC_NR(request) == number &&
           _IOC_DIR(request) == (_IOC_READ | _IOC_WRITE);
}

long answerIoctl(ScreenImpl& screen, gulong request, uint8_t* data, std::size_t size) {
    if (request == HIDIOCGRDESCSIZE) {
        const int length = static_cast<int>(screen.model.reportDescriptor().size());
        std::memcpy(data, &length, sizeof length);
        return 0;
    }
    if (request == HIDIOCGRDESC) {
        hidraw_report_descriptor descriptor;
        std::memcpy(&descriptor.size, data, sizeof descriptor.size);
        if (descriptor.size > HID_MAX_DESCRIPTOR_SIZE) return -EINVAL;
        const std::vector<uint8_t> bytes = screen.model.reportDescriptor();
        const std::size_t n = std::min<std::size_t>(descriptor.size, bytes.size());
        std::memcpy(data + offsetof(hidraw_report_descriptor, value), bytes.data(), n);
        return 0;
    }
    if (request == HIDIOCGRAWINFO) {
        hidraw_devinfo info{};
        const ScreenIdentity& identity = screen.model.identity();
        info.bustype = identity.usbAncestor ? BUS_USB : BUS_I2C;
        info.vendor = static_cast<__s16>(identity.vendorId);
        info.product = static_cast<__s16>(identity.productId);
        std::memcpy(data, &info, sizeof info);
        return 0;
    }
    if (isFeatureRequest(request, _IOC_NR(HIDIOCSFEATURE(0)))) {
        return screen.model.setFeature(data, size);
    }
    if (isFeatureRequest(request, _IOC_NR(HIDIOCGFEATURE(0)))) {
        return screen.model.getFeature(data, size);
    }
    return -ENOTTY;
}

std::size_t argumentSize(gulong request) {
    if (request == HIDIOCGRDESC) return sizeof(hidraw_report_descriptor);
    return _IOC_SIZE(request);
}

gboolean onIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer user) {
    auto& screen = *static_cast<ScreenImpl*>(user);
    const gulong request = umockdev_ioctl_client_get_request(client);
    long result = -ENOTTY;
    {
        std::lock_guard<std::mutex> guard(gLock);
        if (screen.gone) {
            result = -ENODEV;
        } else if (_IOC_TYPE(request) == 'H') {
            // The argument is a pointer into the client: resolve its memory.
            GError* error = nullptr;
            UMockdevIoctlData* data = umockdev_ioctl_data_resolve(
                umockdev_ioctl_client_get_arg(client), 0, argumentSize(request), &error);
            if (data == nullptr) {
                g_clear_error(&error);
                result = -EFAULT;
            } else {
                result = answerIoctl(screen, request, data->data,
                                     static_cast<std::size_t>(data->data_len));
                g_object_unref(data);  // the client's argument keeps it until complete()
            }
        }
    }
    umockdev_ioctl_client_complete(client, result < 0 ? -1 : result,
                                   result < 0 ? static_cast<int>(-result) : 0);
    return TRUE;
}

void describeChain(ScreenImpl& screen, unsigned index) {
    const ScreenIdentity& id = screen.model.identity();
    if (id.usbAncestor) {
        screen.usbPath = format("/sys/devices/pci0000:00/0000:00:14.0/usb1/1-%u", index + 1);
        screen.interfacePath = screen.usbPath + format("/1-%u:1.0", index + 1);
        screen.hidPath = screen.interfacePath + format("/0003:%04X:%04X.%04X", id.vendorId,
                                                       id.productId, index + 1);
    } else {
        screen.usbPath.clear();
        screen.interfacePath = format("/sys/devices/platform/i2c_designware.0/i2c-1/i2c-TSC%04u:00",
                                      index);
        screen.hidPath = screen.interfacePath + format("/0018:%04X:%04X.%04X", id.vendorId,
                                                       id.productId, index + 1);
    }
    screen.hidrawPath = screen.hidPath + format("/hidraw/hidraw%u", index);
    screen.devnode = format("/dev/hidraw%u", index);
}

std::string hexDescriptor(const std::vector<uint8_t>& bytes) {
    std::string text;
    char pair[4];
    for (uint8_t byte : bytes) {
        std::snprintf(pair, sizeof pair, "%02x", byte);
        text += pair;
    }
    return text;
}

bool isPlainAscii(const std::string& text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return c >= 0x20 && c < 0x7F; });
}

// The text format takes only UTF-8 text: other serial bytes (a screen's
// firmware may store Latin-1) are written as a binary attribute.
void setBinarySerial(UMockdevTestbed* testbed, const ScreenImpl& screen) {
    const ScreenIdentity& id = screen.model.identity();
    if (!id.usbAncestor || !id.serial || isPlainAscii(*id.serial)) return;
    umockdev_testbed_set_attribute_binary(
        testbed, screen.usbPath.c_str(), "serial",
        reinterpret_cast<guint8*>(const_cast<char*>(id.serial->data())),
        static_cast<gint>(id.serial->size()));
}

// umockdev's text format: "P:" path below /sys, "E:" properties, "A:"
// attributes, "H:" binary attributes in hex.
std::string sysfsRecord(const ScreenImpl& screen, unsigned index) {
    const ScreenIdentity& id = screen.model.identity();
    std::string text;
    if (id.usbAncestor) {
        text += "P: " + screen.usbPath.substr(4) + "\nE: SUBSYSTEM=usb\nE: DEVTYPE=usb_device\n";
        text += format("A: idVendor=%04x\nA: idProduct=%04x\n", id.vendorId, id.productId);
        text += format("A: busnum=1\nA: devnum=%u\n", index + 2);
        text += "A: manufacturer=" + id.manufacturer + "\nA: product=" + id.product + "\n";
        if (id.serial && isPlainAscii(*id.serial)) text += "A: serial=" + *id.serial + "\n";
        text += "\nP: " + screen.interfacePath.substr(4) +
                "\nE: SUBSYSTEM=usb\nE: DEVTYPE=usb_interface\nA: bInterfaceClass=03\n\n";
    } else {
        text += "P: " + screen.interfacePath.substr(4) + "\nE: SUBSYSTEM=i2c\n\n";
    }
    text += "P: " + screen.hidPath.substr(4) + "\nE: SUBSYSTEM=hid\n";
    text += format("E: HID_ID=%04X:%08X:%08X\n", id.usbAncestor ? 3U : 0x18U, id.vendorId,
                   id.productId);
    text += "E: HID_NAME=" + id.manufacturer + " " + id.product + "\n";
    if (id.serial && isPlainAscii(*id.serial)) text += "E: HID_UNIQ=" + *id.serial + "\n";
    text += "H: report_descriptor=" + hexDescriptor(screen.model.reportDescriptor()) + "\n\n";
    // DEVNAME gives udev_device_get_devnode(), MAJOR/MINOR get_devnum().
    text += "P: " + screen.hidrawPath.substr(4) + "\nE: SUBSYSTEM=hidraw\n";
    text += format("E: DEVNAME=/dev/hidraw%u\nE: MAJOR=%u\nE: MINOR=%u\nA: dev=%u:", index,
                   kHidrawMajor, index, kHidrawMajor);
    text += format("%u\n", index);
    return text;
}

// The node is our own PTY linked as <root>/dev/hidrawN: umockdev's own node
// records are never forgotten, so a re-plug under the same name would abort.
void makeNode(UMockdevTestbed* testbed, ScreenImpl& screen) {
    int slave = -1;
    char name[64];
    if (::openpty(&screen.master, &slave, name, nullptr, nullptr) < 0) {
        throw std::runtime_error("openpty failed");
    }
    termios settings;
    ::tcgetattr(slave, &settings);
    ::cfmakeraw(&settings);  // binary-clean, no echo
    ::tcsetattr(slave, TCSANOW, &settings);
    screen.drain = slave;
    ::fcntl(slave, F_SETFL, O_NONBLOCK);
    gchar* root = umockdev_testbed_get_root_dir(testbed);
    const std::string dir = std::string(root) + "/dev";
    const std::string node = std::string(root) + screen.devnode;
    g_free(root);
    g_mkdir_with_parents(dir.c_str(), 0755);
    if (::symlink(name, node.c_str()) != 0) throw std::runtime_error("symlink " + node);
}

void attachHandler(UMockdevTestbed* testbed, ScreenImpl& screen) {
    screen.handler = umockdev_ioctl_base_new();
    g_signal_connect(screen.handler, "handle-ioctl", G_CALLBACK(onIoctl), &screen);
    g_signal_connect(screen.handler, "handle-read", G_CALLBACK(onRead), &screen);
    g_signal_connect(screen.handler, "client-connected", G_CALLBACK(onConnected), &screen);
    GError* error = nullptr;
    // Before the device exists: adding it sends "add", and a client that
    // opens the node before the handler is attached would get ENOTTY forever.
    if (!umockdev_testbed_attach_ioctl(testbed, screen.devnode.c_str(), screen.handler, &error)) {
        fail("attach_ioctl " + screen.devnode, error);
    }
    screen.attached = true;
}

std::vector<std::string> bottomUp(const ScreenImpl& screen) {
    std::vector<std::string> paths = {screen.hidrawPath, screen.hidPath, screen.interfacePath};
    if (!screen.usbPath.empty()) paths.push_back(screen.usbPath);
    return paths;
}

void releaseScreen(ScreenImpl& screen) {
    {
        std::lock_guard<std::mutex> guard(gLock);  // after the worker's last use
        screen.gone = true;
    }
    if (screen.handler != nullptr) {
        g_signal_handlers_disconnect_by_data(screen.handler, &screen);
        if (screen.attached) {
            umockdev_testbed_detach_ioctl(screen.testbed, screen.devnode.c_str(), nullptr);
        }
        g_object_unref(screen.handler);
        screen.handler = nullptr;
    }
    if (screen.drain >= 0) ::close(screen.drain);
    if (screen.master >= 0) ::close(screen.master);
    screen.drain = screen.master = -1;
}

}  // namespace

// ---- Testbed ---------------------------------------------------------------------

Testbed::Testbed() : impl_(std::make_unique<Impl>()) {
    // The preload sleeps after each request; a 1 us timer slack keeps that
    // from costing ~50 us per call.
    ::prctl(PR_SET_TIMERSLACK, 1UL);
    impl_->testbed = umockdev_testbed_new();
    if (impl_->testbed == nullptr) throw std::runtime_error("umockdev_testbed_new failed");
}

Testbed::~Testbed() {
    for (auto& screen : impl_->screens) releaseScreen(*screen->impl_);
    g_object_unref(impl_->testbed);
}

EmulatedScreen& Testbed::plug(const ScreenIdentity& identity) {
    const unsigned index = impl_->nextIndex++;
    std::unique_ptr<EmulatedScreen::Impl> screenImpl;
    {
        std::lock_guard<std::mutex> guard(gLock);
        screenImpl = std::make_unique<EmulatedScreen::Impl>(identity);
        screenImpl->testbed = impl_->testbed;
        describeChain(*screenImpl, index);
    }
    auto screen = std::make_unique<EmulatedScreen>(std::move(screenImpl));
    ScreenImpl& state = *screen->impl_;
    impl_->screens.push_back(std::move(screen));
    if (identity.openable) {
        attachHandler(impl_->testbed, state);
        makeNode(impl_->testbed, state);
    }
    GError* error = nullptr;
    const std::string record = sysfsRecord(state, index);
    if (!umockdev_testbed_add_from_string(impl_->testbed, record.c_str(), &error)) {
        fail("add_from_string", error);
    }
    setBinarySerial(impl_->testbed, state);
    return *impl_->screens.back();
}

void Testbed::unplug(PresentedScreen& screen) {
    ScreenImpl& state = *dynamic_cast<EmulatedScreen&>(screen).impl_;
    {
        std::lock_guard<std::mutex> guard(gLock);
        if (state.gone) return;
        state.gone = true;
    }
    // Hang up the line: pollers see POLLHUP|POLLERR, as for a vanished hidraw.
    if (state.master >= 0) ::close(state.master);
    state.master = -1;
    const std::vector<std::string> paths = bottomUp(state);
    // uevent() reads the device's sysfs directory: announce before removing.
    for (const std::string& path : paths) uevent(path, "remove");
    // Bottom-up: removing a parent first leaves the children's class and bus
    // links behind, and re-adding them later aborts.
    for (const std::string& path : paths) {
        umockdev_testbed_remove_device(impl_->testbed, path.c_str());
    }
    // Clients that still hold the node keep their connection to the handler
    // until they close it; detaching only stops new opens reaching it.
    if (state.attached)
        umockdev_testbed_detach_ioctl(impl_->testbed, state.devnode.c_str(), nullptr);
    state.attached = false;
}

void Testbed::uevent(const std::string& syspath, const std::string& action) {
    umockdev_testbed_uevent(impl_->testbed, syspath.c_str(), action.c_str());
}

std::string Testbed::addOtherDevice(const std::string& subsystem, const std::string& name) {
    gchar* path = umockdev_testbed_add_device(impl_->testbed, subsystem.c_str(), name.c_str(),
                                              nullptr, nullptr, nullptr);
    if (path == nullptr) throw std::runtime_error("add_device " + subsystem + "/" + name);
    std::string syspath = path;
    g_free(path);
    impl_->otherDevices.push_back(syspath);
    return syspath;
}

void Testbed::removeOtherDevice(const std::string& syspath) {
    uevent(syspath, "remove");
    umockdev_testbed_remove_device(impl_->testbed, syspath.c_str());
}

std::string Testbed::rootDir() const {
    gchar* root = umockdev_testbed_get_root_dir(impl_->testbed);
    std::string dir = root;
    g_free(root);
    return dir;
}

// ---- EmulatedScreen --------------------------------------------------------------

EmulatedScreen::EmulatedScreen(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

EmulatedScreen::~EmulatedScreen() = default;

ScreenModel& EmulatedScreen::model() { return impl_->model; }

const std::string& EmulatedScreen::syspath() const { return impl_->hidrawPath; }

const std::string& EmulatedScreen::devnode() const { return impl_->devnode; }

std::vector<std::string> EmulatedScreen::chainSyspaths() const {
    std::vector<std::string> paths = bottomUp(*impl_);
    std::reverse(paths.begin(), paths.end());
    return paths;
}

bool EmulatedScreen::plugged() const {
    std::lock_guard<std::mutex> guard(gLock);
    return !impl_->gone;
}

void EmulatedScreen::pushReport(const std::vector<uint8_t>& report) {
    std::lock_guard<std::mutex> guard(gLock);
    if (impl_->gone || impl_->master < 0) return;
    // A full node loses its oldest report; its token stays for the new one.
    if (impl_->reports.size() == kUnreadReportLimit) {
        impl_->reports.pop_front();
        impl_->reports.push_back(report);
        return;
    }
    impl_->reports.push_back(report);
    writeAll(impl_->master, "T", 1);  // makes poll() report the node readable
}

std::size_t EmulatedScreen::pendingReports() const {
    std::lock_guard<std::mutex> guard(gLock);
    return impl_->reports.size();
}

bool EmulatedScreen::waitUntilOpened(std::chrono::milliseconds timeout) const {
    std::unique_lock<std::mutex> guard(gLock);
    return gOpened.wait_for(guard, timeout, [this] { return impl_->opened; });
}

}  // namespace tsdemu
