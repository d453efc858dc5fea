/*
 * touchsdk: find, control, read and calibrate the USB HID touch screens of
 * one product family on Linux (hidraw + libudev).
 *
 * Conventions
 * - Every function that returns a TsdResult answers TSD_OK (0) on success and
 *   TSD_FAILURE (0xFFFFFFFF, -1 as a signed 32-bit value) on failure. There is
 *   no further error detail. A null handle is always a failure, and so is a
 *   null out pointer except where a function says otherwise (the mode
 *   getters), and running out of memory, descriptors or threads.
 * - Out parameters are written only on success, with one exception: the
 *   needed size of TsdGetTouchScreenSerialNumber is written also when the
 *   buffer is too small and the call fails.
 * - Functions ending in A take and deliver narrow (locale multibyte) path
 *   strings, those ending in W wide ones. Serial numbers are always wide.
 * - A string or record handed to a callback is valid only during the call.
 * - The library keeps no global state and needs no initialisation.
 *
 * Blocking
 * - Commands and calibration talk to the screen through exchanges of feature
 *   reports. One exchange waits at most about 1.4 s (five sends, each
 *   followed by up to 280 ms of polling for the answer) and usually takes a
 *   few milliseconds. Each function below says how many exchanges it makes.
 *   A call on a handle also waits for the command or calibration call that
 *   another thread is running on the same handle.
 * - The other functions do not wait for the screen; those that stop a
 *   thread wait for the callback it is running to return.
 *
 * Threads
 * - Every function may be called from any thread.
 * - Command and calibration functions on one TouchScreenHandle are
 *   serialised by the library: each call runs as one unit on the screen, so
 *   two threads never interleave their requests and each gets its own answer.
 *   Once the screen is unplugged, each of them fails at once: the first
 *   request that finds it gone ends the call.
 * - Calls on one CallbackManagerHandle must not overlap; the application
 *   serialises them.
 */
#ifndef TOUCHSDK_H
#define TOUCHSDK_H

#include <stddef.h>
#include <stdint.h>
#include <wchar.h>

#if defined(TSD_BUILDING_LIBRARY)
#define TSD_API __attribute__((visibility("default")))
#else
#define TSD_API
#endif

#if defined(__cplusplus)
#define TSD_NOEXCEPT noexcept
#else
#define TSD_NOEXCEPT
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Results and handles ---------------------------------------------- */

typedef uint32_t TsdResult;
#define TSD_OK ((TsdResult)0u)
#define TSD_FAILURE ((TsdResult)0xFFFFFFFFu)

/* Opaque handles, owned by the application from the call that makes them
 * to the call that releases them. */
typedef struct TsdTouchScreen* TouchScreenHandle;
typedef struct TsdCallbackManager* CallbackManagerHandle;
typedef struct TsdNotification* NotificationHandle;

/* Action codes of the hot-plug notification callback. */
#define TSD_ACTION_ADD 0u
#define TSD_ACTION_REMOVE 1u

/* ---- Records handed to callbacks (byte-packed, native byte order) ------ */

typedef struct __attribute__((packed)) TouchPoint {
    uint8_t state; /* 1: the contact touches the screen, 0: lifted */
    uint8_t id;    /* contact identifier */
    float x;       /* screen units, as the screen reported them */
    float y;
    float width;
    float height;
    uint16_t scanTime; /* the report's scan time, unchanged */
} TouchPoint;

typedef struct __attribute__((packed)) VirtualKeyEvent {
    uint8_t key;   /* key number */
    uint8_t state; /* 0 released, 1 pressed */
} VirtualKeyEvent;

/* One calibration sample: where the screen reported the touch (screen units)
 * and where the target was shown (the caller's range). */
typedef struct CalibrationPoint {
    float touchX;
    float touchY;
    float targetX;
    float targetY;
} CalibrationPoint;

/* The diagnosis report's payload, passed on as the screen sent it. */
#define TSD_DIAGNOSIS_DATA_SIZE 63
typedef uint8_t DiagnosisData[TSD_DIAGNOSIS_DATA_SIZE];

#if defined(__cplusplus)
#define TSD_STATIC_ASSERT(name, expr) static_assert(expr, #name)
#elif defined(__STDC_VERSION__) && __STDC_VERSION__ >= 201112L
#define TSD_STATIC_ASSERT(name, expr) _Static_assert(expr, #name)
#else
#define TSD_STATIC_ASSERT(name, expr) typedef char tsd_static_assert_##name[(expr) ? 1 : -1]
#endif

