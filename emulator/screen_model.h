#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

#include "screen_identity.h"

namespace tsdemu {

// The emulated touch screen itself, free of any umockdev or GLib type: what
// the host can ask of it through the hidraw node. Every public member is
// safe to call from any thread (umockdev's worker thread serves the
// library's calls while a test or tool thread turns the knobs).
class ScreenModel {
public:
    explicit ScreenModel(ScreenIdentity identity);

    const ScreenIdentity& identity() const { return identity_; }
    std::vector<uint8_t> reportDescriptor() const;

    // Feature reports as HIDIOCSFEATURE / HIDIOCGFEATURE see them: the byte
    // count on success, or a negative errno.
    long setFeature(const uint8_t* report, std::size_t length);
    long getFeature(uint8_t* report, std::size_t length);

private:
    const ScreenIdentity identity_;
    mutable std::mutex mutex_;
};

}  // namespace tsdemu
