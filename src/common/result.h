#pragma once

#include <cstdint>
#include <type_traits>

#include "touchsdk.h"

namespace touchsdk {

// Inside the library an operation with two outcomes answers a
// [[nodiscard]] bool (true: success), one with more an enum class of its
// own. Exports turn the outcome into a TsdResult here, and nowhere else.
constexpr TsdResult toResult(bool ok) { return ok ? TSD_OK : TSD_FAILURE; }

// Runs an export body so that no exception ever crosses the C boundary; an
// exception (in practice bad_alloc) becomes the failure result.
template <typename Body>
TsdResult guardedExport(Body&& body) noexcept {
    static_assert(std::is_same_v<decltype(body()), bool>, "an export body answers a bool");
    try {
        return toResult(body());
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
