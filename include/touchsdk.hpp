// SPDX-License-Identifier: MIT
/**
 * @file
 * C++17 interface over touchsdk.h, header-only: it adds no symbol to the
 * library and needs nothing beyond the C header and the standard library.
 *
 * - tsd::Screen owns an open screen and closes it; its callback manager,
 *   tsd::Callbacks, belongs to it and is deleted before the screen closes.
 * - tsd::HotplugWatch owns a hot-plug watcher; tsd::CalibrationPreview
 *   switches a preview off again unless it is applied.
 * - Callbacks are any callable, lambdas that capture included. They run on
 *   the library's threads, as in C; an exception that leaves one ends the
 *   program (std::terminate), as it would from a std::thread.
 * - A failed call throws tsd::Error, which names the C function that
 *   failed. Destructors never throw.
 *
 * @code
 * for (const tsd::ScreenInfo& info : tsd::screens()) {
 *     tsd::Screen screen(info.syspath);
 *     screen.callbacks().onTouch([&](const TouchPoint& p) { ... });
 * }
 * @endcode
 */
#ifndef TOUCHSDK_HPP
#define TOUCHSDK_HPP

#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "touchsdk.h"

/** The C++ interface. */
namespace tsd {

/** A call into the library failed. The library gives no further detail
 * than the failure itself, so the message names the call that failed. */
class Error : public std::runtime_error {
public:
    explicit Error(const char* operation)
        : std::runtime_error(std::string(operation) + " failed"), operation_(operation) {}
    /** The C function that failed, such as "TsdOpenTouchScreenA". */
    const char* operation() const noexcept { return operation_; }

private:
    const char* operation_;
};

namespace detail {
inline void check(TsdResult result, const char* operation) {
    if (result != TSD_OK) throw Error(operation);
}
}  // namespace detail

/** The library's version, as TsdGetSdkVersion gives it. */
struct Version {
    uint32_t major = 0;
    uint32_t minor = 0;
    uint32_t build = 0;
    uint32_t revision = 0;
};

/** The version of the library loaded at run time. */
inline Version version() noexcept {
    Version v;
    TsdGetSdkVersion(&v.major, &v.minor, &v.build, &v.revision);
    return v;
}

/** One attached screen interface, as discovery reports it. */
struct ScreenInfo {
    std::string syspath;                /**< what tsd::Screen opens */
    std::optional<std::wstring> serial; /**< none if the device has none */
};

/** The attached supported screens (TsdEnumTouchScreensA), empty when there
 * are none or udev is unavailable. Blocks as the C function does. */
inline std::vector<ScreenInfo> screens() {
    struct Collect {
        std::vector<ScreenInfo> found;
        std::exception_ptr failure;  // out of memory inside the C callback
    } collect;
    TsdEnumTouchScreensA(
        [](void* context, const char* syspath, const wchar_t* serial) {
            auto* c = static_cast<Collect*>(context);
            if (c->failure) return;
            try {
                ScreenInfo info{syspath != nullptr ? syspath : "", std::nullopt};
                if (serial != nullptr) info.serial = serial;
                c->found.push_back(std::move(info));
            } catch (...) {
                c->failure = std::current_exception();
            }
        },
        &collect);
    if (collect.failure) std::rethrow_exception(collect.failure);
    return std::move(collect.found);
}

/** The touch data callbacks of one screen (a callback manager). Each
 * callback runs on the manager's dispatch thread, one record at a time, in
 * report order. Its methods must not be called from two threads at once,
 * nor from one of its callbacks (a callback may stop its own kind).
 * Obtained from Screen::callbacks(); the screen deletes it before closing. */
class Callbacks {
public:
    Callbacks(const Callbacks&) = delete;
    Callbacks& operator=(const Callbacks&) = delete;
    ~Callbacks() { TsdDeleteCallbackManager(manager_); }

