#include <glob.h>
#include <unistd.h>

#include <cstdlib>

#include "display.h"

namespace tsdcal {

namespace {

// SDL's KMS/DRM driver needs a card node; without one, SDL would fall back
// to a driver nobody can see.
bool drmCardPresent() {
    glob_t found{};
    const bool any = ::glob("/dev/dri/card*", 0, nullptr, &found) == 0 && found.gl_pathc > 0;
    ::globfree(&found);
    return any;
}

}  // namespace

std::unique_ptr<Display> openDisplay(const DisplayChoice& choice, std::string& error) {
    std::string backend = choice.backend;
    if (backend == "auto") {
        // A desktop session first, then a bare framebuffer, then SDL's own
        // KMS/DRM for boards with a GPU but no session. Nothing else: a kiosk
        // set up over SSH must hear at once that nothing can be shown, not
        // wait out the time-out in front of an invisible window.
        const bool session =
            std::getenv("WAYLAND_DISPLAY") != nullptr || std::getenv("DISPLAY") != nullptr;
        const bool framebuffer =
            ::access(choice.output.empty() ? "/dev/fb0" : choice.output.c_str(), F_OK) == 0;
        if (framebuffer && !(session && sdlAvailable())) {
            backend = "fb";
        } else if (sdlAvailable() && (session || drmCardPresent())) {
            backend = "sdl";
        } else {
            error =
                "no display found (no desktop session, no /dev/fb0, no DRM device); "
                "--backend image writes pictures";
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
