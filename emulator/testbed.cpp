#include "testbed.h"

#include <fcntl.h>
#include <linux/hidraw.h>
#include <linux/input.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <umockdev.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <set>
#include <stdexcept>

#include "locks/node_lock_registry.h"
#include "node_file.h"
#include "report_sizes.h"
#include "screen_sysfs.h"
#include "uevent_broadcaster.h"

namespace tsdemu {
namespace {

// Guards every glue field that umockdev's worker thread touches. One static
// lock: the hand-off of a new screen to the worker goes through the
// preload's raw socket calls, which ThreadSanitizer cannot see, so the
// screen is built under this lock and the worker takes it before any use.
std::mutex gLock;
// Signalled, under gLock, when a node is opened. Never destroyed: umockdev's
// worker thread may still signal it while a program's statics are torn down
// at exit.
std::condition_variable& gOpened = *new std::condition_variable;

[[noreturn]] void fail(const std::string& what, GError* error) {
    std::string message = what + ": " + (error != nullptr ? error->message : "failed");
    if (error != nullptr) g_error_free(error);
    throw std::runtime_error(message);
}

// Drivers the kernel binds along the chain, for the bind and unbind events.
constexpr const char* kHidDriver = "hid-generic";
constexpr const char* kInterfaceDriverUsb = "usbhid";
constexpr const char* kInterfaceDriverI2c = "i2c_hid_acpi";
constexpr const char* kUsbDeviceDriver = "usb";

}  // namespace

struct EmulatedScreen::Impl {
    Impl(const ScreenIdentity& identity, const ScreenPlacement& at)
        : model(identity),
          placement(at),
          paths(screenPaths(identity, at)),
          reportSizes(inputReportSizes(model.reportDescriptor())) {}

    ScreenModel model;
    const ScreenPlacement placement;
    const ScreenPaths paths;
    const std::map<uint8_t, std::size_t> reportSizes;
    UMockdevTestbed* testbed = nullptr;
    UMockdevIoctlBase* handler = nullptr;
    bool attached = false;
    std::string nodeLink;  // <testbed root>/dev/hidrawN
    std::string lockFile;  // shared by all opens of the node, new with each plug