TSD_STATIC_ASSERT(touch_point_size, sizeof(TouchPoint) == 20);
TSD_STATIC_ASSERT(touch_point_x, offsetof(TouchPoint, x) == 2);
TSD_STATIC_ASSERT(touch_point_y, offsetof(TouchPoint, y) == 6);
TSD_STATIC_ASSERT(touch_point_width, offsetof(TouchPoint, width) == 10);
TSD_STATIC_ASSERT(touch_point_height, offsetof(TouchPoint, height) == 14);
TSD_STATIC_ASSERT(touch_point_scan_time, offsetof(TouchPoint, scanTime) == 18);
TSD_STATIC_ASSERT(virtual_key_event_size, sizeof(VirtualKeyEvent) == 2);
TSD_STATIC_ASSERT(virtual_key_event_state, offsetof(VirtualKeyEvent, state) == 1);
TSD_STATIC_ASSERT(calibration_point_size, sizeof(CalibrationPoint) == 16);
TSD_STATIC_ASSERT(calibration_point_target_x, offsetof(CalibrationPoint, targetX) == 8);
TSD_STATIC_ASSERT(calibration_point_target_y, offsetof(CalibrationPoint, targetY) == 12);
TSD_STATIC_ASSERT(diagnosis_data_size, sizeof(DiagnosisData) == 63);

/* ---- Callback types ----------------------------------------------------- */

/* Every callback receives the context given at registration first. */
typedef void (*TouchScreenEnumCallbackA)(void* context, const char* syspath,
                                         const wchar_t* serialNumber);
typedef void (*TouchScreenEnumCallbackW)(void* context, const wchar_t* syspath,
                                         const wchar_t* serialNumber);
typedef void (*TouchScreenNotificationCallbackA)(void* context, uint32_t action,
                                                 const char* devicePath);
typedef void (*TouchScreenNotificationCallbackW)(void* context, uint32_t action,
                                                 const wchar_t* devicePath);
typedef void (*TouchCallback)(void* context, TouchPoint* point);
typedef void (*RawtouchCallback)(void* context, TouchPoint* point);
typedef void (*DiagnosisCallback)(void* context, uint8_t* data);
typedef void (*VirtualKeyCallback)(void* context, VirtualKeyEvent* event);

/* ---- Version and discovery ---------------------------------------------- */

/* Writes the library version 1.7.6230.18600 through the four pointers; a
 * null pointer is skipped. Cannot fail; does not block. */
TSD_API void TsdGetSdkVersion(uint32_t* major, uint32_t* minor, uint32_t* build,
                              uint32_t* revision) TSD_NOEXCEPT;

/* Calls `callback` on the caller's thread once per attached supported screen
 * interface, with its sysfs path and its USB serial number (null if it has
 * none). A null callback scans and reports nothing. A screen that cannot be
 * opened or questioned is skipped, and if udev is unavailable nothing is
 * reported. Blocks while each hidraw node that udev does not place outside
 * the supported IDs is opened and asked for its IDs and report descriptor
 * (no exchange with the screen), and while the callback runs. */
TSD_API void TsdEnumTouchScreensA(TouchScreenEnumCallbackA callback, void* context) TSD_NOEXCEPT;
/* As TsdEnumTouchScreensA, with the sysfs path converted to a wide string
 * in the environment's locale (null if it cannot be converted). */
TSD_API void TsdEnumTouchScreensW(TouchScreenEnumCallbackW callback, void* context) TSD_NOEXCEPT;

/* ---- Device handle ------------------------------------------------------- */

/* Opens the screen at `syspath` (as enumeration reports it) and writes its
 * handle to *handle. Fails for a null argument, a path that names no device,
 * a device without a USB ancestor or a node that cannot be opened (no
 * permission, say). Does not talk to the screen; blocks only for udev and
 * the open. */
TSD_API TsdResult TsdOpenTouchScreenA(const char* syspath, TouchScreenHandle* handle) TSD_NOEXCEPT;
/* As TsdOpenTouchScreenA with a wide path, converted in the environment's
 * locale; a path that cannot be converted fails. */
TSD_API TsdResult TsdOpenTouchScreenW(const wchar_t* syspath,
                                      TouchScreenHandle* handle) TSD_NOEXCEPT;
/* Closes the handle and frees it, also when it fails: the handle must not be
 * used again either way. Fails for a null handle, and when the system
 * reports an error closing the node, which on Linux has released the node
 * anyway. Delete the handle's callback manager first. Does not block. */
TSD_API TsdResult TsdCloseTouchScreen(TouchScreenHandle handle) TSD_NOEXCEPT;
/* Copies the USB serial number read at open (one wide character per byte,
 * empty if the device has none), terminator included, into `buffer` of
 * `bufferSize` bytes. The needed size in bytes is written to *neededSize (if
 * not null) even when the buffer is too small or null and the call fails:
 * call once with a null buffer to learn the size. Fails for a null handle
 * and a buffer that is null or too small. Does not block. */
