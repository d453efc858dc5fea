#pragma once

#include <cstddef>
#include <cstdint>

#include "device/device_handle.h"

namespace touchsdk {

// Each answers true on success. The open writes the handle only on success.
bool openTouchScreen(const char* syspath, TouchScreenHandle* handle);
// A failed close() leaves the record allocated and the handle valid.
bool closeTouchScreen(TouchScreenHandle handle);
// Reports the needed size (bytes, terminator included) before the size check.
bool readSerialNumber(TouchScreenHandle handle, wchar_t* buffer, std::size_t bufferSize,
                      uint32_t* neededSize);

}  // namespace touchsdk
