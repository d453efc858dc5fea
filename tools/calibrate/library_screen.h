#pragma once

#include <deque>
#include <memory>
#include <mutex>
#include <string>

#include "display.h"
#include "input.h"
#include "screens.h"
#include "stop_signals.h"

namespace tsdcal {

struct KeySample {
    uint8_t key = 0;
    bool down = false;
    int64_t ms = 0;  // arrival, steady clock
};

// The screen reached through the library: its calibration operations, and
// its touches from both callbacks: raw (the samples calibration is fitted
// on, unbiased by any calibration in force) and calibrated (where a touch
// lands under the preview).
class LibraryScreen : public ScreenControl {
public:
    // Opens the screen; null with `error` set when it cannot be used. A node
    // this user may not open ends with status 4 and the advice.
    static std::unique_ptr<LibraryScreen> open(const tsdtool::Screen& chosen, std::string& error);
    ~LibraryScreen() override;
    LibraryScreen(const LibraryScreen&) = delete;
    LibraryScreen& operator=(const LibraryScreen&) = delete;

    const std::string& syspath() const { return syspath_; }
    touchsdk::CalibrationRange range() const override { return range_; }
    bool preview(const touchsdk::CalibrationRange& caller,
                 const std::vector<CalibrationPoint>& points) override;
    bool apply() override;
    bool cancel() override;

    // Becomes readable when a touch is queued or the screen goes away.
    int fd() const { return wakeFd_; }
    // Takes the queued touches; `gone` becomes true once the screen left.
    std::deque<TouchSample> take(bool& gone);
    // Queues the virtual keys' presses and releases too, from now on; they
    // are taken apart from the touches.
    bool listenToKeys();
    std::deque<KeySample> takeKeys();
    // Whether the device is still there: the hot-plug notification may be
    // late or lost (a monitor that cannot see the removal).
    bool present() const;

private:
    LibraryScreen() = default;
    bool start(std::string& error);
    void push(const TouchPoint& point, bool raw);
    void wake() const;
    static void onTouch(void* context, TouchPoint* point);
    static void onRaw(void* context, TouchPoint* point);
    static void onKey(void* context, VirtualKeyEvent* event);
    static void onDevice(void* context, uint32_t action, const char* devicePath);

    std::string syspath_;
    std::string devnode_;
    TouchScreenHandle handle_ = nullptr;
    CallbackManagerHandle manager_ = nullptr;
    NotificationHandle notification_ = nullptr;
    touchsdk::CalibrationRange range_;
    int wakeFd_ = -1;
    std::mutex mutex_;
    std::deque<TouchSample> queue_;  // guarded by mutex_
    std::deque<KeySample> keys_;     // guarded by mutex_
    bool gone_ = false;              // guarded by mutex_
};

// Waits for the screen's touches, the display's keys and stop signals.
class EventLoop : public Input {
public:
    EventLoop(LibraryScreen& screen, Display& display, const tsdtool::StopSignals& signals)
        : screen_(screen), display_(display), signals_(signals) {}
    int64_t nowMs() const override;
    InputEvent next(int64_t deadlineMs) override;

private:
    LibraryScreen& screen_;
    Display& display_;
    const tsdtool::StopSignals& signals_;
    std::deque<TouchSample> pending_;
    bool gone_ = false;
    int64_t lastPresenceCheckMs_ = 0;
};

int64_t steadyNowMs();

}  // namespace tsdcal
