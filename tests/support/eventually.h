#pragma once

#include <chrono>
#include <functional>
#include <thread>

namespace tsdtest {

// Waits for `done` with a generous bound; never used to judge speed.
inline bool eventually(const std::function<bool()>& done,
                       std::chrono::milliseconds bound = std::chrono::seconds(10)) {
    const auto deadline = std::chrono::steady_clock::now() + bound;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

}  // namespace tsdtest
