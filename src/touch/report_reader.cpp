#include "touch/report_reader.h"

#include <poll.h>
#include <unistd.h>

#include <array>
#include <cerrno>

namespace touchsdk {
namespace {

enum class Step { Continue, Idle, ScreenGone, Stop };

bool isTransient(int error) { return error == EINTR || error == EAGAIN || error == EWOULDBLOCK; }

Step readOne(int fd, PacketHandler handler, void* context) {
    std::array<uint8_t, kReadBufferSize> buffer;
    const ssize_t count = read(fd, buffer.data(), buffer.size());
    if (count < 0) return isTransient(errno) ? Step::Continue : Step::ScreenGone;
    // hidraw never returns an empty report; 0 is a peer's end of data.
    if (count == 0) return Step::ScreenGone;
    if (handler != nullptr) handler(context, buffer.data(), static_cast<uint32_t>(count));
    return Step::Continue;
}

// `timeout` 0 asks whether more is waiting: Idle when nothing is.
Step waitAndRead(int deviceFd, int wakeFd, int timeout, PacketHandler handler, void* context) {
    std::array<pollfd, 2> fds{{{deviceFd, POLLIN, 0}, {wakeFd, POLLIN, 0}}};
    const int ready = poll(fds.data(), fds.size(), timeout);
    if (ready < 0) return isTransient(errno) ? Step::Continue : Step::ScreenGone;
    if (ready == 0) return Step::Idle;
    if (fds[1].revents != 0) return Step::Stop;
    // Data still buffered beside a hang-up is read before giving up.
    if ((fds[0].revents & POLLIN) != 0) return readOne(deviceFd, handler, context);
    if ((fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) return Step::ScreenGone;
    return Step::Continue;
}

}  // namespace

void readReports(const DeviceHandleRecord* device, ReaderStop stop, PacketHandler handler,
                 void* context, IdleHandler idle) {
    if (device == nullptr) return;
    // After a read, a poll that does not wait tells whether the next report
    // is already there; only when none is does the reader go idle.
    bool busy = false;
    while (!stop.event->isSet()) {
        const int timeout = busy && idle != nullptr ? 0 : -1;
        switch (waitAndRead(device->fd, stop.wakeFd, timeout, handler, context)) {
            case Step::Continue:
                busy = true;
                break;
            case Step::Idle:
                busy = false;
                idle(context);
                break;
            case Step::Stop:
                return;
            case Step::ScreenGone:
                if (idle != nullptr) idle(context);
                stop.event->wait();
                return;
        }
    }
}

}  // namespace touchsdk
