#pragma once

// Stop requests (SIGINT, SIGTERM, SIGHUP) become a readable descriptor, so
// that an event loop polls them beside its own descriptors and ends the way
// it ends for any other reason: previews cancelled, files closed. Another
// thread (or a callback) can ask for the same stop. The previous handlers
// come back when this ends. One at a time per process.
#include <csignal>

namespace tsdtool {

class StopSignals {
public:
    StopSignals();
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    // Readable once a stop was asked for; stays readable until take().
    int fd() const { return readFd_; }
    // Asks for the stop from anywhere, a signal handler included.
    void stop() const;
    // Blocks until a stop is asked for.
    void wait() const;
    // Drains the requests; true if there was one.
    bool take() const;
    // The last signal that asked, or 0 (for a stop asked for by stop()).
    static int lastSignal();

private:
    int readFd_ = -1;
    struct sigaction saved_[3] = {};
};

}  // namespace tsdtool
