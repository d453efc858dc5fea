#include "control_channel.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "control_command.h"

namespace tsdemu {
namespace {

constexpr std::size_t kLongestLine = 4096;

}  // namespace

void runControlLine(ScreenSet& screens, const std::string& line, const std::string& where) {
    const ControlLine parsed = parseControlLine(line);
    std::string error = parsed.error;
    if (parsed.command) error = screens.run(*parsed.command);
    if (!error.empty()) {
        std::fprintf(stderr, "tsd-emulate: %s: %s: ignored %s\n", where.c_str(), error.c_str(),
                     excerpt(line).c_str());
    }
}

ControlChannel::ControlChannel(ScreenSet& screens, std::string path)
    : screens_(screens), path_(std::move(path)) {
    if (::mkfifo(path_.c_str(), 0600) != 0) {
        throw std::runtime_error("cannot make the FIFO " + path_ + ": " + std::strerror(errno));
    }
    // Read-write: the FIFO then always has a writer, and poll() never
    // reports a hang-up between two writers.
    fifo_ = ::open(path_.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    wake_ = ::eventfd(0, EFD_CLOEXEC);
    if (fifo_ < 0 || wake_ < 0) {
        ::unlink(path_.c_str());
        throw std::runtime_error("cannot open the FIFO " + path_);
    }
    thread_ = std::thread([this] { serve(); });
}

ControlChannel::~ControlChannel() {
    const uint64_t one = 1;
    (void)!::write(wake_, &one, sizeof one);
    thread_.join();
    ::close(fifo_);
    ::close(wake_);
    ::unlink(path_.c_str());
}

void ControlChannel::serve() {
    std::string pending;
    bool overlong = false;  // the line being read is dropped
    unsigned lineNumber = 0;
    for (;;) {
        pollfd entries[2] = {{fifo_, POLLIN, 0}, {wake_, POLLIN, 0}};
        if (::poll(entries, 2, -1) < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (entries[1].revents != 0) return;
        char buffer[512];
        const ssize_t n = ::read(fifo_, buffer, sizeof buffer);
        if (n <= 0) continue;
        pending.append(buffer, static_cast<std::size_t>(n));
        for (std::size_t end; (end = pending.find('\n')) != std::string::npos;) {
            const std::string where = path_ + ":" + std::to_string(++lineNumber);
            if (overlong) {
                std::fprintf(stderr, "tsd-emulate: %s: a line of more than %zu bytes: ignored\n",
                             where.c_str(), kLongestLine);
            } else {
                runControlLine(screens_, pending.substr(0, end), where);
            }
            overlong = false;
            pending.erase(0, end + 1);
        }
        // No command is this long: keep memory bounded until its end comes.
        if (pending.size() > kLongestLine) {
            overlong = true;
            pending.clear();
        }
    }
}

ControlScript::ControlScript(ScreenSet& screens, std::vector<std::string> lines, std::string name)
    : thread_([&screens, lines = std::move(lines), name = std::move(name)] {
          for (std::size_t i = 0; i < lines.size(); ++i) {
              runControlLine(screens, lines[i], name + ":" + std::to_string(i + 1));
          }
      }) {}

ControlScript::~ControlScript() { thread_.join(); }

}  // namespace tsdemu
