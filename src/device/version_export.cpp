#include "touchsdk.h"

namespace {
constexpr uint32_t kVersion[4] = {1, 7, 6230, 18600};
}

extern "C" TSD_API void TsdGetSdkVersion(uint32_t* major, uint32_t* minor, uint32_t* build,
                                         uint32_t* revision) noexcept {
    uint32_t* const targets[4] = {major, minor, build, revision};
    for (int i = 0; i < 4; ++i) {
        if (targets[i] != nullptr) *targets[i] = kVersion[i];
    }
}
