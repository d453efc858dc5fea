#include "screen_model.h"

#include <cerrno>
#include <utility>

namespace tsdemu {

ScreenModel::ScreenModel(ScreenIdentity identity) : identity_(std::move(identity)) {}

std::vector<uint8_t> ScreenModel::reportDescriptor() const {
    return tsdemu::reportDescriptor(identity_.descriptor);
}

// A screen without a command side stalls every feature request.
long ScreenModel::setFeature(const uint8_t* report, std::size_t length) {
    std::lock_guard<std::mutex> guard(mutex_);
    (void)report;
    (void)length;
    return -EPIPE;
}

long ScreenModel::getFeature(uint8_t* report, std::size_t length) {
    std::lock_guard<std::mutex> guard(mutex_);
    (void)report;
    (void)length;
    return -EPIPE;
}

}  // namespace tsdemu
