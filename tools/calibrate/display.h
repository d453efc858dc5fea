#pragma once

#include <memory>
#include <string>

#include "canvas.h"
#include "geometry.h"

namespace tsdcal {

// Where the pictures go: a window, the framebuffer or image files.
class Display {
public:
    virtual ~Display() = default;
    virtual Size size() const = 0;
    // Shows the output area's picture (already turned to the output's
    // orientation) at `area`.
    virtual bool show(const Canvas& picture, const Rect& area) = 0;
    // A descriptor that becomes readable when the person types; -1: none.
    virtual int inputFd() const { return -1; }
    // How often the backend needs to be given time to handle its own
    // events while nothing else happens; -1: never.
    virtual int pumpIntervalMs() const { return -1; }
    // Handles pending input; true once the person asked to stop (Escape,
    // window closed).
    virtual bool stopRequested() { return false; }
    // The file the last picture went to, for backends that write files.
    virtual std::string lastFrame() const { return {}; }
};

struct DisplayChoice {
    std::string backend = "auto";  // "sdl", "fb" or "image"
    std::string output;            // SDL display number, framebuffer device or directory
    Size imageSize{800, 480};
    std::string frameFormat = "png";
    std::string title = "tsd-calibrate";  // the window's, where there is one
};

// Opens the chosen backend; null with `error` set when it cannot.
std::unique_ptr<Display> openDisplay(const DisplayChoice& choice, std::string& error);

// Each backend, for openDisplay.
std::unique_ptr<Display> openImageDisplay(const DisplayChoice& choice, std::string& error);
std::unique_ptr<Display> openFramebufferDisplay(const DisplayChoice& choice, std::string& error);
std::unique_ptr<Display> openSdlDisplay(const DisplayChoice& choice, std::string& error);
bool sdlAvailable();

}  // namespace tsdcal
