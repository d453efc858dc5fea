#include "common/result.h"
#include "device/device_handle_ops.h"
#include "device/wide_string.h"
#include "touchsdk.h"

using namespace touchsdk;

extern "C" TSD_API TsdResult TsdOpenTouchScreenA(const char* syspath,
                                                 TouchScreenHandle* handle) noexcept {
    return guardedExport([&] { return openTouchScreen(syspath, handle); });
}

extern "C" TSD_API TsdResult TsdOpenTouchScreenW(const wchar_t* syspath,
                                                 TouchScreenHandle* handle) noexcept {
    return guardedExport([&] {
        if (handle == nullptr) return false;
        const NarrowString narrow = NarrowFromWide(syspath);
        return openTouchScreen(narrow.get(), handle);
    });
}

extern "C" TSD_API TsdResult TsdCloseTouchScreen(TouchScreenHandle handle) noexcept {
    return guardedExport([&] { return closeTouchScreen(handle); });
}

extern "C" TSD_API TsdResult TsdGetTouchScreenSerialNumber(TouchScreenHandle handle,
                                                           wchar_t* buffer, size_t bufferSize,
                                                           uint32_t* neededSize) noexcept {
    return guardedExport([&] { return readSerialNumber(handle, buffer, bufferSize, neededSize); });
}
