#include "usbip_device.h"

#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <stdexcept>

#include "usb_control.h"
#include "usb_descriptors.h"

namespace tsdemu {
namespace {

// Blocking: the kernel writes each record whole, so once the first byte is
// there the rest follows at once.
bool receiveAll(int fd, uint8_t* bytes, std::size_t length) {
    while (length > 0) {
        const ssize_t n = ::recv(fd, bytes, length, MSG_WAITALL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes += n;
        length -= static_cast<std::size_t>(n);
    }
    return true;
}

bool sendAll(int fd, const uint8_t* bytes, std::size_t length) {
    while (length > 0) {
        // MSG_NOSIGNAL: a link the kernel dropped must not kill the process.
        const ssize_t n = ::send(fd, bytes, length, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes += n;
        length -= static_cast<std::size_t>(n);
    }
    return true;
}

void drain(int eventFd) {
    uint64_t count;
    (void)!::read(eventFd, &count, sizeof count);
}

void wake(int eventFd) {
    const uint64_t one = 1;
    while (::write(eventFd, &one, sizeof one) < 0 && errno == EINTR) {
    }
}

bool isInterruptIn(const usbip::Request& request) {
    return request.direction == usbip::kDirectionIn &&
           request.endpoint == (usb::kInterruptInEndpoint & 0x0F);
}

}  // namespace

UsbipDevice::UsbipDevice(ScreenModel& model, touchsdk::UniqueFd link)
    : model_(model), link_(std::move(link)), wake_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
    if (!wake_) throw std::runtime_error("eventfd failed");
    thread_ = std::thread([this] { serve(); });
}

UsbipDevice::~UsbipDevice() { disconnect(); }

void UsbipDevice::disconnect() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    wake(wake_.get());
    if (thread_.joinable()) thread_.join();
    link_.reset();
}

void UsbipDevice::pushReport(const std::vector<uint8_t>& report) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!linked_) return;
        if (reports_.size() == kWaitingReportLimit) reports_.pop_front();
        reports_.push_back(report);
    }
    wake(wake_.get());
}

std::size_t UsbipDevice::pendingReports() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return reports_.size();
}

bool UsbipDevice::waitUntilOpened(std::chrono::milliseconds timeout) const {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, timeout, [this] { return opened_; });
}

bool UsbipDevice::linked() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return linked_;
}

void UsbipDevice::setResponsive(bool responsive) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        responsive_ = responsive;
    }
    wake(wake_.get());
}

void UsbipDevice::serve() {
    // Not "tsd-": that prefix marks the library's own threads, which the tests count.
    pthread_setname_np(pthread_self(), "emu-usbip");
    while (step()) {
    }
    endLink();
}

void UsbipDevice::endLink() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        linked_ = false;
        reports_.clear();
        changed_.notify_all();
    }
    // Shut down rather than close: the descriptor stays ours until joined.
    // After the flag: whoever sees the link end also sees the screen gone.
    ::shutdown(link_.get(), SHUT_RDWR);
}

bool UsbipDevice::step() {
    pollfd fds[2] = {{link_.get(), POLLIN, 0}, {wake_.get(), POLLIN, 0}};
    if (::poll(fds, 2, -1) < 0) return errno == EINTR;
    if (fds[1].revents != 0) {
        drain(wake_.get());
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (stopping_) return false;
        }
        if (!flushReports()) return false;
    }
    if (fds[0].revents == 0) return true;
    usbip::HeaderBytes header;
    if (!receiveAll(link_.get(), header.data(), header.size())) return false;
    const std::optional<usbip::Request> request = usbip::decodeRequest(header);
    // A record we cannot read leaves the stream out of step for good.
    if (!request) return false;
    if (request->command == usbip::Command::Unlink) return answerUnlink(*request);
    return answerSubmit(*request);
}

bool UsbipDevice::answerSubmit(const usbip::Request& request) {
    std::vector<uint8_t> out;
    if (request.direction == usbip::kDirectionOut) {
        // Always read an OUT submit's data, or the stream loses step.
        out.resize(request.bufferLength);
        if (!receiveAll(link_.get(), out.data(), out.size())) return false;
    }
    bool responsive;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        responsive = responsive_;
    }
    if (request.endpoint == 0 && !responsive) {
        heldControlUrbs_.push_back({request.seqnum, request.bufferLength});
        return true;
    }
    if (request.endpoint == 0) return answerControl(request, out);
    if (!isInterruptIn(request)) {
        return send(usbip::encodeReturnSubmit(request.seqnum, usbip::kStatusStall, 0));
    }
    interruptUrbs_.push_back({request.seqnum, request.bufferLength});
    {
        std::lock_guard<std::mutex> lock(mutex_);
        opened_ = true;
        changed_.notify_all();
    }
    return flushReports();
}

bool UsbipDevice::answerControl(const usbip::Request& request, const std::vector<uint8_t>& out) {
    const usb::ControlAnswer answer = usb::answerControl(model_, request.setup, out);
    switch (answer.outcome) {
        case usb::ControlAnswer::Outcome::Vanish:
            return false;
        case usb::ControlAnswer::Outcome::Stall:
            return send(usbip::encodeReturnSubmit(request.seqnum, usbip::kStatusStall, 0));
        case usb::ControlAnswer::Outcome::Done:
            break;
    }
    if (request.direction == usbip::kDirectionOut) {
        return send(usbip::encodeReturnSubmit(request.seqnum, usbip::kStatusOk,
                                              static_cast<uint32_t>(out.size())));
    }
    std::vector<uint8_t> data = answer.data;
    data.resize(std::min<std::size_t>(data.size(), request.bufferLength));
    return send(usbip::encodeReturnSubmit(request.seqnum, usbip::kStatusOk,
                                          static_cast<uint32_t>(data.size())),
                data);
}

// An URB still held is given back as unlinked; one already completed is
// answered 0, and never completed a second time: the kernel takes a return
// for a seqnum it no longer knows as a broken link.
bool UsbipDevice::answerUnlink(const usbip::Request& request) {
    int32_t status = usbip::kStatusOk;
    for (std::deque<HeldUrb>* held : {&interruptUrbs_, &heldControlUrbs_}) {
        const auto found = std::find_if(held->begin(), held->end(), [&](const HeldUrb& urb) {
            return urb.seqnum == request.victim;
        });
        if (found == held->end()) continue;
        held->erase(found);
        status = usbip::kStatusUnlinked;
    }
    return send(usbip::encodeReturnUnlink(request.seqnum, status));
}

// One report per URB: several in one transfer would reach a hidraw reader
// as a single read.
bool UsbipDevice::flushReports() {
    while (!interruptUrbs_.empty()) {
        std::vector<uint8_t> report;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (reports_.empty() || !responsive_) return true;
            report = std::move(reports_.front());
            reports_.pop_front();
        }
        const HeldUrb urb = interruptUrbs_.front();
        interruptUrbs_.pop_front();
        report.resize(std::min<std::size_t>(report.size(), urb.bufferLength));
        if (!send(usbip::encodeReturnSubmit(urb.seqnum, usbip::kStatusOk,
                                            static_cast<uint32_t>(report.size())),
                  report)) {
            return false;
        }
    }
    return true;
}

bool UsbipDevice::send(const usbip::HeaderBytes& header, const std::vector<uint8_t>& data) {
    return sendAll(link_.get(), header.data(), header.size()) &&
           sendAll(link_.get(), data.data(), data.size());
}

}  // namespace tsdemu