    // Guarded by gLock.
    std::unique_ptr<NodeFile> next;                   // the PTY the node's link leads to
    std::vector<std::shared_ptr<NodeFile>> files;     // open, in order of opening
    std::deque<std::shared_ptr<NodeFile>> unclaimed;  // opened, its client not yet seen
    std::map<UMockdevIoctlClient*, std::shared_ptr<NodeFile>> clients;
    bool gone = false;
    bool opened = false;
};

struct Testbed::Impl {
    UMockdevTestbed* testbed = nullptr;
    std::string root;
    std::unique_ptr<UeventBroadcaster> events;
    std::vector<std::unique_ptr<EmulatedScreen>> screens;
    std::vector<std::string> otherDevices;
    unsigned hidInstances = 0;  // the kernel numbers HID devices from 1, never reusing one
    unsigned devnums = 1;       // the root hub is device 1 on its bus
};

namespace {

using ScreenImpl = EmulatedScreen::Impl;

// The node leads to `file`'s PTY from now on; replaced in one step, so an
// open() never finds the link missing.
void pointNodeAt(ScreenImpl& screen, const NodeFile& file) {
    const std::string temporary = screen.nodeLink + ".next";
    ::unlink(temporary.c_str());
    if (::symlink(file.path().c_str(), temporary.c_str()) != 0 ||
        ::rename(temporary.c_str(), screen.nodeLink.c_str()) != 0) {
        throw std::runtime_error("cannot link " + screen.nodeLink);
    }
}

// An open() has taken the PTY the link led to: from that moment it is an
// open file that gets every report, and the link moves on to a fresh PTY.
// umockdev tells of the new client only later, so every push looks first.
// A file nobody holds any more is closed, whether or not umockdev has told
// of its client leaving (it may not until the process ends); one that was
// never claimed must not hand old reports to a later reader.
void forgetClosedFiles(ScreenImpl& screen) {
    const auto closed = [](const std::shared_ptr<NodeFile>& file) { return !file->held(); };
    screen.files.erase(std::remove_if(screen.files.begin(), screen.files.end(), closed),
                       screen.files.end());
    screen.unclaimed.erase(std::remove_if(screen.unclaimed.begin(), screen.unclaimed.end(), closed),
                           screen.unclaimed.end());
    for (auto it = screen.clients.begin(); it != screen.clients.end();) {
        it = closed(it->second) ? screen.clients.erase(it) : std::next(it);
    }
}

void takeOpenedFile(ScreenImpl& screen) {
    if (screen.gone) return;
    forgetClosedFiles(screen);
    if (screen.next == nullptr || !screen.next->held()) return;
    std::shared_ptr<NodeFile> file = std::move(screen.next);
    screen.files.push_back(file);
    screen.unclaimed.push_back(file);
    try {
        screen.next = std::make_unique<NodeFile>(screen.lockFile);
        pointNodeAt(screen, *screen.next);
    } catch (const std::exception&) {
        screen.next.reset();  // later opens share the last file
    }
}

// Clients reach the handler in the order they opened, so each takes the
// oldest file nobody has claimed. Should two opens race past one link, the
// second finds none left and shares the last file. umockdev may serve a
// client's first request before it tells of the connection, so whichever
// comes first binds the client.
NodeFile* fileOf(ScreenImpl& screen, UMockdevIoctlClient* client) {
    // First, since a new client may live where a closed one did.
    forgetClosedFiles(screen);
    const auto found = screen.clients.find(client);
    if (found != screen.clients.end()) return found->second.get();
    takeOpenedFile(screen);
    std::shared_ptr<NodeFile> file;
    if (!screen.unclaimed.empty()) {
        file = screen.unclaimed.front();
        screen.unclaimed.pop_front();
    } else if (!screen.files.empty()) {
        file = screen.files.back();
    }
    if (file == nullptr) return nullptr;
    file->claim(client);
    screen.clients[client] = file;
    return file.get();
}

void onConnected(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer user) {
    auto& screen = *static_cast<ScreenImpl*>(user);
    std::lock_guard<std::mutex> guard(gLock);
    screen.opened = true;
    gOpened.notify_all();
    if (!screen.gone) fileOf(screen, client);
}

void onVanished(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer user) {
    auto& screen = *static_cast<ScreenImpl*>(user);
    std::lock_guard<std::mutex> guard(gLock);
    const auto found = screen.clients.find(client);
    if (found == screen.clients.end()) return;
    const std::shared_ptr<NodeFile> file = found->second;
    screen.clients.erase(found);
    // The last reader of a file closes it: its PTY goes.
    if (file->release(client)) {
        const auto listed = std::find(screen.files.begin(), screen.files.end(), file);
        if (listed != screen.files.end()) screen.files.erase(listed);
    }
}

void complete(UMockdevIoctlClient* client, long result) {
    umockdev_ioctl_client_complete(client, result < 0 ? -1 : result,
                                   result < 0 ? static_cast<int>(-result) : 0);
}

// An empty queue answers EAGAIN: the handler must not hold the worker, so
// a blocking read() cannot wait here (see tsd-emulate(1)).
gboolean onRead(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer user) {
    auto& screen = *static_cast<ScreenImpl*>(user);
    std::lock_guard<std::mutex> guard(gLock);
    std::optional<std::vector<uint8_t>> transfer;
    if (NodeFile* file = screen.gone ? nullptr : fileOf(screen, client)) {
        transfer = file->pop(client);
    } else if (const auto found = screen.clients.find(client); found != screen.clients.end()) {
        transfer = found->second->pop(client);  // reports queued before the unplug
    }
    if (!transfer) {
        complete(client, screen.gone ? -EIO : -EAGAIN);
        return TRUE;
    }
    // For read() the argument already is a local copy of the client's
    // buffer (data_len == count), written back on complete(). A short
    // buffer gets the report's start and loses the rest, as from hidraw.
    UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
    const std::size_t n = std::min(transfer->size(), static_cast<std::size_t>(arg->data_len));
    std::memcpy(arg->data, transfer->data(), n);
    complete(client, static_cast<long>(n));
    return TRUE;
}

// The screen declares no output report, so the kernel's SET_REPORT
// fallback meets a stall.
gboolean onWrite(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer user) {
    auto& screen = *static_cast<ScreenImpl*>(user);
    std::lock_guard<std::mutex> guard(gLock);
    if (!screen.gone) fileOf(screen, client);
    const long count = static_cast<long>(umockdev_ioctl_client_get_arg(client)->data_len);
    complete(client, screen.gone ? -ENODEV : count < 2 ? -EINVAL : -EPIPE);
    return TRUE;
}

bool isFeatureRequest(gulong request, unsigned number) {
    return _IOC_TYPE(request) == 'H' && _IOC_NR(request) == number &&
           _IOC_DIR(request) == (_IOC_READ | _IOC_WRITE);
}

// HIDIOCGRAWNAME/PHYS/UNIQ copy the string with its NUL, cut to the
// caller's length, and answer the length copied.
long copyString(const std::string& text, uint8_t* data, std::size_t size) {
    const std::size_t n = std::min(text.size() + 1, size);
    std::memcpy(data, text.c_str(), n);
    return static_cast<long>(n);
}

long answerNameRequest(const ScreenImpl& screen, gulong request, uint8_t* data, std::size_t size) {
    const unsigned number = _IOC_NR(request);
    const ScreenIdentity& identity = screen.model.identity();
    if (number == _IOC_NR(HIDIOCGRAWNAME(0))) return copyString(hidName(identity), data, size);
    if (number == _IOC_NR(HIDIOCGRAWPHYS(0))) {
        return copyString(hidPhys(identity, screen.placement), data, size);
    }
    if (number == _IOC_NR(HIDIOCGRAWUNIQ(0))) return copyString(hidUniq(identity), data, size);
    return -ENOTTY;
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
    if (_IOC_DIR(request) == _IOC_READ) return answerNameRequest(screen, request, data, size);
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
        if (!screen.gone) fileOf(screen, client);
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
    complete(client, result);
    return TRUE;
}

// The text format takes only UTF-8 text: other serial bytes (a screen's
// firmware may store Latin-1) are written as a binary attribute.
void setBinarySerial(UMockdevTestbed* testbed, const ScreenImpl& screen) {
    const ScreenIdentity& id = screen.model.identity();
    if (!id.usbAncestor || !id.serial || isPlainAscii(*id.serial)) return;
    umockdev_testbed_set_attribute_binary(
        testbed, screen.paths.usb.c_str(), "serial",
        reinterpret_cast<guint8*>(const_cast<char*>(id.serial->data())),
        static_cast<gint>(id.serial->size()));
}

// The node is a link to a PTY of our own: umockdev's own node records are
// never forgotten, so a re-plug under the same name would abort.
void makeNode(UMockdevTestbed* testbed, ScreenImpl& screen) {
    gchar* root = umockdev_testbed_get_root_dir(testbed);
    const std::string dir = std::string(root) + "/dev";
    screen.nodeLink = std::string(root) + screen.paths.devnode;
    const std::string lockDir = nodeLockDir(root);
    g_free(root);
    g_mkdir_with_parents(dir.c_str(), 0755);
    g_mkdir_with_parents(lockDir.c_str(), 0755);
    // A re-plugged node is a new inode on the kernel's devtmpfs: locks
    // held on the old one do not carry over.
    screen.lockFile = lockDir + "/hid-" + std::to_string(screen.placement.hidInstance);
    const int made = ::open(screen.lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (made < 0) throw std::runtime_error("cannot make " + screen.lockFile);
    ::close(made);
    std::lock_guard<std::mutex> guard(gLock);
    screen.next = std::make_unique<NodeFile>(screen.lockFile);
    pointNodeAt(screen, *screen.next);
}

void attachHandler(UMockdevTestbed* testbed, ScreenImpl& screen) {
    screen.handler = umockdev_ioctl_base_new();
    g_signal_connect(screen.handler, "handle-ioctl", G_CALLBACK(onIoctl), &screen);
    g_signal_connect(screen.handler, "handle-read", G_CALLBACK(onRead), &screen);
    g_signal_connect(screen.handler, "handle-write", G_CALLBACK(onWrite), &screen);
    g_signal_connect(screen.handler, "client-connected", G_CALLBACK(onConnected), &screen);
    g_signal_connect(screen.handler, "client-vanished", G_CALLBACK(onVanished), &screen);
    GError* error = nullptr;
    // Before the device exists: a client that opens the node before the
    // handler is attached would get ENOTTY forever.
    if (!umockdev_testbed_attach_ioctl(testbed, screen.paths.devnode.c_str(), screen.handler,
                                       &error)) {
        fail("attach_ioctl " + screen.paths.devnode, error);
    }
    screen.attached = true;
}

struct ChainEvent {
    std::string path;
    const char* driver;  // bound after the adds; nullptr: no driver
};

// Parents first, as the devices are added; hiddev comes before the hid
// device as udev passes them on, and the binds follow once every probe
// has returned, innermost first.
std::vector<ChainEvent> addSequence(const ScreenImpl& screen) {
    const ScreenPaths& p = screen.paths;
    const bool usb = !p.usb.empty();
    std::vector<ChainEvent> events;
    if (usb) events.push_back({p.usb, kUsbDeviceDriver});
    events.push_back({p.parent, usb ? kInterfaceDriverUsb : kInterfaceDriverI2c});
    if (usb) events.push_back({p.hiddev, nullptr});
    events.push_back({p.hid, kHidDriver});
    events.push_back({p.hidraw, nullptr});
    return events;
}

// Children go before their parents, the nodes first.
std::vector<ChainEvent> removeSequence(const ScreenImpl& screen) {
    const ScreenPaths& p = screen.paths;
    std::vector<ChainEvent> events;
    if (!p.usb.empty()) events.push_back({p.hiddev, nullptr});
    events.push_back({p.hidraw, nullptr});
    events.push_back({p.hid, kHidDriver});
    events.push_back({p.parent, p.usb.empty() ? kInterfaceDriverI2c : kInterfaceDriverUsb});
    if (!p.usb.empty()) events.push_back({p.usb, kUsbDeviceDriver});
    return events;
}

void announcePlug(UeventBroadcaster& events, const ScreenImpl& screen) {
    const std::vector<ChainEvent> sequence = addSequence(screen);
    for (const ChainEvent& event : sequence) events.send(event.path, "add");
    for (auto event = sequence.rbegin(); event != sequence.rend(); ++event) {
        if (event->driver != nullptr) events.send(event->path, "bind", event->driver);
    }
}

void releaseScreen(ScreenImpl& screen) {
    {
        std::lock_guard<std::mutex> guard(gLock);  // after the worker's last use
        screen.gone = true;
    }
    if (screen.handler != nullptr) {
        g_signal_handlers_disconnect_by_data(screen.handler, &screen);
        if (screen.attached) {
            umockdev_testbed_detach_ioctl(screen.testbed, screen.paths.devnode.c_str(), nullptr);
        }
        g_object_unref(screen.handler);
        screen.handler = nullptr;
    }
    std::lock_guard<std::mutex> guard(gLock);
    screen.clients.clear();
    screen.unclaimed.clear();
    screen.files.clear();
    screen.next.reset();
}

unsigned lowestFree(const std::set<unsigned>& used, unsigned first) {
    unsigned value = first;
    while (used.count(value) != 0) ++value;
    return value;
}

}  // namespace

std::size_t utf16Units(const std::string& text) {
    std::size_t units = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<uint8_t>(text[i]);
        if ((byte & 0xC0U) == 0x80U) continue;  // a continuation byte
        units += byte >= 0xF0U ? 2 : 1;         // beyond the BMP: a surrogate pair
    }
    return units;
}

// umockdev announces every device it adds through its own sender, which
// reaches only monitors our broadcaster has not yet taken over (so those
// would hear "add" twice) and aborts the process when a monitor is full.
// Its calls go through the PLT, so this definition, exported from the
// program (see CMakeLists.txt), takes their place: every uevent is ours.
extern "C" __attribute__((visibility("default"))) void umockdev_testbed_uevent(UMockdevTestbed*,
                                                                               const gchar*,
                                                                               const gchar*) {}

// ---- Testbed ---------------------------------------------------------------------

Testbed::Testbed() : impl_(std::make_unique<Impl>()) {
    // The preload sleeps after each request; a 1 us timer slack keeps that
    // from costing ~50 us per call.
    ::prctl(PR_SET_TIMERSLACK, 1UL);
    impl_->testbed = umockdev_testbed_new();
    if (impl_->testbed == nullptr) throw std::runtime_error("umockdev_testbed_new failed");
    impl_->root = rootDir();
    impl_->events = std::make_unique<UeventBroadcaster>(impl_->root);
}

Testbed::~Testbed() {
    for (auto& screen : impl_->screens) releaseScreen(*screen->impl_);
    impl_->events.reset();
    g_object_unref(impl_->testbed);
}

EmulatedScreen& Testbed::plug(const ScreenIdentity& identity, unsigned port) {
    if (identity.serial && utf16Units(*identity.serial) > kUsbStringUnits) {
        throw std::runtime_error("a serial number of " +
                                 std::to_string(utf16Units(*identity.serial)) +
                                 " characters does not fit a USB string (at most " +
                                 std::to_string(kUsbStringUnits) + ")");
    }
    std::set<unsigned> ports, hidraws, hiddevs;
    for (const auto& screen : impl_->screens) {
        if (!screen->plugged()) continue;
        ports.insert(screen->impl_->placement.port);
        hidraws.insert(screen->impl_->placement.hidrawMinor);
        hiddevs.insert(screen->impl_->placement.hiddevMinor);
    }
    ScreenPlacement at;
    at.port = port != 0 ? port : lowestFree(ports, 1);
    if (ports.count(at.port) != 0)
        throw std::runtime_error("port " + std::to_string(at.port) + " is in use");
    at.devnum = ++impl_->devnums;
    at.hidInstance = ++impl_->hidInstances;
    at.hidrawMinor = lowestFree(hidraws, 0);
    at.hiddevMinor = identity.usbAncestor ? lowestFree(hiddevs, 0) : 0;
    std::unique_ptr<EmulatedScreen::Impl> screenImpl;
    {
        std::lock_guard<std::mutex> guard(gLock);
        screenImpl = std::make_unique<EmulatedScreen::Impl>(identity, at);
        screenImpl->testbed = impl_->testbed;
    }
    auto screen = std::make_unique<EmulatedScreen>(std::move(screenImpl));
    ScreenImpl& state = *screen->impl_;
    impl_->screens.push_back(std::move(screen));
    if (identity.openable) {
        attachHandler(impl_->testbed, state);
        makeNode(impl_->testbed, state);
    }
    GError* error = nullptr;
    const std::string record =
        sysfsRecord(identity, state.model.reportDescriptor(), at, state.paths);
    if (!umockdev_testbed_add_from_string(impl_->testbed, record.c_str(), &error)) {
        fail("add_from_string", error);
    }
    setBinarySerial(impl_->testbed, state);
    announcePlug(*impl_->events, state);
    return *impl_->screens.back();
}

void Testbed::unplug(PresentedScreen& screen) {
    ScreenImpl& state = *dynamic_cast<EmulatedScreen&>(screen).impl_;
    {
        std::lock_guard<std::mutex> guard(gLock);
        if (state.gone) return;
        state.gone = true;
        // Hang up every open file: pollers see POLLHUP|POLLERR.
        for (const auto& file : state.files) file->hangUp();
        state.next.reset();
    }
    if (!state.nodeLink.empty()) ::unlink(state.nodeLink.c_str());
    if (!state.lockFile.empty()) ::unlink(state.lockFile.c_str());
    // uevents read the device's sysfs directory: announce before removing.
    const std::vector<ChainEvent> sequence = removeSequence(state);
    for (const ChainEvent& event : sequence) {
        if (event.driver != nullptr) impl_->events->send(event.path, "unbind", event.driver);
        impl_->events->send(event.path, "remove");
    }
    // Bottom-up: removing a parent first leaves the children's class and bus
    // links behind, and re-adding them later aborts.
    for (const ChainEvent& event : sequence) {
        umockdev_testbed_remove_device(impl_->testbed, event.path.c_str());
    }
    // Clients that still hold the node keep their connection to the handler
    // until they close it; detaching only stops new opens reaching it.
    if (state.attached) {
        umockdev_testbed_detach_ioctl(impl_->testbed, state.paths.devnode.c_str(), nullptr);
    }
    state.attached = false;
}

void Testbed::uevent(const std::string& syspath, const std::string& action) {
    impl_->events->send(syspath, action);
}

std::string Testbed::addOtherDevice(const std::string& subsystem, const std::string& name) {
    gchar* path = umockdev_testbed_add_device(impl_->testbed, subsystem.c_str(), name.c_str(),
                                              nullptr, nullptr, nullptr);
    if (path == nullptr) throw std::runtime_error("add_device " + subsystem + "/" + name);
    std::string syspath = path;
    g_free(path);
    impl_->otherDevices.push_back(syspath);
    uevent(syspath, "add");
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

const std::string& EmulatedScreen::syspath() const { return impl_->paths.hidraw; }

const std::string& EmulatedScreen::devnode() const { return impl_->paths.devnode; }

std::vector<std::string> EmulatedScreen::chainSyspaths() const {
    const ScreenPaths& p = impl_->paths;
    std::vector<std::string> paths = {p.parent, p.hid, p.hidraw};
    if (!p.usb.empty()) paths.insert(paths.begin(), p.usb);
    return paths;
}

bool EmulatedScreen::plugged() const {
    std::lock_guard<std::mutex> guard(gLock);
    return !impl_->gone;
}

void EmulatedScreen::pushReport(const std::vector<uint8_t>& report) {
    if (!kernelDelivers(impl_->reportSizes, report)) return;
    std::lock_guard<std::mutex> guard(gLock);
    takeOpenedFile(*impl_);
    if (impl_->gone) return;
    for (const auto& file : impl_->files) file->push(report);
}

std::size_t EmulatedScreen::pendingReports() const {
    std::lock_guard<std::mutex> guard(gLock);
    std::size_t most = 0;
    for (const auto& file : impl_->files) most = std::max(most, file->pending());
    return most;
}

// Counted by the PTYs still held rather than by the clients umockdev has
// seen leave, which it learns of only some time after the close().
std::size_t EmulatedScreen::openFiles() const {
    std::lock_guard<std::mutex> guard(gLock);
    takeOpenedFile(*impl_);
    return static_cast<std::size_t>(std::count_if(impl_->files.begin(), impl_->files.end(),
                                                  [](const auto& file) { return file->held(); }));
}

bool EmulatedScreen::waitUntilOpened(std::chrono::milliseconds timeout) const {
    std::unique_lock<std::mutex> guard(gLock);
    return gOpened.wait_for(guard, timeout, [this] { return impl_->opened; });
}

}  // namespace tsdemu
