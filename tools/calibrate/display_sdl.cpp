#include <SDL.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "display.h"
#include "values.h"

namespace tsdcal {
namespace {

// A borderless full-screen window on one display, so that the picture is
// never stretched across two monitors or left partial without a window
// manager. SDL picks X11, Wayland or KMS/DRM by itself.
class SdlDisplay : public Display {
public:
    SdlDisplay(SDL_Window* window, SDL_Renderer* renderer, SDL_Texture* texture, Size size)
        : window_(window), renderer_(renderer), texture_(texture), size_(size) {}
    ~SdlDisplay() override {
        SDL_DestroyTexture(texture_);
        SDL_DestroyRenderer(renderer_);
        SDL_DestroyWindow(window_);
        SDL_Quit();
    }
    SdlDisplay(const SdlDisplay&) = delete;
    SdlDisplay& operator=(const SdlDisplay&) = delete;

    Size size() const override { return size_; }

    bool show(const Canvas& picture, const Rect& area) override {
        std::vector<uint32_t> pixels;
        pixels.reserve(static_cast<std::size_t>(picture.width()) *
                       static_cast<std::size_t>(picture.height()));
        for (int y = 0; y < picture.height(); ++y) {
            for (int x = 0; x < picture.width(); ++x) pixels.push_back(picture.at(x, y));
        }
        const SDL_Rect where{area.x, area.y, area.width, area.height};
        if (SDL_UpdateTexture(texture_, &where, pixels.data(), picture.width() * 4) != 0) {
            return false;
        }
        SDL_RenderClear(renderer_);
        SDL_RenderCopy(renderer_, texture_, nullptr, nullptr);
        SDL_RenderPresent(renderer_);
        return true;
    }

    // SDL has no descriptor to wait on; its queue is looked at this often.
    int pumpIntervalMs() const override { return 50; }

    bool stopRequested() override {
        SDL_Event event;
        while (SDL_PollEvent(&event) != 0) {
            if (event.type == SDL_QUIT) stop_ = true;
            if (event.type == SDL_KEYDOWN && event.key.keysym.sym == SDLK_ESCAPE) stop_ = true;
            if (event.type == SDL_WINDOWEVENT && event.window.event == SDL_WINDOWEVENT_EXPOSED) {
                SDL_RenderPresent(renderer_);
            }
        }
        return stop_;
    }

private:
    SDL_Window* window_;
    SDL_Renderer* renderer_;
    SDL_Texture* texture_;
    Size size_;
    bool stop_ = false;
};

// SDL falls back to drivers that draw nowhere a person can see; they serve
// tests and are taken only when SDL_VIDEODRIVER names them.
bool realOrAskedFor(const char* driver) {
    const std::string name = driver != nullptr ? driver : "";
    if (name != "offscreen" && name != "dummy" && name != "evdev") return !name.empty();
    const char* asked = std::getenv("SDL_VIDEODRIVER");
    return asked != nullptr && std::string(asked).find(name) != std::string::npos;
}

}  // namespace

bool sdlAvailable() { return true; }

std::unique_ptr<Display> openSdlDisplay(const DisplayChoice& choice, std::string& error) {
    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
        error = std::string("no display found: SDL video cannot start: ") + SDL_GetError();
        return nullptr;
    }
    if (!realOrAskedFor(SDL_GetCurrentVideoDriver())) {
        error = "no display found (SDL has only its invisible \"" +
                std::string(SDL_GetCurrentVideoDriver()) +
                "\" driver; name it in SDL_VIDEODRIVER to draw there anyway)";
        SDL_Quit();
        return nullptr;
    }
    const auto number = choice.output.empty() ? std::optional<unsigned long>(0)
                                              : tsdtool::parseUnsigned(choice.output, 64);
    const int index = number ? static_cast<int>(*number) : -1;
    SDL_Rect bounds{};
    if (index < 0 || index >= SDL_GetNumVideoDisplays() ||
        SDL_GetDisplayBounds(index, &bounds) != 0) {
        error = "no display " + choice.output + " (" + std::to_string(SDL_GetNumVideoDisplays()) +
                " found)";
        SDL_Quit();
        return nullptr;
    }
    // SDL_WINDOWPOS_UNDEFINED_DISPLAY, without its sign-changing arithmetic.
    const int position =
        static_cast<int>(SDL_WINDOWPOS_UNDEFINED_MASK | static_cast<unsigned>(index));
    SDL_Window* window =
        SDL_CreateWindow(choice.title.c_str(), position, position, bounds.w, bounds.h,
                         SDL_WINDOW_FULLSCREEN_DESKTOP | SDL_WINDOW_BORDERLESS);
    SDL_Renderer* renderer = window ? SDL_CreateRenderer(window, -1, 0) : nullptr;
    SDL_Texture* texture = renderer
                               ? SDL_CreateTexture(renderer, SDL_PIXELFORMAT_RGB888,
                                                   SDL_TEXTUREACCESS_STREAMING, bounds.w, bounds.h)
                               : nullptr;
    if (texture == nullptr) {
        error = std::string("cannot open a window: ") + SDL_GetError();
        if (renderer) SDL_DestroyRenderer(renderer);
        if (window) SDL_DestroyWindow(window);
        SDL_Quit();
        return nullptr;
    }
    SDL_ShowCursor(SDL_DISABLE);
    return std::make_unique<SdlDisplay>(window, renderer, texture, Size{bounds.w, bounds.h});
}

}  // namespace tsdcal