    /** Calls `f(const TouchPoint&)` with each contact of each touch
     * report. Throws if a touch callback is already set. */
    template <typename F>
    void onTouch(F&& f) {
        set(touch_, std::forward<F>(f), &TsdRegisterTouchCallback, "TsdRegisterTouchCallback");
    }
    /** Calls `f(const TouchPoint&)` with each contact of each raw touch
     * report, as the screen measured it. */
    template <typename F>
    void onRawTouch(F&& f) {
        set(raw_, std::forward<F>(f), &TsdRegisterRawtouchCallback, "TsdRegisterRawtouchCallback");
    }
    /** Calls `f(const DiagnosisData&)` with each diagnosis report's payload. */
    template <typename F>
    void onDiagnosis(F&& f) {
        set(diagnosis_, std::forward<F>(f), &TsdRegisterDiagnosisCallback,
            "TsdRegisterDiagnosisCallback");
    }
    /** Calls `f(const VirtualKeyEvent&)` with each press and release of a
     * virtual key. */
    template <typename F>
    void onVirtualKey(F&& f) {
        set(key_, std::forward<F>(f), &TsdRegisterVirtualKeyCallback,
            "TsdRegisterVirtualKeyCallback");
    }

    /** @name Stopping a callback
     * Once one returns, that callback is not called again (it waits for a
     * call under way on the dispatch thread). A callback may stop its own
     * kind, but not set it again. */
    /** @{ */
    void stopTouch() { stop(touch_, &TsdUnregisterTouchCallback, "TsdUnregisterTouchCallback"); }
    void stopRawTouch() {
        stop(raw_, &TsdUnregisterRawtouchCallback, "TsdUnregisterRawtouchCallback");
    }
    void stopDiagnosis() {
        stop(diagnosis_, &TsdUnregisterDiagnosisCallback, "TsdUnregisterDiagnosisCallback");
    }
    void stopVirtualKey() {
        stop(key_, &TsdUnregisterVirtualKeyCallback, "TsdUnregisterVirtualKeyCallback");
    }
    /** Stops every callback and the delivery threads. */
    void stopAll() {
        detail::check(TsdUnregisterAllCallback(manager_), "TsdUnregisterAllCallback");
        // Nothing runs any more: the callables and what they captured can go.
        touch_ = {};
        raw_ = {};
        diagnosis_ = {};
        key_ = {};
    }
    /** @} */

    CallbackManagerHandle native_handle() const noexcept { return manager_; }

private:
    friend class Screen;
    explicit Callbacks(TouchScreenHandle screen) {
        detail::check(TsdCreateCallbackManager(&manager_, screen), "TsdCreateCallbackManager");
    }

    // A callable is replaced only while its kind is not registered, so the
    // dispatch thread never sees it change. One a callback stopped stays
    // until the next registration, since that callback may still be running.
    template <typename Record>
    struct Slot {
        std::function<void(const Record&)> call;
        bool registered = false;
    };

    // The C callback for records of one kind: the context is the slot.
    template <typename Record, typename CRecord>
    static void trampoline(void* context, CRecord* record) noexcept {
        static_cast<Slot<Record>*>(context)->call(*reinterpret_cast<const Record*>(record));
    }

    template <typename Record, typename CRecord, typename F>
    void set(Slot<Record>& slot, F&& f,
             TsdResult (*registerFn)(CallbackManagerHandle, void (*)(void*, CRecord*), void*),
             const char* operation) {
        static_assert(std::is_invocable_v<F&, const Record&>,
                      "the callback must accept the record by const reference");
        if (slot.registered) throw Error(operation);
        slot.call = std::forward<F>(f);
        if (!slot.call) throw std::invalid_argument(std::string(operation) + ": empty callback");
        detail::check(registerFn(manager_, &trampoline<Record, CRecord>, &slot), operation);
        slot.registered = true;
    }

    template <typename Record>
    void stop(Slot<Record>& slot, TsdResult (*unregisterFn)(CallbackManagerHandle),
              const char* operation) {
        detail::check(unregisterFn(manager_), operation);
        slot.registered = false;
    }

