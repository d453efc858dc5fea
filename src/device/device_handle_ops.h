#pragma once

#include <cstddef>
#include <cstdint>

#include "device/device_handle.h"

namespace touchsdk {

// Each answers true on success. The open writes the handle only on success.
[[nodiscard]] bool openTouchScreen(const char* syspath, TouchScreenHandle* handle);
// Releases the handle even when close() reports an error: on Linux the
// descriptor is gone either way, and its number may already belong to
// another open, so the handle must not keep it. The error is still reported.
[[nodiscard]] bool closeTouchScreen(TouchScreenHandle handle);
// Reports the needed size (bytes, terminator included) before the size check.
[[nodiscard]] bool readSerialNumber(TouchScreenHandle handle, wchar_t* buffer, std::size_t bufferSize,
                      uint32_t* neededSize);

}  // namespace touchsdk
