#pragma once

#include <cstdint>

#include "touchsdk.h"

namespace touchsdk {

// Internal operations answer true/1 for success; exports answer
// (internal - 1) as a 32-bit unsigned value: 0 or 0xFFFFFFFF.
constexpr TsdResult toResult(bool ok) { return ok ? TSD_OK : TSD_FAILURE; }

// Runs an export body so that no exception ever crosses the C boundary; an
// exception (in practice bad_alloc) becomes the failure result.
template <typename Body>
TsdResult guardedExport(Body&& body) noexcept {
    try {
        return body();
    } catch (...) {
        return TSD_FAILURE;
    }
}

template <typename Body>
void guardedVoidExport(Body&& body) noexcept {
    try {
        body();
    } catch (...) {
    }
}

}  // namespace touchsdk
