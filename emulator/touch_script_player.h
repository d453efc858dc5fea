#pragma once

#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <thread>

#include "presentation.h"
#include "touch_script.h"

namespace tsdemu {

// Plays a script into an emulated screen on a thread of its own, each
// report at its time. Playing ends early once the screen is unplugged (a
// test may unplug it mid-stream) or the player is destroyed.
class TouchScriptPlayer {
public:
    TouchScriptPlayer(PresentedScreen& screen, TouchScript script);
    ~TouchScriptPlayer();
    TouchScriptPlayer(const TouchScriptPlayer&) = delete;
    TouchScriptPlayer& operator=(const TouchScriptPlayer&) = delete;

    // Blocks until the whole script is pushed or playing ended early.
    void wait();
    std::size_t pushed() const;

private:
    void play();

    PresentedScreen& screen_;
    const TouchScript script_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::size_t pushed_ = 0;  // guarded by mutex_
    bool finished_ = false;   // guarded by mutex_
    bool cancelled_ = false;  // guarded by mutex_
    std::thread thread_;
};

}  // namespace tsdemu