TSD_API TsdResult TsdGetTouchScreenSerialNumber(TouchScreenHandle handle, wchar_t* buffer,
                                                size_t bufferSize,
                                                uint32_t* neededSize) TSD_NOEXCEPT;

/* ---- Hot-plug notification ---------------------------------------------- */

/* Starts a watcher thread that calls `callback` (on that thread, one call at
 * a time) with TSD_ACTION_ADD or TSD_ACTION_REMOVE and the udev device path
 * (beginning "/devices/") of every device added or removed, of every
 * subsystem. A null callback is allowed. Returns once the watcher listens,
 * so every event after the return is reported. Fails for a null `handle`
 * and when no descriptor, memory or thread can be had; if the udev monitor
 * cannot be set up, it succeeds and the watcher reports nothing. */
TSD_API TsdResult TsdCreateTouchScreenNotificationA(NotificationHandle* handle,
                                                    TouchScreenNotificationCallbackA callback,
                                                    void* context) TSD_NOEXCEPT;
/* As TsdCreateTouchScreenNotificationA, with the device path converted to a
 * wide string in the environment's locale (null if it cannot be). */
TSD_API TsdResult TsdCreateTouchScreenNotificationW(NotificationHandle* handle,
                                                    TouchScreenNotificationCallbackW callback,
                                                    void* context) TSD_NOEXCEPT;
/* Stops the watcher and frees it; no callback of it starts after this
 * returns. Waits for a callback under way on another thread to return. It
 * may be called from the watcher's own callback: the watcher then ends as
 * soon as that callback returns. A null handle does nothing. Always TSD_OK. */
TSD_API TsdResult TsdDeleteTouchScreenNotification(NotificationHandle handle) TSD_NOEXCEPT;

/* ---- Mode and restart commands (blocking, on the caller's thread) -------- */

/* Each fails for a null handle, a screen that does not answer, refuses or
 * answers something else than the command expects, and a mode value out of
 * range; a failed Set leaves the mode as it was, except as said for the
 * working mode. A Get accepts a null `mode`: it then only tells whether the
 * screen answers with a valid mode. */

/* Reads the controller's working mode (0 or 1) into *mode; a value the
 * screen reports outside that range fails. One exchange (up to ~1.4 s). */
TSD_API TsdResult TsdGetTouchScreenWorkingMode(TouchScreenHandle handle,
                                               uint8_t* mode) TSD_NOEXCEPT;
/* Sets the working mode (0 or 1) of the controller and then of every module
 * it lists. If a module fails, those set before it keep the new mode. One
 * exchange for the list, then one per module and the controller: n + 2 in
 * all (up to ~1.4 s each). */
TSD_API TsdResult TsdSetTouchScreenWorkingMode(TouchScreenHandle handle,
                                               uint32_t mode) TSD_NOEXCEPT;
/* Reads the data mode (0 to 4) into *mode; a screen value without a mode
 * fails. One exchange (up to ~1.4 s). */
TSD_API TsdResult TsdGetTouchScreenDataMode(TouchScreenHandle handle, uint8_t* mode) TSD_NOEXCEPT;
/* Sets the data mode (0 to 4). One exchange (up to ~1.4 s). */
TSD_API TsdResult TsdSetTouchScreenDataMode(TouchScreenHandle handle, uint32_t mode) TSD_NOEXCEPT;
/* Reads the HID mode (0 to 2) into *mode; a value outside it fails. One
 * exchange (up to ~1.4 s). */
TSD_API TsdResult TsdGetTouchScreenHidMode(TouchScreenHandle handle, uint8_t* mode) TSD_NOEXCEPT;
/* Sets the HID mode (0 to 2). One exchange (up to ~1.4 s). */
TSD_API TsdResult TsdSetTouchScreenHidMode(TouchScreenHandle handle, uint32_t mode) TSD_NOEXCEPT;
/* Asks the screen to restart and returns once it has acknowledged, without
 * waiting for it to come back. One exchange (up to ~1.4 s). */
TSD_API TsdResult TsdRestartTouchScreen(TouchScreenHandle handle) TSD_NOEXCEPT;

/* ---- Touch data delivery -------------------------------------------------- */

/* Creates a callback manager for an open screen and writes it to *manager.
 * The screen must stay open until the manager is deleted. No thread runs
 * until a callback is registered. Fails for a null `manager` or no memory.
 * Does not block. */
TSD_API TsdResult TsdCreateCallbackManager(CallbackManagerHandle* manager,
                                           TouchScreenHandle handle) TSD_NOEXCEPT;
/* Callbacks of one manager run on its dispatch thread, one record at a time,
 * in report order. Each Register takes one callback of its kind: it fails
 * for a null manager or callback, a kind already registered, and when the
 * first registration cannot start the delivery threads. The first
 * registration starts the threads (it does not wait for the screen). Each
 * Unregister fails for a null manager or a kind not registered; once it
 * returns, that callback is never called again: it waits for a call of
 * it under way on the dispatch thread. A callback may unregister itself.
 * Reports wait for the dispatch thread in a backlog of at most 4096 reports
 * (several seconds of a screen's stream). A callback slower than the screen
 * lets it fill; from then on each new report drops the oldest waiting one,
 * so callbacks see the most recent touches, still in report order. */