    CallbackManagerHandle manager_ = nullptr;
    Slot<TouchPoint> touch_;
    Slot<TouchPoint> raw_;
    Slot<DiagnosisData> diagnosis_;
    Slot<VirtualKeyEvent> key_;
};

/** The range the calibration targets are given in (the caller's own
 * coordinates, such as the display's pixels). */
struct CalibrationRange {
    float xBegin = 0.0f;
    float xEnd = 0.0f;
    float yBegin = 0.0f;
    float yEnd = 0.0f;
};

/** A calibration shown as a preview on the screen. Unless apply() stores
 * it, the screen goes back to its active calibration when the guard ends
 * (or at cancel()). The guard must end before its screen is closed. */
class [[nodiscard]] CalibrationPreview {
public:
    CalibrationPreview(CalibrationPreview&& other) noexcept
        : handle_(std::exchange(other.handle_, nullptr)) {}
    CalibrationPreview& operator=(CalibrationPreview&& other) noexcept {
        if (this != &other) {
            end();
            handle_ = std::exchange(other.handle_, nullptr);
        }
        return *this;
    }
    ~CalibrationPreview() { end(); }

    /** Stores the preview as the screen's active calibration. On failure
     * the preview stays pending, and is cancelled when the guard ends. */
    void apply() {
        detail::check(TsdCalibrationApplyPreview(handle_), "TsdCalibrationApplyPreview");
        handle_ = nullptr;
    }
    /** Switches the screen back to its active calibration now. */
    void cancel() {
        detail::check(TsdCalibrationCancelPreview(std::exchange(handle_, nullptr)),
                      "TsdCalibrationCancelPreview");
    }
    /** Whether the preview is still waiting for apply() or cancel(). */
    bool pending() const noexcept { return handle_ != nullptr; }

private:
    friend class Screen;
    explicit CalibrationPreview(TouchScreenHandle handle) noexcept : handle_(handle) {}
    void end() noexcept {
        if (handle_ != nullptr) TsdCalibrationCancelPreview(std::exchange(handle_, nullptr));
    }

    TouchScreenHandle handle_;
};

/** An open screen. Closing it deletes its callback manager first. */
class Screen {
public:
    /** Opens the screen at `syspath`, as tsd::screens() reports it. */
    explicit Screen(const std::string& syspath) {
        detail::check(TsdOpenTouchScreenA(syspath.c_str(), &handle_), "TsdOpenTouchScreenA");
    }
    /** Opens a screen tsd::screens() found. */
    explicit Screen(const ScreenInfo& info) : Screen(info.syspath) {}
    Screen(Screen&& other) noexcept
        : handle_(std::exchange(other.handle_, nullptr)), callbacks_(std::move(other.callbacks_)) {}
    Screen& operator=(Screen&& other) noexcept {
        if (this != &other) {
            release();
            handle_ = std::exchange(other.handle_, nullptr);
            callbacks_ = std::move(other.callbacks_);
        }
        return *this;
    }
    ~Screen() { release(); }

    /** Closes now, reporting a failure, which has closed the node anyway. */
    void close() {
        callbacks_.reset();
        detail::check(TsdCloseTouchScreen(std::exchange(handle_, nullptr)), "TsdCloseTouchScreen");
    }

    /** The USB serial number read at open (empty if the device has none). */
    std::wstring serialNumber() const {
        uint32_t needed = 0;
        TsdGetTouchScreenSerialNumber(handle_, nullptr, 0, &needed);
        std::wstring serial(needed / sizeof(wchar_t), L'\0');
        detail::check(TsdGetTouchScreenSerialNumber(handle_, serial.data(), needed, &needed),
                      "TsdGetTouchScreenSerialNumber");
        serial.resize(serial.size() - 1);  // the terminator
        return serial;
    }

    /** The touch data callbacks, created on first use. */
    Callbacks& callbacks() {
        if (!callbacks_) callbacks_.reset(new Callbacks(handle_));
        return *callbacks_;
    }

    /** @name Modes and restart
     * Each blocks for its exchanges with the screen (up to ~1.4 s each). */
    /** @{ */
    uint8_t workingMode() const {
        return get(&TsdGetTouchScreenWorkingMode, "TsdGetTouchScreenWorkingMode");
    }
    void setWorkingMode(uint32_t mode) {
        detail::check(TsdSetTouchScreenWorkingMode(handle_, mode), "TsdSetTouchScreenWorkingMode");
    }
    uint8_t dataMode() const {
        return get(&TsdGetTouchScreenDataMode, "TsdGetTouchScreenDataMode");
    }
    void setDataMode(uint32_t mode) {
        detail::check(TsdSetTouchScreenDataMode(handle_, mode), "TsdSetTouchScreenDataMode");
    }
    uint8_t hidMode() const { return get(&TsdGetTouchScreenHidMode, "TsdGetTouchScreenHidMode"); }
    void setHidMode(uint32_t mode) {
        detail::check(TsdSetTouchScreenHidMode(handle_, mode), "TsdSetTouchScreenHidMode");
    }
    void restart() { detail::check(TsdRestartTouchScreen(handle_), "TsdRestartTouchScreen"); }
    /** @} */

