#include "library_internals.h"

#include <fcntl.h>
#include <unistd.h>

namespace tsdtool {

PrivateChannel::PrivateChannel(const std::string& devnode) {
    record_.fd = ::open(devnode.c_str(), O_RDWR | O_CLOEXEC);
}

PrivateChannel::~PrivateChannel() {
    if (record_.fd >= 0) ::close(record_.fd);
}

std::optional<touchsdk::CalibrationRange> storedRange(const std::string& devnode) {
    PrivateChannel channel(devnode);
    touchsdk::ControllerParameters parameters;
    if (!channel.valid() || !touchsdk::readControllerParameters(channel.handle(), parameters)) {
        return std::nullopt;
    }
    return parameters.range();
}

}  // namespace tsdtool
