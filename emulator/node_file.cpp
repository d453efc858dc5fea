#include "node_file.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <stdexcept>

#include "locks/node_lock_registry.h"

namespace tsdemu {
namespace {

int openSlave(const std::string& path) {
    return ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
}

// Replaced in one step: a process looking the PTY up meanwhile finds the
// old entry or the new one, never none.
std::string registerLockFile(const std::string& lockFile, const std::string& slave) {
    const std::string::size_type slash = lockFile.rfind('/');
    std::string entry = tsdemu::ptyLockEntry(lockFile.substr(0, slash), slave);
    const std::string temporary = entry + ".next";
    ::unlink(temporary.c_str());
    if (::symlink(lockFile.c_str(), temporary.c_str()) != 0 ||
        ::rename(temporary.c_str(), entry.c_str()) != 0) {
        throw std::runtime_error("cannot register " + entry);
    }
    return entry;
}

}  // namespace

NodeFile::NodeFile(const std::string& lockFile) {
    // Close-on-exec from the start: a program started later must not
    // inherit the device end, or the line would never hang up.
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    char name[64];
    if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0 ||
        ::ptsname_r(master_, name, sizeof name) != 0) {
        if (master_ >= 0) ::close(master_);
        throw std::runtime_error("cannot make a PTY for an emulated node");
    }
    slave_ = name;
    // Raw, so that one token byte is readable at once; the slave keeps its
    // settings while the master lives. Closing our only slave descriptor
    // marks the master as hung up until a reader opens the node.
    const int slave = openSlave(slave_);
    if (slave < 0) {
        ::close(master_);
        throw std::runtime_error("cannot open " + slave_);
    }
    termios settings{};
    ::tcgetattr(slave, &settings);
    ::cfmakeraw(&settings);
    ::tcsetattr(slave, TCSANOW, &settings);
    ::close(slave);
    if (lockFile.empty()) return;
    try {
        lockEntry_ = registerLockFile(lockFile, slave_);
    } catch (const std::runtime_error&) {
        ::close(master_);
        throw;
    }
}

NodeFile::~NodeFile() { hangUp(); }

bool NodeFile::held() const {
    if (master_ < 0) return false;
    pollfd entry{master_, POLLIN, 0};
    return ::poll(&entry, 1, 0) >= 0 && (entry.revents & POLLHUP) == 0;
}

void NodeFile::push(const std::vector<uint8_t>& transfer) {
    if (master_ < 0) return;
    bool queued = false;
    const auto add = [&](Queue& queue) {
        if (queue.size() >= kQueueDepth) return;
        queue.push_back(transfer);
        queued = true;
    };
    if (!claimed_) add(early_);
    for (auto& entry : queues_) add(entry.second);
    if (!queued || token_) return;
    const char token = 'T';
    ssize_t n;
    do {
        n = ::write(master_, &token, 1);
    } while (n < 0 && errno == EINTR);
    token_ = n == 1;
}

void NodeFile::claim(const void* reader) {
    Queue& queue = queues_[reader];
    if (!claimed_) queue = std::move(early_);
    early_.clear();
    claimed_ = true;
}

std::optional<std::vector<uint8_t>> NodeFile::pop(const void* reader) {
    const auto found = queues_.find(reader);
    if (found == queues_.end() || found->second.empty()) return std::nullopt;
    std::vector<uint8_t> transfer = std::move(found->second.front());
    found->second.pop_front();
    clearTokenIfDrained();
    return transfer;
}

bool NodeFile::release(const void* reader) {
    queues_.erase(reader);
    clearTokenIfDrained();
    return queues_.empty();
}

std::size_t NodeFile::pending() const {
    std::size_t most = early_.size();
    for (const auto& [reader, queue] : queues_) most = std::max(most, queue.size());
    return most;
}

// The token sits in the slave's input: only a flush from the slave side
// removes it (a flush on the master does not reach it). Our own brief open
// leaves the reader's hold on the slave as it was.
void NodeFile::clearTokenIfDrained() {
    if (!token_ || master_ < 0 || !early_.empty()) return;
    for (const auto& [reader, queue] : queues_) {
        if (!queue.empty()) return;
    }
    const int slave = openSlave(slave_);
    if (slave < 0) return;
    ::tcflush(slave, TCIFLUSH);
    ::close(slave);
    token_ = false;
}

// The entry goes before the PTY: once the PTY is gone its number may be
// given to another, whose entry this one must not remove.
void NodeFile::hangUp() {
    if (!lockEntry_.empty()) ::unlink(lockEntry_.c_str());
    lockEntry_.clear();
    if (master_ >= 0) ::close(master_);
    master_ = -1;
}

}  // namespace tsdemu
