#include <unistd.h>

#include <cstdlib>

#include "display.h"

namespace tsdcal {

std::unique_ptr<Display> openDisplay(const DisplayChoice& choice, std::string& error) {
    std::string backend = choice.backend;
    if (backend == "auto") {
        // A desktop session first, then a bare framebuffer, then SDL's own
        // KMS/DRM for boards with a GPU but no session.
        const bool session = std::getenv("WAYLAND_DISPLAY") != nullptr || std::getenv("DISPLAY") != nullptr;
        if (session && sdlAvailable()) {
            backend = "sdl";
        } else if (::access(choice.output.empty() ? "/dev/fb0" : choice.output.c_str(), F_OK) == 0) {
            backend = "fb";
        } else if (sdlAvailable()) {
            backend = "sdl";
        } else {
            error = "no display found (no session, no /dev/fb0); --backend image writes pictures";
            return nullptr;
        }
    }
    if (backend == "image") return openImageDisplay(choice, error);
    if (backend == "fb") return openFramebufferDisplay(choice, error);
    if (backend == "sdl") {
        if (sdlAvailable()) return openSdlDisplay(choice, error);
        error = "this build has no SDL2 backend; use --backend fb or image";
        return nullptr;
    }
    error = "unknown backend " + backend + " (auto, sdl, fb or image)";
    return nullptr;
}

}  // namespace tsdcal
