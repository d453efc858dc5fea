#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <system_error>

#include "display.h"
#include "image_file.h"

namespace tsdcal {
namespace {

// Writes each picture as the whole display would show it, numbered in the
// order shown.
class ImageDisplay : public Display {
public:
    ImageDisplay(const DisplayChoice& choice)
        : directory_(choice.output.empty() ? "." : choice.output),
          size_(choice.imageSize),
          ppm_(choice.frameFormat == "ppm"),
          screen_(size_.width, size_.height, 0x000000) {}

    Size size() const override { return size_; }

    bool show(const Canvas& picture, const Rect& area) override {
        for (int y = 0; y < picture.height(); ++y) {
            for (int x = 0; x < picture.width(); ++x)
                screen_.set(area.x + x, area.y + y, picture.at(x, y));
        }
        char name[32];
        std::snprintf(name, sizeof name, "frame-%04d.%s", ++count_, ppm_ ? "ppm" : "png");
        const std::string path = directory_ + "/" + name;
        const std::vector<uint8_t> rgb = screen_.rgb();
        const std::vector<uint8_t> bytes = ppm_ ? encodePpm(size_.width, size_.height, rgb)
                                                : encodePng(size_.width, size_.height, rgb);
        if (bytes.empty()) return false;
        std::FILE* file = std::fopen(path.c_str(), "wb");
        if (file == nullptr) return false;
        const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
        const bool closed = std::fclose(file) == 0;
        last_ = path;
        return written && closed;
    }

    std::string lastFrame() const override { return last_; }

private:
    std::string directory_;
    Size size_;
    bool ppm_;
    Canvas screen_;
    int count_ = 0;
    std::string last_;
};

}  // namespace

std::unique_ptr<Display> openImageDisplay(const DisplayChoice& choice, std::string& error) {
    const std::string directory = choice.output.empty() ? "." : choice.output;
    if (::mkdir(directory.c_str(), 0777) != 0 && errno != EEXIST) {
        error = "cannot make the frame directory " + directory + ": " +
                std::system_category().message(errno);
        return nullptr;
    }
    if (choice.frameFormat != "png" && choice.frameFormat != "ppm") {
        error = "frame format must be png or ppm, not " + choice.frameFormat;
        return nullptr;
    }
    return std::make_unique<ImageDisplay>(choice);
}

}  // namespace tsdcal