    /** Fits a calibration to `points` (targets in `range`) and shows it as
     * a preview, which the returned guard cancels unless it is applied. */
    CalibrationPreview previewCalibration(const CalibrationRange& range,
                                          const std::vector<CalibrationPoint>& points) {
        if (points.size() > UINT32_MAX) throw Error("TsdCalibrationFullScreenPreview");
        detail::check(TsdCalibrationFullScreenPreview(handle_, range.xBegin, range.xEnd,
                                                      range.yBegin, range.yEnd, points.data(),
                                                      static_cast<uint32_t>(points.size())),
                      "TsdCalibrationFullScreenPreview");
        return CalibrationPreview(handle_);
    }
    /** Replaces the active calibration by an empty one. */
    void resetCalibration() { detail::check(TsdCalibrationReset(handle_), "TsdCalibrationReset"); }

    TouchScreenHandle native_handle() const noexcept { return handle_; }

private:
    uint8_t get(TsdResult (*getFn)(TouchScreenHandle, uint8_t*), const char* operation) const {
        uint8_t mode = 0;
        detail::check(getFn(handle_, &mode), operation);
        return mode;
    }
    void release() noexcept {
        callbacks_.reset();
        if (handle_ != nullptr) TsdCloseTouchScreen(std::exchange(handle_, nullptr));
    }

    TouchScreenHandle handle_ = nullptr;
    // Heap-held, so the C callbacks' context stays put when the screen moves.
    std::unique_ptr<Callbacks> callbacks_;
};

/** What happened to a device, in a hot-plug event. */
enum class HotplugAction : uint32_t { add = TSD_ACTION_ADD, remove = TSD_ACTION_REMOVE };

/** Watches devices come and go (TsdCreateTouchScreenNotificationA):
 * `f(HotplugAction, std::string_view devicePath)` runs on the watcher's
 * thread for every device of every subsystem; the path is valid during the
 * call. Every event after construction is reported; none after the
 * destructor returns. Must not be destroyed from its own callback. */
class HotplugWatch {
public:
    // Not for a HotplugWatch itself: moving one goes to the move constructor.
    template <typename F,
              typename = std::enable_if_t<!std::is_same_v<std::decay_t<F>, HotplugWatch>>>
    explicit HotplugWatch(F&& f) : callback_(std::make_unique<Callback>(std::forward<F>(f))) {
        static_assert(std::is_invocable_v<F&, HotplugAction, std::string_view>,
                      "the callback must accept (HotplugAction, std::string_view)");
        detail::check(TsdCreateTouchScreenNotificationA(&handle_, &trampoline, callback_.get()),
                      "TsdCreateTouchScreenNotificationA");
    }
    HotplugWatch(HotplugWatch&& other) noexcept
        : handle_(std::exchange(other.handle_, nullptr)), callback_(std::move(other.callback_)) {}
    HotplugWatch& operator=(HotplugWatch&& other) noexcept {
        if (this != &other) {
            TsdDeleteTouchScreenNotification(handle_);
            handle_ = std::exchange(other.handle_, nullptr);
            callback_ = std::move(other.callback_);
        }
        return *this;
    }
    ~HotplugWatch() { TsdDeleteTouchScreenNotification(handle_); }

    NotificationHandle native_handle() const noexcept { return handle_; }

private:
    using Callback = std::function<void(HotplugAction, std::string_view)>;
    static void trampoline(void* context, uint32_t action, const char* path) noexcept {
        (*static_cast<Callback*>(context))(
            static_cast<HotplugAction>(action),
            path != nullptr ? std::string_view(path) : std::string_view());
    }

    NotificationHandle handle_ = nullptr;
    std::unique_ptr<Callback> callback_;
};

}  // namespace tsd

#endif /* TOUCHSDK_HPP */
