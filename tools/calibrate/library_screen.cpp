#include "library_screen.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <system_error>

#include "access.h"
#include "library_internals.h"

namespace tsdcal {
namespace {

// How often, while waiting, the screen's presence is looked at.
constexpr int kPresenceCheckMs = 1000;

}  // namespace

int64_t steadyNowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

std::unique_ptr<LibraryScreen> LibraryScreen::open(const tsdtool::Screen& chosen,
                                                   std::string& error) {
    tsdtool::requireAccess(chosen.devnode);
    std::unique_ptr<LibraryScreen> screen(new LibraryScreen());
    screen->syspath_ = chosen.syspath;
    screen->devnode_ = chosen.devnode;
    if (!screen->start(error)) return nullptr;
    return screen;
}

bool LibraryScreen::start(std::string& error) {
    wakeFd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wakeFd_ < 0) {
        error = std::string("eventfd: ") + std::system_category().message(errno);
        return false;
    }
    if (TsdOpenTouchScreenA(syspath_.c_str(), &handle_) != TSD_OK) {
        error = "cannot open the touch screen " + devnode_;
        return false;
    }
    const auto range = tsdtool::storedRange(devnode_);
    if (!range) {
        error = "the screen does not answer (reading its coordinate range failed)";
        return false;
    }
    range_ = *range;
    if (range_.xBegin == range_.xEnd || range_.yBegin == range_.yEnd) {
        error = "the screen reports an empty coordinate range";
        return false;
    }
    if (TsdCreateTouchScreenNotificationA(&notification_, onDevice, this) != TSD_OK ||
        TsdCreateCallbackManager(&manager_, handle_) != TSD_OK ||
        TsdRegisterRawtouchCallback(manager_, onRaw, this) != TSD_OK ||
        TsdRegisterTouchCallback(manager_, onTouch, this) != TSD_OK) {
        error = "cannot receive touches from the screen";
        return false;
    }
    return true;
}

LibraryScreen::~LibraryScreen() {
    // Callbacks stop before the queue they fill goes away.
    if (manager_ != nullptr) TsdDeleteCallbackManager(manager_);
    if (notification_ != nullptr) TsdDeleteTouchScreenNotification(notification_);
    if (handle_ != nullptr) TsdCloseTouchScreen(handle_);
    if (wakeFd_ >= 0) ::close(wakeFd_);
}

bool LibraryScreen::preview(const touchsdk::CalibrationRange& caller,
                            const std::vector<CalibrationPoint>& points) {
    return TsdCalibrationFullScreenPreview(handle_, caller.xBegin, caller.xEnd, caller.yBegin,
                                           caller.yEnd, points.data(),
                                           static_cast<uint32_t>(points.size())) == TSD_OK;
}

bool LibraryScreen::apply() { return TsdCalibrationApplyPreview(handle_) == TSD_OK; }
bool LibraryScreen::cancel() { return TsdCalibrationCancelPreview(handle_) == TSD_OK; }

std::deque<TouchSample> LibraryScreen::take(bool& gone) {
    uint64_t count = 0;
    [[maybe_unused]] const ssize_t n = ::read(wakeFd_, &count, sizeof count);
    std::lock_guard<std::mutex> lock(mutex_);
    gone = gone_;
    std::deque<TouchSample> out;
    out.swap(queue_);
    return out;
}

bool LibraryScreen::listenToKeys() {
    return TsdRegisterVirtualKeyCallback(manager_, onKey, this) == TSD_OK;
}

std::deque<KeySample> LibraryScreen::takeKeys() {
    std::lock_guard<std::mutex> lock(mutex_);
    std::deque<KeySample> out;
    out.swap(keys_);
    return out;
}

bool LibraryScreen::present() const { return ::access(syspath_.c_str(), F_OK) == 0; }

void LibraryScreen::wake() const {
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(wakeFd_, &one, sizeof one);
}

void LibraryScreen::push(const TouchPoint& point, bool raw) {
    TouchSample sample;
    sample.raw = raw;
    sample.down = point.state != 0;
    sample.id = point.id;
    sample.x = point.x;
    sample.y = point.y;
    sample.width = point.width;
    sample.height = point.height;
    sample.scanTime = point.scanTime;
    sample.ms = steadyNowMs();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        queue_.push_back(sample);
    }
    wake();
}

void LibraryScreen::onTouch(void* context, TouchPoint* point) {
    static_cast<LibraryScreen*>(context)->push(*point, false);
}

void LibraryScreen::onRaw(void* context, TouchPoint* point) {
    static_cast<LibraryScreen*>(context)->push(*point, true);
}

void LibraryScreen::onKey(void* context, VirtualKeyEvent* event) {
    auto* self = static_cast<LibraryScreen*>(context);
    {
        std::lock_guard<std::mutex> lock(self->mutex_);
        self->keys_.push_back({event->key, event->state != 0, steadyNowMs()});
    }
    self->wake();
}

// Device paths come without the "/sys" prefix of the syspath.
void LibraryScreen::onDevice(void* context, uint32_t action, const char* devicePath) {
    auto* self = static_cast<LibraryScreen*>(context);
    if (action != TSD_ACTION_REMOVE || devicePath == nullptr) return;
    const std::string path = devicePath;
    const std::string& ours = self->syspath_;
    if (ours.size() < path.size() ||
        ours.compare(ours.size() - path.size(), path.size(), path) != 0) {
        return;
    }
    {
        std::lock_guard<std::mutex> lock(self->mutex_);
        self->gone_ = true;
    }
    self->wake();
}

int64_t EventLoop::nowMs() const { return steadyNowMs(); }

InputEvent EventLoop::next(int64_t deadlineMs) {
    for (;;) {
        if (signals_.take()) return {InputEvent::Kind::kSignal, {}};
        if (display_.stopRequested()) return {InputEvent::Kind::kEscape, {}};
        if (!pending_.empty()) {
            InputEvent event{InputEvent::Kind::kTouch, pending_.front()};
            pending_.pop_front();
            return event;
        }
        if (gone_) return {InputEvent::Kind::kScreenGone, {}};
        const int64_t left = deadlineMs - nowMs();
        if (left <= 0) return {InputEvent::Kind::kTimedOut, {}};
        int wait = static_cast<int>(std::min<int64_t>(left, kPresenceCheckMs));
        if (display_.pumpIntervalMs() >= 0) wait = std::min(wait, display_.pumpIntervalMs());
        pollfd fds[3] = {
            {screen_.fd(), POLLIN, 0}, {signals_.fd(), POLLIN, 0}, {display_.inputFd(), POLLIN, 0}};
        ::poll(fds, display_.inputFd() >= 0 ? 3 : 2, wait);
        if ((fds[0].revents & POLLIN) != 0) {
            std::deque<TouchSample> arrived = screen_.take(gone_);
            pending_.insert(pending_.end(), arrived.begin(), arrived.end());
        }
        if (nowMs() - lastPresenceCheckMs_ >= kPresenceCheckMs) {
            lastPresenceCheckMs_ = nowMs();
            if (!screen_.present()) gone_ = true;
        }
    }
}

}  // namespace tsdcal
