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
// exception (in practice bad_alloc) becomes the failure result. A body
// answers a bool, or a TsdResult it has already made.
template <typename Body>
TsdResult guardedExport(Body&& body) noexcept {
    using Outcome = decltype(body());
    static_assert(std::is_same_v<Outcome, bool> || std::is_same_v<Outcome, TsdResult>);
    try {
        if constexpr (std::is_same_v<Outcome, bool>) {
            return toResult(body());
        } else {
            return body();
        }
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
