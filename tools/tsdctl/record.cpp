// record: a screen's identity and input reports, to replay with
// tsd-emulate --replay (the format is in tsd-emulate(1)).
#include <fcntl.h>
#include <linux/hidraw.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <utility>
#include <memory>
#include <string>
#include <vector>

#include "access.h"
#include "commands.h"
#include "library_internals.h"
#include "stored.h"

namespace tsdctl {

namespace {

// The recording's file. A full disk shows only at a flush or at the close,
// so both are checked: a recording that did not reach the disk must not be
// reported as made.
class Output {
public:
    explicit Output(const std::string& path)
        : path_(path), file_(path == "-" ? stdout : std::fopen(path.c_str(), "w")) {
        if (file_ == nullptr) throw Failure(Exit::Failed, "cannot write " + path + ": " + reason());
    }
    ~Output() {
        if (file_ != nullptr && file_ != stdout) std::fclose(file_);
    }
    Output(const Output&) = delete;
    Output& operator=(const Output&) = delete;

    std::FILE* get() const { return file_; }
    // Ends with status 1 if anything written so far was lost.
    void flush() const {
        if (std::fflush(file_) != 0 || std::ferror(file_) != 0) lost();
    }
    void close() {
        std::FILE* file = std::exchange(file_, nullptr);
        const bool failed = std::ferror(file) != 0;
        if ((file == stdout ? std::fflush(file) : std::fclose(file)) != 0 || failed) lost();
    }

private:
    static std::string reason() { return std::strerror(errno); }
    [[noreturn]] void lost() const {
        throw Failure(Exit::Failed, "cannot write " + path_ + ": " + reason());
    }

    std::string path_;
    std::FILE* file_;
};

class Node {
public:
    explicit Node(const std::string& path) : fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {
        if (fd_ < 0) throw Failure(Exit::Failed, "cannot open " + path);
    }
    ~Node() { ::close(fd_); }
    Node(const Node&) = delete;
    Node& operator=(const Node&) = delete;
    int fd() const { return fd_; }

private:
    int fd_;
};

std::string hex(const uint8_t* bytes, std::size_t length) {
    std::string text;
    char pair[4];
    for (std::size_t i = 0; i < length; ++i) {
        std::snprintf(pair, sizeof pair, "%02x", bytes[i]);
        text += pair;
    }
    return text;
}

std::vector<uint8_t> descriptorOf(const Node& node) {
    int size = 0;
    hidraw_report_descriptor descriptor{};
    if (::ioctl(node.fd(), HIDIOCGRDESCSIZE, &size) < 0 || size <= 0 ||
        size > HID_MAX_DESCRIPTOR_SIZE) {
        throw Failure(Exit::Failed, "cannot read the report descriptor");
    }
    descriptor.size = static_cast<__u32>(size);
    if (::ioctl(node.fd(), HIDIOCGRDESC, &descriptor) < 0) {
        throw Failure(Exit::Failed, "cannot read the report descriptor");
    }
    return {descriptor.value, descriptor.value + size};
}

void writeHeader(const Output& output, const Screen& screen, const std::vector<uint8_t>& descriptor,
                 const std::optional<touchsdk::CalibrationRange>& range) {
    std::FILE* out = output.get();
    uint32_t v[4];
    TsdGetSdkVersion(&v[0], &v[1], &v[2], &v[3]);
    std::fprintf(out, "tsd-record 1\n# tsdctl %u.%u.%u.%u recording of %s\n", v[0], v[1], v[2],
                 v[3], screen.devnode.c_str());
    std::fprintf(out, "vendor %s\nproduct %s\n", screen.vendor.c_str(), screen.product.c_str());
    if (screen.serial) std::fprintf(out, "serial %s\n", screen.serial->c_str());
    std::fprintf(out, "descriptor %s\n", hex(descriptor.data(), descriptor.size()).c_str());
    if (range) {
        std::fprintf(out, "range %.9g %.9g %.9g %.9g\n", double{range->xBegin}, double{range->xEnd},
                     double{range->yBegin}, double{range->yEnd});
    }
    output.flush();
}

struct Recorded {
    unsigned long count = 0;
    bool screenGone = false;
};

// Reads reports until stopped, the count is reached or the screen goes.
Recorded recordReports(const Node& node, const Output& output, int stop, unsigned long limit) {
    using Clock = std::chrono::steady_clock;
    std::optional<Clock::time_point> first;
    Recorded recorded;
    uint8_t report[4096];
    while (limit == 0 || recorded.count < limit) {
        pollfd entries[2] = {{node.fd(), POLLIN, 0}, {stop, POLLIN, 0}};
        if (::poll(entries, 2, -1) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (entries[1].revents != 0) break;
        const ssize_t n = ::read(node.fd(), report, sizeof report);
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (n <= 0) {
            // The kernel ends the node's reads with ENODEV (or EOF) on unplug.
            recorded.screenGone = true;
            break;
        }
        const Clock::time_point now = Clock::now();
        if (!first) first = now;
        const auto at = std::chrono::duration_cast<std::chrono::microseconds>(now - *first);
        std::fprintf(output.get(), "report %lld %s\n", static_cast<long long>(at.count()),
                     hex(report, static_cast<std::size_t>(n)).c_str());
        output.flush();
        ++recorded.count;
    }
    return recorded;
}

}  // namespace

Exit recordCommand(const Options& args) {
    std::vector<std::string> rest = args.words();
    if (rest.empty() || rest.size() > 2) usageError("record takes [SCREEN] FILE");
    const std::string path = rest.back();
    rest.pop_back();
    const tsdtool::ScreenSelection selection = takeSelection(args, rest);
    noMoreWords(rest);
    const unsigned long limit = countOption(args);
    const Screen screen = tsdtool::chooseScreen(selection);
    tsdtool::requireAccess(screen.devnode);
    const std::optional<touchsdk::CalibrationRange> range = tsdtool::storedRange(screen.devnode);
    Output output(path);
    Node node(screen.devnode);
    writeHeader(output, screen, descriptorOf(node), range);
    const tsdtool::StopSignals stop;
    std::fprintf(stderr, "recording %s (Ctrl-C to stop)\n", screen.devnode.c_str());
    const Recorded recorded = recordReports(node, output, stop.fd(), limit);
    output.close();
    std::fprintf(stderr, "%lu reports recorded\n", recorded.count);
    if (recorded.screenGone) throw Failure(Exit::Failed, "the screen was removed");
    return Exit::Ok;
}

}  // namespace tsdctl
