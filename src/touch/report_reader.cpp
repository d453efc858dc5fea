#include "touch/report_reader.h"

#include <poll.h>
#include <unistd.h>

#include <array>
#include <cerrno>

namespace touchsdk {
namespace {

enum class Step { Continue, ScreenGone, Stop };

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

Step waitAndRead(int deviceFd, int wakeFd, PacketHandler handler, void* context) {
    std::array<pollfd, 2> fds{{{deviceFd, POLLIN, 0}, {wakeFd, POLLIN, 0}}};
    if (poll(fds.data(), fds.size(), -1) < 0) {
        return isTransient(errno) ? Step::Continue : Step::ScreenGone;
    }
    if (fds[1].revents != 0) return Step::Stop;
    // Data still buffered beside a hang-up is read before giving up.
    if ((fds[0].revents & POLLIN) != 0) return readOne(deviceFd, handler, context);
    if ((fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) return Step::ScreenGone;
    return Step::Continue;
}

}  // namespace

void readReports(const DeviceHandleRecord* device, ReaderStop stop, PacketHandler handler,
                 void* context) {
    if (device == nullptr) return;
    while (!stop.event->isSet()) {
        switch (waitAndRead(device->fd, stop.wakeFd, handler, context)) {
            case Step::Continue:
                break;
            case Step::Stop:
                return;
            case Step::ScreenGone:
                stop.event->wait();
                return;
        }
    }
}

}  // namespace touchsdk
