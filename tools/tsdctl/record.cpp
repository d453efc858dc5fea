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
#include <memory>
#include <string>
#include <vector>

#include "commands.h"
#include "screens.h"
#include "stored.h"

namespace tsdctl {

namespace {

struct FileCloser {
    void operator()(std::FILE* file) const {
        if (file != stdout) std::fclose(file);
    }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

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

void writeHeader(std::FILE* out, const Screen& screen, const std::vector<uint8_t>& descriptor,
                 const std::optional<touchsdk::CalibrationRange>& range) {
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
    std::fflush(out);
}

// Reads reports until stopped, the count is reached or the screen goes.
unsigned long recordReports(const Node& node, std::FILE* out, unsigned long limit) {
    using Clock = std::chrono::steady_clock;
    std::optional<Clock::time_point> first;
    unsigned long count = 0;
    uint8_t report[4096];
    while (limit == 0 || count < limit) {
        pollfd entries[2] = {{node.fd(), POLLIN, 0}, {stopDescriptor(), POLLIN, 0}};
        if (::poll(entries, 2, -1) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (entries[1].revents != 0) break;
        const ssize_t n = ::read(node.fd(), report, sizeof report);
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (n <= 0) break;  // the screen went away
        const Clock::time_point now = Clock::now();
        if (!first) first = now;
        const auto at = std::chrono::duration_cast<std::chrono::microseconds>(now - *first);
        std::fprintf(out, "report %lld %s\n", static_cast<long long>(at.count()),
                     hex(report, static_cast<std::size_t>(n)).c_str());
        std::fflush(out);
        ++count;
    }
    return count;
}

}  // namespace

Exit recordCommand(const Words& words) {
    const Args args = parseArgs(words, {{"--count", true}, {"--serial", true}});
    std::vector<std::string> rest = args.positional();
    const std::optional<std::string> word =
        rest.size() == 2 ? std::optional<std::string>(rest[0]) : std::nullopt;
    if (rest.empty() || rest.size() > 2) usageError("record takes [SCREEN] FILE");
    const std::string path = rest.back();
    unsigned long limit = 0;
    limit = countOption(args);
    const Screen screen = chooseScreen(args, word);
    std::optional<touchsdk::CalibrationRange> range;
    {
        OpenScreen open(screen);
        range = screenRange(open.handle());
    }
    File out(path == "-" ? stdout : std::fopen(path.c_str(), "w"));
    if (!out) throw Failure(Exit::Failed, "cannot write " + path);
    Node node(screen.devnode);
    writeHeader(out.get(), screen, descriptorOf(node), range);
    armStop();
    std::fprintf(stderr, "recording %s (Ctrl-C to stop)\n", screen.devnode.c_str());
    const unsigned long count = recordReports(node, out.get(), limit);
    std::fprintf(stderr, "%lu reports recorded\n", count);
    return Exit::Ok;
}

}  // namespace tsdctl
