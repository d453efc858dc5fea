#include "touch_script_player.h"

#include <chrono>

namespace tsdemu {

TouchScriptPlayer::TouchScriptPlayer(PresentedScreen& screen, TouchScript script)
    : screen_(screen), script_(std::move(script)), thread_([this] { play(); }) {}

TouchScriptPlayer::~TouchScriptPlayer() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        cancelled_ = true;
        changed_.notify_all();
    }
    thread_.join();
}

void TouchScriptPlayer::wait() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return finished_; });
}

std::size_t TouchScriptPlayer::pushed() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return pushed_;
}

void TouchScriptPlayer::play() {
    const auto start = std::chrono::steady_clock::now();
    std::unique_lock<std::mutex> lock(mutex_);
    for (const ScriptedReport& item : script_) {
        if (changed_.wait_until(lock, start + item.at, [this] { return cancelled_; })) break;
        if (!screen_.plugged()) break;
        screen_.pushReport(item.report);
        ++pushed_;
    }
    finished_ = true;
    changed_.notify_all();
}

}  // namespace tsdemu
