#include <fcntl.h>
#include <linux/fb.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "display.h"

namespace tsdcal {
namespace {

// The terminal on stdin in non-canonical mode, so that Escape arrives at
// once and is not echoed over the picture; restored on every exit path.
class RawTerminal {
public:
    RawTerminal() {
        if (::isatty(STDIN_FILENO) == 0 || ::tcgetattr(STDIN_FILENO, &saved_) != 0) return;
        termios raw = saved_;
        raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
        raw.c_cc[VMIN] = 0;
        raw.c_cc[VTIME] = 0;
        active_ = ::tcsetattr(STDIN_FILENO, TCSANOW, &raw) == 0;
    }
    ~RawTerminal() {
        if (active_) ::tcsetattr(STDIN_FILENO, TCSANOW, &saved_);
    }
    RawTerminal(const RawTerminal&) = delete;
    RawTerminal& operator=(const RawTerminal&) = delete;
    bool active() const { return active_; }

private:
    termios saved_{};
    bool active_ = false;
};

class FramebufferDisplay : public Display {
public:
    FramebufferDisplay(int fd, const fb_var_screeninfo& var, const fb_fix_screeninfo& fix,
                       uint8_t* memory, std::size_t length)
        : fd_(fd), var_(var), fix_(fix), memory_(memory), length_(length) {}
    ~FramebufferDisplay() override {
        ::munmap(memory_, length_);
        ::close(fd_);
    }
    FramebufferDisplay(const FramebufferDisplay&) = delete;
    FramebufferDisplay& operator=(const FramebufferDisplay&) = delete;

    Size size() const override {
        return {static_cast<int>(var_.xres), static_cast<int>(var_.yres)};
    }

    bool show(const Canvas& picture, const Rect& area) override {
        for (int y = 0; y < picture.height(); ++y) {
            for (int x = 0; x < picture.width(); ++x) put(area.x + x, area.y + y, picture.at(x, y));
        }
        return true;
    }

    int inputFd() const override { return terminal_.active() ? STDIN_FILENO : -1; }

    bool stopRequested() override {
        char c = 0;
        while (terminal_.active() && ::read(STDIN_FILENO, &c, 1) == 1) {
            if (c == 0x1B) stop_ = true;
        }
        return stop_;
    }

private:
    // Pixel formats differ per board (RGB565, XRGB8888, ...): build each
    // pixel from the bit fields the driver reports.
    static uint32_t field(uint8_t value, const fb_bitfield& f) {
        if (f.length == 0) return 0;
        return static_cast<uint32_t>(value >> (8 - std::min<uint32_t>(f.length, 8))) << f.offset;
    }

    void put(int x, int y, Color c) {
        const uint32_t bytesPerPixel = var_.bits_per_pixel / 8;
        const std::size_t at = static_cast<std::size_t>(y + static_cast<int>(var_.yoffset)) *
                                   fix_.line_length +
                               static_cast<std::size_t>(x + static_cast<int>(var_.xoffset)) *
                                   bytesPerPixel;
        if (at + bytesPerPixel > length_) return;
        const uint32_t pixel = field(redOf(c), var_.red) | field(greenOf(c), var_.green) |
                               field(blueOf(c), var_.blue);
        for (uint32_t i = 0; i < bytesPerPixel; ++i) {
            memory_[at + i] = static_cast<uint8_t>(pixel >> (8 * i));
        }
    }

    int fd_;
    fb_var_screeninfo var_;
    fb_fix_screeninfo fix_;
    uint8_t* memory_;
    std::size_t length_;
    RawTerminal terminal_;
    bool stop_ = false;
};

}  // namespace

std::unique_ptr<Display> openFramebufferDisplay(const DisplayChoice& choice, std::string& error) {
    const std::string path = choice.output.empty() ? "/dev/fb0" : choice.output;
    const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        error = "cannot open " + path + ": " + std::strerror(errno) +
                (errno == EACCES ? " (add yourself to the video group)" : "");
        return nullptr;
    }
    fb_var_screeninfo var{};
    fb_fix_screeninfo fix{};
    if (::ioctl(fd, FBIOGET_VSCREENINFO, &var) != 0 || ::ioctl(fd, FBIOGET_FSCREENINFO, &fix) != 0 ||
        var.bits_per_pixel < 16 || var.bits_per_pixel % 8 != 0) {
        error = path + " is not a framebuffer with 16 or more bits per pixel";
        ::close(fd);
        return nullptr;
    }
    void* memory = ::mmap(nullptr, fix.smem_len, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (memory == MAP_FAILED) {
        error = "cannot map " + path + ": " + std::strerror(errno);
        ::close(fd);
        return nullptr;
    }
    return std::make_unique<FramebufferDisplay>(fd, var, fix, static_cast<uint8_t*>(memory),
                                                fix.smem_len);
}

}  // namespace tsdcal
