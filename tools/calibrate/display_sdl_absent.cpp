#include "display.h"

namespace tsdcal {

// Built without SDL2: framebuffer and image backends only.
bool sdlAvailable() { return false; }

std::unique_ptr<Display> openSdlDisplay(const DisplayChoice&, std::string& error) {
    error = "this build has no SDL2 backend";
    return nullptr;
}

}  // namespace tsdcal