/* Calls `callback` with each contact of each touch report (0x36). */
TSD_API TsdResult TsdRegisterTouchCallback(CallbackManagerHandle manager, TouchCallback callback,
                                           void* context) TSD_NOEXCEPT;
/* Stops the touch callback; the last callback to go stops the threads. */
TSD_API TsdResult TsdUnregisterTouchCallback(CallbackManagerHandle manager) TSD_NOEXCEPT;
/* Calls `callback` with each contact of each raw touch report (0x34). */
TSD_API TsdResult TsdRegisterRawtouchCallback(CallbackManagerHandle manager,
                                              RawtouchCallback callback,
                                              void* context) TSD_NOEXCEPT;
/* Stops the raw touch callback; the last callback to go stops the threads. */
TSD_API TsdResult TsdUnregisterRawtouchCallback(CallbackManagerHandle manager) TSD_NOEXCEPT;
/* Calls `callback` with the 63 payload bytes of each diagnosis report
 * (0x37). */
TSD_API TsdResult TsdRegisterDiagnosisCallback(CallbackManagerHandle manager,
                                               DiagnosisCallback callback,
                                               void* context) TSD_NOEXCEPT;
/* Stops the diagnosis callback; the last callback to go stops the threads. */
TSD_API TsdResult TsdUnregisterDiagnosisCallback(CallbackManagerHandle manager) TSD_NOEXCEPT;
/* Calls `callback` with each press and release of a virtual key (report
 * 0x38). */
TSD_API TsdResult TsdRegisterVirtualKeyCallback(CallbackManagerHandle manager,
                                                VirtualKeyCallback callback,
                                                void* context) TSD_NOEXCEPT;
/* Stops the virtual key callback; the last callback to go stops the
 * threads. */
TSD_API TsdResult TsdUnregisterVirtualKeyCallback(CallbackManagerHandle manager) TSD_NOEXCEPT;
/* Unregisters every callback and stops and joins the delivery threads,
 * waiting for a callback under way; TSD_OK also when nothing was
 * registered. Fails only for a null manager. Must not be called from a
 * callback. */
TSD_API TsdResult TsdUnregisterAllCallback(CallbackManagerHandle manager) TSD_NOEXCEPT;
/* Stops delivery as TsdUnregisterAllCallback does and frees the manager;
 * the screen stays open. Fails, freeing nothing, for a null manager and
 * when called from one of the manager's callbacks (a later call from
 * another thread frees it). */
TSD_API TsdResult TsdDeleteCallbackManager(CallbackManagerHandle manager) TSD_NOEXCEPT;

/* ---- Calibration ------------------------------------------------------------ */

/* Each fails for a null handle and a screen that does not answer, refuses or
 * answers something unexpected. A failure part-way through writing a slot
 * leaves that slot partly written; nothing is undone. */

/* Fits a polynomial from `count` samples (3 to 5: linear, 6 to 9: quadratic,
 * 10 or more: cubic) with targets given in the range (xBegin..xEnd,
 * yBegin..yEnd), stores it in the screen's preview slot and switches the
 * screen to it. Fails before writing anything for fewer than 3 samples, a
 * singular fit, equal range ends or non-finite input, and when the screen's
 * own range cannot be read. About 15 exchanges (reading the screen's range,
 * writing the slot, switching): usually well under a second, at worst
 * about 20 s. */
TSD_API TsdResult TsdCalibrationFullScreenPreview(TouchScreenHandle handle, float xBegin,
                                                  float xEnd, float yBegin, float yEnd,
                                                  const CalibrationPoint* points,
                                                  uint32_t count) TSD_NOEXCEPT;
/* Switches the screen back to its active calibration; the preview slot is
 * kept. One exchange (up to ~1.4 s). */
TSD_API TsdResult TsdCalibrationCancelPreview(TouchScreenHandle handle) TSD_NOEXCEPT;
/* Copies the preview slot into the active slot and switches preview off.
 * About 16 exchanges (read, write, switch): at worst about 20 s. */
TSD_API TsdResult TsdCalibrationApplyPreview(TouchScreenHandle handle) TSD_NOEXCEPT;
/* Replaces the active calibration by an empty one and switches preview off.
 * About 9 exchanges: at worst about 13 s. */
TSD_API TsdResult TsdCalibrationReset(TouchScreenHandle handle) TSD_NOEXCEPT;

#ifdef __cplusplus
}
#endif

#endif /* TOUCHSDK_H */
